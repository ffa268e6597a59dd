// The scheduling of the program's own threads.
#pragma once

namespace vistrune::platform {

// Makes the calling thread run only when the threads of normal priority
// leave the processor to it: for work in the background that should not
// slow what the user waits for. Where the system allows no such thing, the
// thread runs as before.
void RunThisThreadInTheBackground();

}  // namespace vistrune::platform
