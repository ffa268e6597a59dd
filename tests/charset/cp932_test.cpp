// Where a code page 932 double-byte character begins and ends, at the edges
// of the byte ranges.
#include "charset/cp932.h"

#include <gtest/gtest.h>

#include <string>

namespace vistrune {
namespace {

TEST(Cp932, CharacterLengthAtTheEdgesOfTheByteRanges) {
  // Lead bytes 0x81-0x9F and 0xE0-0xFC, trail bytes 0x40-0x7E and
  // 0x80-0xFC; ミ is 83 7E.
  const struct {
    unsigned char first, second;
    size_t length;
  } rows[] = {
      {0x83, 0x40, 2}, {0x83, 0x7E, 2}, {0x83, 0x80, 2}, {0x83, 0xFC, 2}, {0x83, 0x3F, 1},
      {0x83, 0x7F, 1}, {0x83, 0xFD, 1}, {0x81, 0x40, 2}, {0x9F, 0x40, 2}, {0xE0, 0x40, 2},
      {0xFC, 0x40, 2}, {0x80, 0x40, 1}, {0xA0, 0x40, 1}, {0xDF, 0x40, 1}, {0xFD, 0x40, 1},
  };
  for (const auto& row : rows) {
    const std::string text{static_cast<char>(row.first), static_cast<char>(row.second)};
    EXPECT_EQ(cp932::CharLength(text, 0), row.length)
        << std::hex << int{row.first} << " " << int{row.second};
  }
}

}  // namespace
}  // namespace vistrune
