// Conversion of Vistrune.ini's code page 932 bytes costs what the input
// holds, whatever bytes it holds: a damaged or foreign file of many
// megabytes is converted at once, not in minutes.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <random>
#include <string>

#include "platform/encoding.h"

namespace {

// Every allocation of this test program is counted while counting is on.
std::atomic<bool> counting = false;
std::atomic<size_t> allocations = 0;
std::atomic<size_t> allocatedBytes = 0;

}  // namespace

void* operator new(size_t size) {
  if (counting) {
    ++allocations;
    allocatedBytes += size;
  }
  if (void* memory = std::malloc(size ? size : 1)) return memory;
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept {
  std::free(memory);
}
void operator delete(void* memory, size_t) noexcept {
  std::free(memory);
}

namespace vistrune {
namespace {

unsigned Seed() {
  const char* given = std::getenv("VISTRUNE_TEST_SEED");
  return given ? static_cast<unsigned>(std::strtoul(given, nullptr, 10)) : std::random_device{}();
}

// 4 MB of random bytes, which are mostly no code page 932 character: the
// output grows a few times, as a string that is appended to does, and the
// input is never copied, however many bytes cannot be converted.
TEST(Conversion, RandomBytesCostWhatTheyHold) {
  const unsigned seed = Seed();
  SCOPED_TRACE("VISTRUNE_TEST_SEED=" + std::to_string(seed));
  std::mt19937 random(seed);
  std::string bytes(4 << 20, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random());
  allocations = 0;
  allocatedBytes = 0;
  counting = true;
  const std::string narrow = platform::Cp932ToNarrow(bytes);
  counting = false;
  EXPECT_GE(narrow.size(), bytes.size() / 2);
  EXPECT_LE(allocations, 64u);
  EXPECT_LE(allocatedBytes, 16 * bytes.size());
}

}  // namespace
}  // namespace vistrune
