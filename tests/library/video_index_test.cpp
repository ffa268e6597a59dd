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
#include "library/startup_walk.h"
#include "platform/paths.h"
#include "support/platform_setup.h"
#include "support/temp_dir.h"
#include "support/wait_limit.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace vistrune {
namespace {

using testing::TempDir;
using Names = std::vector<std::string>;

// Whether work, which tells its end through WhenEnded, ended within the
// wait limit; then what it raised is nothing.
template <typename Work>
::testing::AssertionResult Ended(Work& work, const char* what) {
  std::mutex mutex;
  std::condition_variable changed;
  bool ended = false;
  work.WhenEnded([&] {
    const std::lock_guard lock(mutex);
    ended = true;
    changed.notify_all();
  });
  std::unique_lock lock(mutex);
  const ::testing::AssertionResult result = testing::WaitUntil(
      changed, lock, [&] { return ended; }, what);
  lock.unlock();
  if (!result) return result;
  if (work.Finish()) return ::testing::AssertionFailure() << what << " raised";
  return ::testing::AssertionSuccess();
}

// The index a gathering gives once it has ended, in the list's order.
VideoIndex Gathered(VideoIndexBuild& build, const Names& entries) {
  EXPECT_TRUE(Ended(build, "the index to end"));
  VideoIndex index = build.TakeFound();
  index.SetRows(entries);
  return index;
}

// Both ways of gathering: every folder read afresh, and the start-up walk's
// own reads with the rest read afterwards. A walked folder whose entry a
// mapping sends elsewhere shows what the mapping's folder holds; one the
// walk reported but did not enter (a link back) is read afterwards.
TEST(VideoIndexTest, EachFolderHoldsWhatItsListingShows) {
  TempDir temp;
  const std::string program = temp.MakeDir("Movies");
  const std::string fixed = temp.MakeDir("Fixed");
  for (const char* name :
       {"Movies/b.AVI", "Movies/a.avi", "Movies/x.txt", "Movies/sub/c.mp4", "Movies/sub/B.wmv",
        "Movies/sub/a.mpeg", "Movies/sub/.h.mpg", "Fixed/z.mkv", "Fixed/deep/no.avi",
        "Movies/empty/x.mp3", "Movies/mapped/not.avi"})
    temp.WriteFile(name, "x");
  temp.MakeDir("Movies/sub/d.avi");
#ifndef _WIN32
  // A link to the program folder: the walk reports it but does not enter it.
  ASSERT_EQ(symlink(program.c_str(), (program + "/up").c_str()), 0);
#endif
  temp.WriteFile("Movies/Vistrune.ini",
                 "[Style]\r\nStyle=ListBox\r\n[FixedFolder Setting]\r\ncount=1\r\n" + fixed +
                     "\r\n[Name]\r\n" + fixed + "=Fixed\r\n[Name2]\r\nFixed=" + fixed +
                     "\r\nmapped=" + fixed + "\r\n[Video]\r\nExtensions=.mp4 .mkv\r\n");
  const std::string savedAppPath = AppPath;
  StartupWalk walk(program + platform::kPathDelimiter + "vistrune");
  HomeFolderName = walk.WaitForHome();
  ASSERT_EQ(HomeFolderName, "Movies");
  ASSERT_TRUE(Ended(walk, "the walk to end"));
  Names entries = {"d.avi", "empty", "Fixed", "mapped", "missing", "Movies", "sub"};
  std::vector<int> videoRows = {2, 3, 5, 6};
  Names linkVideos;
#ifndef _WIN32
  entries.push_back("up");
  videoRows.push_back(7);
  linkVideos = {"up|a.avi", "up|b.AVI"};
#endif
  // Gone since the walk read it: the index made from the walk's reads shows
  // it, as it would show it until gathered afresh.
  ASSERT_EQ(std::remove((program + testing::PlatformPath("/sub/c.mp4")).c_str()), 0);

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
  ASSERT_EQ(rows, videoRows);
  Names expected = {"Fixed|z.mkv", "mapped|z.mkv", "Movies|a.avi", "Movies|b.AVI",
                    "sub|.h.mpg",  "sub|a.mpeg",   "sub|B.wmv",    "sub|d.avi"};
  expected.insert(expected.end(), linkVideos.begin(), linkVideos.end());
  EXPECT_EQ(listed, expected);
  Names walkedListing = listed;
  walkedListing.insert(std::find(walkedListing.begin(), walkedListing.end(), "sub|d.avi"),
                       "sub|c.mp4");

  auto copy = [](std::string_view text) { return std::string(text); };
  VideoIndexBuild afresh(entries, copy);
  VideoIndexBuild fromWalk(copy);
  fromWalk.AddWalked(walk.TakeFound().videos);
  fromWalk.EndWalk(entries);
  for (VideoIndexBuild* build : {&afresh, &fromWalk}) {
    SCOPED_TRACE(build == &afresh ? "read afresh" : "from the walk");
    const VideoIndex index = Gathered(*build, entries);
    EXPECT_EQ(index.FolderCount(), videoRows.size());
    Names indexed;
    std::vector<int> indexedRows;
    // An empty word occurs in every text.
    std::vector<VideoIndex::Hit> all;
    index.Find({""}, 0, all);
    for (const VideoIndex::Hit& hit : all) {
      if (indexedRows.empty() || indexedRows.back() != index.Row(hit.folder))
        indexedRows.push_back(index.Row(hit.folder));
      indexed.push_back(std::string(index.Entry(hit.folder)) + "|" +
                        std::string(index.Name(hit.video)));
    }
    EXPECT_EQ(indexedRows, rows);
    EXPECT_EQ(indexed, build == &afresh ? listed : walkedListing);
  }
  AppPath = savedAppPath;
  HomeFolderName.clear();
}

// Folded texts are kept only for the texts whose fold differs: batches with
// and without them, joined, find what each folder holds, before and after
// the index is laid out anew.
TEST(VideoIndexTest, BatchesJoinedFindByTheFoldedTexts) {
  // A fold whose texts hold none of the text folded. The texts are joined
  // by append, not +: GCC 12 warns of a false overlap there.
  const SearchFold fold = [](std::string_view text) {
    return std::string("F").append(std::to_string(text.size()));
  };
  // With é, which is not ASCII: folded.
  VideoIndex plain, folded, index;
  plain.AddFolder(0, "b", {"x.avi"}, fold);
  folded.AddFolder(1, "c\xc3\xa9", {"y.avi", "\xc3\xa9.avi"}, fold);
  index.Append(plain);
  index.Append(folded);
  index.Append(plain);
  auto found = [&index](std::vector<std::string> words) {
    std::vector<VideoIndex::Hit> hits;
    index.Find(words, 0, hits);
    Names texts;
    for (const VideoIndex::Hit& hit : hits)
      texts.push_back(
          std::string(index.Entry(hit.folder)).append("|").append(index.Name(hit.video)));
    return texts;
  };
  for (const bool laidOut : {false, true}) {
    SCOPED_TRACE(laidOut ? "laid out anew" : "as joined");
    if (laidOut) index.Compact();
    EXPECT_EQ(found({"F3"}), (Names{"c\xc3\xa9|y.avi", "c\xc3\xa9|\xc3\xa9.avi"}));
    EXPECT_EQ(found({"F6"}), Names{"c\xc3\xa9|\xc3\xa9.avi"});
    EXPECT_EQ(found({"x.avi"}), (Names{"b|x.avi", "b|x.avi"}));
    EXPECT_EQ(found({"c\xc3\xa9"}), Names{});
  }
}

// The walk's records joined batch to batch (as the main window keeps them
// until it shows) give back each folder as it was added.
TEST(VideoIndexTest, WalkedVideosJoinedGiveEachFolderBack) {
  WalkedVideos joined, first, second;
  first.Add("a", true, true, std::string("x.avi\0", 6));
  second.Add("b/c", false, true, std::string("y.avi\0z.wmv\0", 12));
  second.Add("d", true, false, "");
  joined.Append(std::move(first));
  joined.Append(std::move(second));
  ASSERT_EQ(joined.Count(), 3u);
  Names folders;
  for (size_t i = 0; i < joined.Count(); ++i) {
    const WalkedVideos::Folder folder = joined[i];
    folders.push_back(std::string(folder.entry) + (folder.plain ? "+" : "-") +
                      (folder.read ? "+" : "-") + std::string(folder.names));
  }
  EXPECT_EQ(folders,
            (Names{std::string("a++x.avi\0", 9), std::string("b/c-+y.avi\0z.wmv\0", 17), "d+-"}));
}

// While folders arrive out of the list's order, a search gives them in it:
// by their entries caselessly, equal ones as they came, also after more
// arrive than the last search saw.
TEST(VideoIndexTest, FoldersArrivingOutOfOrderAreSearchedInTheListsOrder) {
  const SearchFold fold = [](std::string_view text) { return std::string(text); };
  auto batch = [&fold](const Names& entries) {
    VideoIndex more;
    for (const std::string& entry : entries) more.AddFolder(-1, entry, {entry + ".avi"}, fold);
    return more;
  };
  VideoIndex index;
  auto entries = [&index] {
    std::vector<VideoIndex::Hit> hits;
    index.Find({"."}, 0, hits);
    Names found;
    for (const VideoIndex::Hit& hit : hits) found.push_back(std::string(index.Name(hit.video)));
    return found;
  };
  index.Append(batch({"d", "B"}));
  EXPECT_EQ(entries(), (Names{"B.avi", "d.avi"}));
  index.Append(batch({"c", "b", "a"}));
  index.Append(batch({"B"}));
  EXPECT_EQ(entries(), (Names{"a.avi", "B.avi", "b.avi", "B.avi", "c.avi", "d.avi"}));
}

}  // namespace
}  // namespace vistrune
