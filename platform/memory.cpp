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
#endif
}

}  // namespace vistrune::platform
