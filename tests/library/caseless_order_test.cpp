// The order of the sorted lists: ASCII letters folded, other bytes as they are.
#include "library/caseless_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

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

// The fast sort puts every item where std::stable_sort with CaselessLess
// does, items equal but for letter case included. The lists are random (the
// seed is printed, and VISTRUNE_TEST_SEED repeats it): paths from a few
// parts with long shared beginnings, both cases, "[" and "/" (which sort
// between letters and their folds), multi-byte characters; and one chain of
// ever longer names, which splits more often than the sort recurses.
TEST(ListOrder, SortCaselessOrdersAsAStableSortDoes) {
  const char* given = std::getenv("VISTRUNE_TEST_SEED");
  const uint32_t seed =
      given ? static_cast<uint32_t>(std::strtoul(given, nullptr, 10)) : std::random_device{}();
  std::printf("sorted lists: VISTRUNE_TEST_SEED=%u\n", seed);
  std::mt19937 random(seed);
  const char* const parts[] = {"Series 0", "season", "Season", "/",    "[", "a",  "A",
                               "b",        "z",      "Z",      "名前", "",  "x y"};
  std::vector<std::vector<std::string>> lists;
  for (int list = 0; list < 200; ++list) {
    std::vector<std::string>& items = lists.emplace_back(random() % 400);
    for (std::string& item : items)
      for (unsigned n = random() % 8; n > 0; --n) item += parts[random() % std::size(parts)];
  }
  std::vector<std::string>& chain = lists.emplace_back();
  for (int n = 0; n < 120; ++n) chain.push_back(std::string(n, 'a') + (n % 2 ? "B" : "b"));
  std::shuffle(chain.begin(), chain.end(), random);

  for (const std::vector<std::string>& items : lists) {
    std::vector<std::string_view> expected(items.begin(), items.end());
    std::vector<std::string_view> sorted = expected;
    std::stable_sort(expected.begin(), expected.end(), CaselessLess);
    SortCaseless(sorted);
    ASSERT_EQ(sorted.size(), expected.size());
    for (size_t i = 0; i < sorted.size(); ++i)
      ASSERT_EQ(static_cast<const void*>(sorted[i].data()), expected[i].data())
          << "place " << i << ": " << sorted[i] << " where " << expected[i] << " belongs";
  }
}

}  // namespace
}  // namespace vistrune
