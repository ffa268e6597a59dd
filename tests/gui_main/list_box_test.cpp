// The sorted list box keeps items that sort equal in the order they came,
// when it is filled in bulk and when sorting is turned on.
#include "widgets/list_box.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vistrune {
namespace {

TEST(ListBox, ItemsThatSortEqualKeepTheirOrder) {
  // 256 spellings of one name that differ only in letter case, in an order
  // that is not their byte order: enough for an unstable sort to reorder.
  std::vector<std::string> ties;
  for (int i = 0; i < 256; ++i) {
    std::string name = "abcdefgh";
    for (int bit = 0; bit < 8; ++bit)
      if ((i * 37 % 256) & (1 << bit)) name[bit] = static_cast<char>(name[bit] - 'a' + 'A');
    ties.push_back(name);
  }
  std::vector<std::string> expected = ties;
  expected.push_back("zz");

  TListBox bulk;
  bulk.SetSorted(true);
  bulk.Add(ties.front());  // there first, so it stays first
  bulk.BeginUpdate();
  bulk.Add("zz");
  for (const std::string& name : ties) bulk.Add(name);
  bulk.EndUpdate();
  std::vector<std::string> withFirst = expected;
  withFirst.insert(withFirst.begin(), ties.front());
  EXPECT_EQ(bulk.Items(), withFirst);

  TListBox later;
  later.Add("zz");
  for (const std::string& name : ties) later.Add(name);
  later.SetSorted(true);
  EXPECT_EQ(later.Items(), expected);
}

}  // namespace
}  // namespace vistrune
