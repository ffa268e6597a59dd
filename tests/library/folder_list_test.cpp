// Where the walked entries join the folder list: sorted, after those equal
// but for letter case that the walk found earlier, before the fixed
// folders' equal ones, whatever the batches; and where the fixed folders
// join.
#include "library/folder_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "library/caseless_order.h"

namespace vistrune {
namespace {

using Names = std::vector<std::string>;

// The walked entries join in batches; gives the rows they went before.
std::vector<int> AddWalked(FolderLibrary& library, Names batch) {
  std::vector<std::string_view> views(batch.begin(), batch.end());
  return library.AddWalked(views);
}

TEST(FolderLibraryTest, WalkedEntriesGoAfterEarlierWalkedAndBeforeFixedEqualOnes) {
  FolderLibrary library;
  AddWalked(library, {"Movies", "anime"});
  library.AddFixed({"zz", "Anime"});
  EXPECT_EQ(library.Entries(), (Names{"anime", "Anime", "Movies", "zz"}));
  struct Step {
    Names batch;
    Names list;
    std::vector<int> rows;
  };
  const std::vector<Step> steps = {
      {{"b", "ANIME"}, {"anime", "ANIME", "Anime", "b", "Movies", "zz"}, {1, 2}},
      {{"ZZ", "a", "Anime"},
       {"a", "anime", "ANIME", "Anime", "Anime", "b", "Movies", "ZZ", "zz"},
       {0, 2, 5}},
      {{}, {"a", "anime", "ANIME", "Anime", "Anime", "b", "Movies", "ZZ", "zz"}, {}},
  };
  for (const Step& step : steps) {
    EXPECT_EQ(AddWalked(library, step.batch), step.rows);
    EXPECT_EQ(library.Entries(), step.list);
  }
  // A batch far longer than the list, out of order.
  Names many;
  // Appended, not joined with +: GCC 12 warns of a false overlap there.
  for (int i = 99; i >= 0; --i) many.emplace_back("m").append(std::to_string(1000 + i));
  AddWalked(library, many);
  EXPECT_TRUE(std::is_sorted(library.Entries().begin(), library.Entries().end(), CaselessLess));
  EXPECT_EQ(library.Entries().size(), 109u);
}

}  // namespace
}  // namespace vistrune
