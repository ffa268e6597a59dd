// Where the walked entries join the folder list: sorted, after those equal
// but for letter case that the walk found earlier, before the fixed
// folders' equal ones, whatever the batches.
#include "library/folder_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "library/caseless_order.h"

namespace vistrune {
namespace {

using Names = std::vector<std::string>;

class FolderListOrderTest : public ::testing::Test {
 protected:
  // As the list's InsertMany places them.
  void MergeWalked(Names batch) {
    std::vector<std::string_view> views(batch.begin(), batch.end());
    const auto rows = order.PlaceWalked(items, views);
    Names merged;
    auto next = rows.begin();
    for (size_t row = 0; row <= items.size(); ++row) {
      for (; next != rows.end() && static_cast<size_t>(next->first) <= row; ++next)
        merged.emplace_back(next->second);
      if (row < items.size()) merged.push_back(items[row]);
    }
    items = merged;
  }
  // As the list's Add places it.
  void AddFixed(const std::string& name) {
    items.insert(std::upper_bound(items.begin(), items.end(), name, CaselessLess), name);
    order.AddFixed(name);
  }

  FolderListOrder order;
  Names items;
};

TEST_F(FolderListOrderTest, WalkedEntriesGoAfterEarlierWalkedAndBeforeFixedEqualOnes) {
  MergeWalked({"Movies", "anime"});
  AddFixed("Anime");
  AddFixed("zz");
  struct Step {
    Names batch;
    Names list;
  };
  const std::vector<Step> steps = {
      {{"b", "ANIME"}, {"anime", "ANIME", "Anime", "b", "Movies", "zz"}},
      {{"ZZ", "a", "Anime"}, {"a", "anime", "ANIME", "Anime", "Anime", "b", "Movies", "ZZ", "zz"}},
      {{}, {"a", "anime", "ANIME", "Anime", "Anime", "b", "Movies", "ZZ", "zz"}},
  };
  for (const Step& step : steps) {
    MergeWalked(step.batch);
    EXPECT_EQ(items, step.list);
  }
  // A batch far longer than the list, out of order.
  Names many;
  // Appended, not joined with +: GCC 12 warns of a false overlap there.
  for (int i = 99; i >= 0; --i) many.emplace_back("m").append(std::to_string(1000 + i));
  MergeWalked(many);
  EXPECT_TRUE(std::is_sorted(items.begin(), items.end(), CaselessLess));
  EXPECT_EQ(items.size(), 109u);
}

}  // namespace
}  // namespace vistrune
