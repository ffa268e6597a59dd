// Vistrune.ini changed by several writers at once, as two copies of the
// program in one folder change it: every change is one read-modify-write
// under the file's change lock, so none is lost to another, and a lock that
// cannot be had in time is an ordinary write error.
#include "support/shared_writes.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "config_fixture.h"
#include "platform/file_io.h"
#include "support/wait_limit.h"

namespace vistrune {
namespace {

using SharedWritesTest = ConfigTest;

// Keyed writers, each of its own key, race a whole rewrite with three fixed
// folders (each writer on a thread of its own, with its own file handles).
// After the last rewrite no keyed write may bring back a file without the
// folders, and every keyed write made after it must read back and stay.
TEST_F(SharedWritesTest, NoChangeIsLostToAnother) {
  const testing::ChangeLockPatienceFor patience(testing::kWaitLimitSeconds * 1000);
  constexpr int kWriters = 3;
  constexpr int kRewrites = 15;
  constexpr int kWritesAfterRewrites = 40;
  const std::vector<std::string> paths = {"C:\\a", "C:\\b", "C:\\c"};
  std::atomic<bool> rewritesDone = false;
  std::vector<std::thread> threads;
  std::vector<int> lost(kWriters, 0);
  std::vector<int> last(kWriters, 0);
  std::atomic<int> failedRewrites = 0;
  threads.emplace_back([&] {
    for (int i = 0; i < kRewrites; ++i) {
      try {
        ConfigFile(ini_.Path()).Rewrite("ListBox", paths, paths);
      } catch (const Exception&) {
        ++failedRewrites;
      }
    }
    rewritesDone = true;
  });
  for (int w = 0; w < kWriters; ++w) {
    threads.emplace_back([&, w] {
      const ConfigFile ini(ini_.Path());
      const std::string key = "Writer" + std::to_string(w);
      int value = 0;
      // Until the rewrites end, a rewrite may drop a value at any time;
      // only a failure counts.
      while (!rewritesDone) {
        try {
          ini.WriteInteger("Form", key, ++value);
        } catch (const Exception&) {
          ++lost[w];
        }
      }
      lost[w] += testing::UnconfirmedKeyedWrites(ini, key, value + 1, kWritesAfterRewrites);
      last[w] = value + kWritesAfterRewrites;
    });
  }
  for (std::thread& thread : threads) thread.join();

  EXPECT_EQ(failedRewrites, 0);
  EXPECT_EQ(ini_.ReadInteger("FixedFolder Setting", "count", 0), 3) << IniBytes();
  for (int w = 0; w < kWriters; ++w) {
    EXPECT_EQ(lost[w], 0) << "writer " << w << " lost writes";
    EXPECT_EQ(ini_.ReadInteger("Form", "Writer" + std::to_string(w), -1), last[w]) << IniBytes();
  }
  EXPECT_EQ(ini_.LoadLines().Get(4), "C:\\a");
}

// Another copy holds the lock longer than a change may wait: the keyed
// write and the rewrite fail with their own errors and write nothing; once
// the lock is free, they go through.
TEST_F(SharedWritesTest, LockNotHadInTimeIsAWriteError) {
  ini_.Rewrite("ListBox", {}, {});
  const std::string before = IniBytes();
  testing::ChangeLockPatienceFor patience(100);
  std::mutex mutex;
  std::condition_variable changed;
  bool held = false;
  bool release = false;
  // The lock belongs to another thread, as it would to another copy: on
  // Windows a thread may take its own lock again.
  std::thread holder([&] {
    const platform::FileChangeLock lock(ini_.Path());
    std::unique_lock<std::mutex> guard(mutex);
    held = lock.Code() == platform::kFileOk;
    changed.notify_all();
    (void)testing::WaitUntil(
        changed, guard, [&] { return release; }, "the end of the test");
  });
  {
    std::unique_lock<std::mutex> guard(mutex);
    ASSERT_TRUE(testing::WaitUntil(
        changed, guard, [&] { return held; }, "the lock held"));
  }
  try {
    ini_.WriteString("Form", "Pos.Left", "1");
    ADD_FAILURE() << "a keyed write went through without the lock";
  } catch (const EIniFileException& e) {
    EXPECT_EQ(e.what(), ini_.Path() + " に書き込めません");
  }
  try {
    ini_.Rewrite("ComboBox", {}, {});
    ADD_FAILURE() << "a rewrite went through without the lock";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Code(), platform::kLockViolation);
  }
  EXPECT_EQ(IniBytes(), before);
  {
    std::lock_guard<std::mutex> guard(mutex);
    release = true;
  }
  changed.notify_all();
  holder.join();
  platform::ChangeLockPatience() = testing::kWaitLimitSeconds * 1000;
  ini_.WriteString("Form", "Pos.Left", "1");
  EXPECT_EQ(ini_.ReadString("Form", "Pos.Left", ""), "1");
}

}  // namespace
}  // namespace vistrune
