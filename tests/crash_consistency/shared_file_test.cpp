// Vistrune.ini shared with another running copy of the program, and a
// Vistrune.ini that is not a file at all.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "config/config.h"
#include "support/temp_dir.h"

namespace vistrune {
namespace {

// Two copies of the program write the same file at once, each its own key
// and, now and then, the whole file. None of the writes may fail: one
// copy's temporary file is never taken for another's leftover.
TEST(SharedFile, TwoWritersAtOnceLoseNoWrite) {
  testing::TempDir temp;
  const ConfigFile ini(temp.Slash() + "Vistrune.ini");
  constexpr int kWrites = 300;
  const auto writer = [&ini](const char* key) {
    int failed = 0;
    for (int i = 0; i < kWrites; ++i) {
      try {
        if (i % 50 == 0) ini.Rewrite("ListBox", {}, {});
        ini.WriteInteger("Form", key, i);
      } catch (const Exception&) {
        ++failed;
      }
    }
    return failed;
  };
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(writer("Pos.Top") == 0 ? 0 : 1);
  EXPECT_EQ(writer("Pos.Left"), 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the other writer lost writes";
  // Which copy's last change survives is a matter of timing; the file is
  // whole either way.
  EXPECT_EQ(ini.LoadLines().Get(0), "[Style]");
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
