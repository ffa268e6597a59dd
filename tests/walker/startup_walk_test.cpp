// The start-up walk's hand-over as the main window uses it, without the
// window (tools/test-tsan runs it under ThreadSanitizer too): entries taken
// in batches while the walk runs, its end told once whether the window asks
// before or after it, and a stop that ends it at its next folder.
#include "library/startup_walk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "config/config.h"
#include "platform/paths.h"
#include "support/temp_dir.h"
#include "support/wait_limit.h"

namespace vistrune {
namespace {

using testing::SpinUntil;
using testing::TempDir;
using testing::WaitUntil;

void Append(std::vector<std::string>& entries, const StartupWalk::Found& found) {
  for (const std::string_view entry : found.Entries()) entries.emplace_back(entry);
}

size_t Depth(const std::string& entry) {
  return static_cast<size_t>(std::count(entry.begin(), entry.end(), platform::kPathDelimiter));
}

class StartupWalkTest : public ::testing::Test {
 protected:
  StartupWalkTest() {
    for (int i = 0; i < 30; ++i)
      for (int j = 0; j < 3; ++j)
        temp.MakeDir("Movies/f" + std::to_string(i) + "/g" + std::to_string(j));
  }
  ~StartupWalkTest() override { StartupWalk::BeforeReport = nullptr; }

  std::string Program() const {
    return temp.Path() + platform::kPathDelimiter + "Movies" + platform::kPathDelimiter +
           "vistrune";
  }

  TempDir temp;
};

TEST_F(StartupWalkTest, EntriesTakenWhileItRunsAreAllItFoundInItsOrder) {
  // The walk waits at its first folder below the program folder until its
  // end has been asked for, so that the end comes after the asking.
  std::atomic<bool> asked{false};
  StartupWalk::BeforeReport = [&] {
    EXPECT_TRUE(SpinUntil([&] { return asked.load(); }, "the end to be asked for"));
  };
  StartupWalk walk(Program());
  EXPECT_EQ(AppPath, temp.Path() + platform::kPathDelimiter + "Movies" + platform::kPathDelimiter);
  EXPECT_EQ(walk.WaitForHome(), "Movies");
  std::atomic<int> told{0};
  walk.WhenEnded([&] { ++told; });
  asked = true;
  std::vector<std::string> entries;
  ASSERT_TRUE(SpinUntil(
      [&] {
        Append(entries, walk.TakeFound());
        return told.load() != 0;
      },
      "the end to be told"));
  // What it found between the last taking and its end.
  Append(entries, walk.TakeFound());
  EXPECT_EQ(walk.Finish(), nullptr);
  EXPECT_EQ(told.load(), 1);

  // The home entry, then the 30 folders, then the 90 below them.
  ASSERT_EQ(entries.size(), 1u + 30 + 90);
  EXPECT_EQ(entries[0], "Movies");
  EXPECT_TRUE(std::is_sorted(
      entries.begin() + 1, entries.end(),
      [](const std::string& a, const std::string& b) { return Depth(a) < Depth(b); }));
  std::vector<std::string> below(entries.begin() + 31, entries.end());
  std::sort(below.begin(), below.end());
  EXPECT_EQ(std::adjacent_find(below.begin(), below.end()), below.end());
  EXPECT_EQ(below.front(), std::string("f0") + platform::kPathDelimiter + "g0");

  // Asked after the end, it is told at once.
  walk.WhenEnded([&] { ++told; });
  EXPECT_EQ(told.load(), 2);
}

TEST_F(StartupWalkTest, AStopEndsTheWalkAtItsNextFolder) {
  std::mutex mutex;
  std::condition_variable changed;
  bool held = false, released = false;
  StartupWalk::BeforeReport = [&] {
    std::unique_lock lock(mutex);
    held = true;
    changed.notify_all();
    EXPECT_TRUE(WaitUntil(
        changed, lock, [&] { return released; }, "the test to release the walk"));
  };
  StartupWalk walk(Program());
  EXPECT_EQ(walk.WaitForHome(), "Movies");
  {
    // The first folder below the program folder waits to be reported.
    std::unique_lock lock(mutex);
    ASSERT_TRUE(WaitUntil(
        changed, lock, [&] { return held; }, "the walk to reach its first folder"));
  }
  walk.Stop();
  {
    const std::lock_guard lock(mutex);
    released = true;
  }
  changed.notify_all();
  std::atomic<bool> ended{false};
  walk.WhenEnded([&] { ended = true; });
  EXPECT_EQ(walk.Finish(), nullptr);
  EXPECT_TRUE(ended.load());
  std::vector<std::string> entries;
  Append(entries, walk.TakeFound());
  EXPECT_EQ(entries, std::vector<std::string>{"Movies"});
}

}  // namespace
}  // namespace vistrune
