// The video index: what it holds for each folder of the folder list is what
// that folder's listing shows, in the file list's order.
#include "library/video_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "config/config.h"
#include "library/caseless_order.h"
#include "library/folder_paths.h"
#include "library/shared_state.h"
#include "platform/paths.h"
#include "support/temp_dir.h"
#include "support/wait_limit.h"

namespace vistrune {
namespace {

using testing::TempDir;
using Names = std::vector<std::string>;

TEST(VideoIndexTest, EachFolderHoldsWhatItsListingShows) {
  TempDir temp;
  const std::string program = temp.MakeDir("Movies");
  const std::string fixed = temp.MakeDir("Fixed");
  for (const char* name : {"Movies/b.AVI", "Movies/a.avi", "Movies/x.txt", "Movies/sub/c.mp4",
                           "Movies/sub/B.wmv", "Movies/sub/a.mpeg", "Movies/sub/.h.mpg",
                           "Fixed/z.mkv", "Fixed/deep/no.avi", "Movies/empty/x.mp3"})
    temp.WriteFile(name, "x");
  temp.MakeDir("Movies/sub/d.avi");
  temp.WriteFile("Movies/Vistrune.ini",
                 "[Style]\r\nStyle=ListBox\r\n[FixedFolder Setting]\r\ncount=1\r\n" + fixed +
                     "\r\n[Name]\r\n" + fixed + "=Fixed\r\n[Name2]\r\nFixed=" + fixed +
                     "\r\n[Video]\r\nExtensions=.mp4 .mkv\r\n");
  const std::string savedAppPath = AppPath;
  AppPath = program + platform::kPathDelimiter;
  HomeFolderName = "Movies";
  const Names entries = {"empty", "Fixed", "missing", "Movies", "sub"};

  std::mutex mutex;
  std::condition_variable changed;
  bool ended = false;
  VideoIndex index;
  {
    VideoIndexBuild build(entries, [](std::string_view text) { return std::string(text); });
    build.WhenEnded([&] {
      const std::lock_guard lock(mutex);
      ended = true;
      changed.notify_all();
    });
    std::unique_lock lock(mutex);
    ASSERT_TRUE(testing::WaitUntil(
        changed, lock, [&] { return ended; }, "the index to end"));
    lock.unlock();
    EXPECT_EQ(build.Finish(), nullptr);
    index = build.TakeFound();
  }

  // A folder without videos, or that cannot be read, adds nothing.
  Names listed;
  std::vector<int> rows;
  for (size_t row = 0; row < entries.size(); ++row) {
    Names names = FindVideoFiles(ResolveFolderPath(entries[row], AppPath + entries[row]),
                                 ListedVideoExtensions());
    std::stable_sort(names.begin(), names.end(), CaselessLess);
    if (names.empty()) continue;
    rows.push_back(static_cast<int>(row));
    for (const std::string& name : names) listed.push_back(entries[row] + "|" + name);
  }
  ASSERT_EQ(rows, (std::vector<int>{1, 3, 4}));
  Names indexed;
  std::vector<int> indexedRows;
  for (size_t folder = 0; folder < index.FolderCount(); ++folder)
    indexedRows.push_back(index.Row(folder));
  // An empty word occurs in every text.
  std::vector<VideoIndex::Hit> all;
  index.Find({""}, 0, all);
  for (const VideoIndex::Hit& hit : all)
    indexed.push_back(std::string(index.Entry(hit.folder)) + "|" +
                      std::string(index.Name(hit.video)));
  EXPECT_EQ(indexedRows, rows);
  EXPECT_EQ(indexed, listed);
  EXPECT_EQ(listed, (Names{"Fixed|z.mkv", "Movies|a.avi", "Movies|b.AVI", "sub|.h.mpg",
                           "sub|a.mpeg", "sub|B.wmv", "sub|c.mp4", "sub|d.avi"}));
  AppPath = savedAppPath;
  HomeFolderName.clear();
}

}  // namespace
}  // namespace vistrune
