// The order of the sorted lists: ASCII letters folded, other bytes as they are.
#include <gtest/gtest.h>

#include "widgets/list_box.h"

namespace vistrune {
namespace {

TEST(ListOrder, CaselessLessFoldsOnlyAsciiLettersWhereverTheyDiffer) {
  struct Row {
    const char* a;
    const char* b;
    bool less;
  };
  const Row rows[] = {
      {"abc", "ABD", true},
      {"ABD", "abc", false},
      {"a", "A", false},
      {"A", "a", false},
      {"Zz", "a", false},
      {"[", "a", true},  // between the capitals and the small letters: before all, folded
      {"ABCDEFGHa", "abcdefghb", true},
      {"abcdefghb", "ABCDEFGHa", false},
      {"shared/prefix/of/Folder/A", "shared/prefix/of/folder/b", true},
      {"shared/prefix/of/folder/b", "shared/prefix/of/Folder/A", false},
      {"abcdefgh", "ABCDEFGHij", true},
      {"ABCDEFGHij", "abcdefgh", false},
      {"\xe3\x82\xa2", "z", false},
      {"", "a", true},
      {"", "", false},
  };
  for (const Row& row : rows)
    EXPECT_EQ(CaselessLess(row.a, row.b), row.less) << row.a << " " << row.b;
}

}  // namespace
}  // namespace vistrune
