// The "open" request: the target reaches the desktop's opener as exactly one
// argument, byte for byte, with no shell in between.
#include "platform/shell.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace vistrune::testing {
namespace {

// A stand-in opener that records its working folder and its arguments,
// NUL-separated, so newlines and odd bytes survive.
class ShellOpenTest : public ::testing::Test {
 protected:
  ShellOpenTest() {
    record_ = temp.Path() + "/record";
    const std::string opener = temp.WriteFile(
        "opener", "#!/bin/sh\n{ pwd; printf '%s\\0' \"$@\"; } > '" + record_ + "'\n");
    chmod(opener.c_str(), 0755);
    platform::SetOpenerProgram(opener);
  }
  ~ShellOpenTest() override { platform::SetOpenerProgram("xdg-open"); }

  // Runs the request and returns the opener's folder line and arguments.
  std::vector<std::string> Open(const std::string& target, const std::string& folder) {
    const int pid = platform::ShellOpen("open", target, folder);
    EXPECT_GT(pid, 0);
    int status = 0;
    waitpid(pid, &status, 0);
    const std::string bytes = ReadFileBytes(record_);
    std::vector<std::string> parts;
    const size_t newline = bytes.find('\n');
    parts.push_back(bytes.substr(0, newline));
    for (size_t start = newline + 1; start < bytes.size();) {
      const size_t end = bytes.find('\0', start);
      parts.push_back(bytes.substr(start, end - start));
      start = end + 1;
    }
    return parts;
  }

  TempDir temp;
  std::string record_;
};

TEST_F(ShellOpenTest, HostileNamesArriveAsOneArgumentUnchanged) {
  const std::string folder = temp.MakeDir("videos");
  const std::vector<std::string> names = {
      "a b.avi",      "quote\"and'.avi", "$(touch pwned).avi",
      "`id`.avi",     "x; rm -rf y.avi", "p | q & r.avi",
      "-leading.avi", "line\nbreak.avi", "\xff\xfe not utf8.avi",
  };
  for (const std::string& name : names) {
    temp.WriteFile("videos/" + name, "x");
    const std::string target = folder + "/" + name;
    EXPECT_EQ(Open(target, folder), (std::vector<std::string>{folder, target})) << name;
  }
  struct stat info {};
  EXPECT_NE(stat((temp.Path() + "/pwned").c_str(), &info), 0) << "a shell ran the name";
}

TEST_F(ShellOpenTest, RelativeTargetIsTakenInTheWorkingFolder) {
  const std::string program = temp.MakeDir("program");
  temp.MakeDir("program/-Anime");
  EXPECT_EQ(Open("-Anime/", program), (std::vector<std::string>{program, "./-Anime/"}));
  EXPECT_EQ(Open("Anime/2004/", program), (std::vector<std::string>{program, "./Anime/2004/"}));
}

TEST_F(ShellOpenTest, MissingOpenerIsIgnored) {
  platform::SetOpenerProgram(temp.Path() + "/no-such-opener");
  EXPECT_EQ(platform::ShellOpen("open", "/x.avi", temp.Path()), -1);
}

}  // namespace
}  // namespace vistrune::testing
