// Vistrune.ini shared with another running copy of the program, and a
// Vistrune.ini that is not a file at all.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "config/config.h"
#include "platform/file_io.h"
#include "support/shared_writes.h"
#include "support/temp_dir.h"
#include "support/wait_limit.h"

namespace vistrune {
namespace {

// Copies of the program write the same file at once, each its own key, each
// write read back right after it. No write may fail or be lost to another
// copy's change, and each copy's last value stays.
TEST(SharedFile, CopiesWritingAtOnceLoseNoWrite) {
  testing::TempDir temp;
  const ConfigFile ini(temp.Slash() + "Vistrune.ini");
  const testing::ChangeLockPatienceFor patience(testing::kWaitLimitSeconds * 1000);
  constexpr int kCopies = 3;
  constexpr int kWrites = 150;
  const auto key = [](int copy) { return "Copy" + std::to_string(copy); };
  std::vector<pid_t> children;
  for (int copy = 1; copy < kCopies; ++copy) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(testing::UnconfirmedKeyedWrites(ini, key(copy), 1, kWrites) == 0 ? 0 : 1);
    children.push_back(child);
  }
  EXPECT_EQ(testing::UnconfirmedKeyedWrites(ini, key(0), 1, kWrites), 0);
  for (const pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "another copy lost writes";
  }
  for (int copy = 0; copy < kCopies; ++copy)
    EXPECT_EQ(ini.ReadInteger("Form", key(copy), -1), kWrites) << key(copy);
}

// A copy that ends while it holds the change lock (killed, or crashed) does
// not keep the next one from changing the file.
TEST(SharedFile, CopyThatDiedHoldingTheLockBlocksNoChange) {
  testing::TempDir temp;
  const ConfigFile ini(temp.Slash() + "Vistrune.ini");
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const platform::FileChangeLock lock(ini.Path());
    (void)!write(ready[1], "x", 1);
    pause();
  }
  char byte;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  kill(child, SIGKILL);
  ASSERT_EQ(waitpid(child, nullptr, 0), child);
  const testing::ChangeLockPatienceFor patience(testing::kWaitLimitSeconds * 1000);
  ini.WriteString("Form", "Pos.Left", "5");
  EXPECT_EQ(ini.ReadString("Form", "Pos.Left", ""), "5");
  close(ready[0]);
  close(ready[1]);
}

// A pipe under the file's name would block a reader forever; it is read as
// no file for keyed reads and as a file that cannot be opened for lines.
TEST(SharedFile, PipeNamedLikeTheFileDoesNotBlock) {
  testing::TempDir temp;
  const ConfigFile ini(temp.Slash() + "Vistrune.ini");
  ASSERT_EQ(mkfifo(ini.Path().c_str(), 0644), 0);
  EXPECT_EQ(ini.ReadString("Style", "Style", "default"), "default");
  EXPECT_EQ(ini.ReadInteger("FixedFolder Setting", "count", 7), 7);
  EXPECT_THROW(ini.LoadLines(), EFOpenError);
}

}  // namespace
}  // namespace vistrune
