#include "platform/memory.h"

#include <cstdlib>  // defines __GLIBC__ where the C library is glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace vistrune::platform {

void ReturnFreeMemory() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

void KeepLittleFreeMemory() {
#if defined(__GLIBC__)
  mallopt(M_TRIM_THRESHOLD, 128 * 1024);
  // Fixing that fixes the size from which a block is mapped on its own too,
  // at 128 KiB: each larger block that grows (the index of a library's
  // names) would then be mapped anew, and its pages faulted in again, every
  // time it grows. Blocks up to 32 MiB, the most glibc allows, come from the
  // arenas instead, whose free memory ReturnFreeMemory gives back.
  mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
#endif
}

}  // namespace vistrune::platform
