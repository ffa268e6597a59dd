// Handing memory the program has freed back to the system.
#pragma once

namespace vistrune::platform {

// Returns the free memory of every allocator arena to the system, as far as
// the allocator allows. glibc keeps what a finished thread's arena freed
// until asked (malloc_trim); elsewhere this does nothing.
void ReturnFreeMemory();

// Keeps the allocator from holding on to much freed memory at the top of
// each arena, for the program's whole run: called first thing. glibc gives
// each of the first threads an arena of its own, keeps free memory at the
// top of an arena up to twice the largest block freed so far (megabytes once
// a large list has grown), and ReturnFreeMemory does not reach those tops
// but the main arena's: after a walk whose readers had started on a slow
// medium, their arenas kept about 10 MB resident. This fixes what it keeps
// at 128 KiB an arena, and maps blocks of their own only from 32 MiB up
// (below that, a growing block mapped anew each time cost a third more
// processor time in faulted-in pages). Elsewhere it does nothing.
void KeepLittleFreeMemory();

}  // namespace vistrune::platform
