// Handing memory the program has freed back to the system.
#pragma once

namespace vistrune::platform {

// Returns the free memory of every allocator arena to the system, as far as
// the allocator allows. glibc keeps what a finished thread's arena freed
// until asked (malloc_trim); elsewhere this does nothing.
void ReturnFreeMemory();

}  // namespace vistrune::platform
