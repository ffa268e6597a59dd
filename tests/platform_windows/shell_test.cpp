// platform/shell.h on Windows: the request reaches the shell, which opens a
// relative target in the working folder given.
#include "platform/shell.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "support/temp_dir.h"

namespace vistrune::platform {
namespace {

using vistrune::testing::ReadFileBytes;
using vistrune::testing::TempDir;

TEST(ShellOpen, TheShellOpensARelativeTargetInTheWorkingFolder) {
  TempDir t;
  // A batch file is opened by running it, which needs no display: it
  // records the folder it runs in.
  const std::string folder = t.MakeDir("\x95\x5c");  // 表
  t.WriteFile("\x95\x5c/run me.bat", "@echo off\r\necho %CD%> marker.txt\r\n");
  ASSERT_EQ(ShellOpen("open", "run me.bat", folder), 0);
  const std::string marker = folder + "\\marker.txt";
  for (int i = 0; i < 300 && ReadFileBytes(marker).find('\n') == std::string::npos; ++i) Sleep(20);
  EXPECT_EQ(ReadFileBytes(marker), folder + "\r\n");

  EXPECT_EQ(ShellOpen("open", "not there.bat", folder), -1);
}

TEST(ShellOpen, AHandlerTakesTheRequestInstead) {
  std::string seen;
  SetShellOpenHandler(
      [&](const std::string& verb, const std::string& target, const std::string& workingDirectory) {
        seen = verb + "|" + target + "|" + workingDirectory;
      });
  EXPECT_EQ(ShellOpen("open", "C:\\no such\\clip.avi", "C:\\"), -1);
  SetShellOpenHandler(nullptr);
  EXPECT_EQ(seen, "open|C:\\no such\\clip.avi|C:\\");
}

}  // namespace
}  // namespace vistrune::platform
