// platform/paths.h: what every platform has in common. Paths here are
// written with "/" and take the platform's separator before use.
#include "platform/paths.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <string>

#include "support/platform_setup.h"
#include "support/temp_dir.h"

namespace vistrune::platform {
namespace {

using vistrune::testing::CurrentDir;
using vistrune::testing::kRootFolder;
#ifdef _WIN32
using vistrune::testing::kNoSymbolicLinks;
#endif
using vistrune::testing::PlatformPath;
using vistrune::testing::TempDir;

// The system's limit on a full path, its NUL included.
#ifdef _WIN32
constexpr size_t kSystemPathLimit = MAX_PATH;
#else
constexpr size_t kSystemPathLimit = PATH_MAX;
#endif

// The root of the file system followed by path.
std::string Rooted(const std::string& path) {
  return kRootFolder + PlatformPath(path);
}

std::string Expand(const std::string& path) {
  std::string out = "unchanged";
  if (!ExpandPath(path, out)) {
    EXPECT_EQ(out, "") << "a failed expansion leaves the result empty";
    return "<fail>";
  }
  return out;
}

TEST(ExpandPath, AbsolutePaths) {
  EXPECT_EQ(Expand(Rooted("")), Rooted(""));
  EXPECT_EQ(Expand(Rooted("/")), Rooted(""));
  EXPECT_EQ(Expand(Rooted("a/b")), Rooted("a/b"));
  EXPECT_EQ(Expand(Rooted("a/b/")), Rooted("a/b/"));
  EXPECT_EQ(Expand(Rooted("/a///b//")), Rooted("a/b/"));
  EXPECT_EQ(Expand(Rooted("a/./b/.")), Rooted("a/b"));
  EXPECT_EQ(Expand(Rooted("a/./b/./")), Rooted("a/b/"));
  EXPECT_EQ(Expand(Rooted("a/b/..")), Rooted("a"));
  EXPECT_EQ(Expand(Rooted("a/b/../")), Rooted("a/"));
  EXPECT_EQ(Expand(Rooted("a/b/../../..")), Rooted(""));
  EXPECT_EQ(Expand(Rooted("..")), Rooted(""));
  EXPECT_EQ(Expand(Rooted("../a")), Rooted("a"));
}

TEST(ExpandPath, NamesMadeOfDotsAreNames) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows drops the dots that end a path's last name, so \"...\" is no name "
                  "there";
#else
  EXPECT_EQ(Expand("/a/..b/.c/..."), "/a/..b/.c/...");
#endif
}

TEST(ExpandPath, RelativePathsUseTheCurrentFolder) {
  TempDir t;
  t.MakeDir("x/y");
  CurrentDir cd(t.Path() + PlatformPath("/x"));
  EXPECT_EQ(Expand(PlatformPath("y")), t.Path() + PlatformPath("/x/y"));
  EXPECT_EQ(Expand(PlatformPath("y/")), t.Path() + PlatformPath("/x/y/"));
  EXPECT_EQ(Expand("."), t.Path() + PlatformPath("/x"));
  EXPECT_EQ(Expand(PlatformPath("./")), t.Path() + PlatformPath("/x/"));
  EXPECT_EQ(Expand(".."), t.Path());
  EXPECT_EQ(Expand(PlatformPath("../")), t.Slash());
  EXPECT_EQ(Expand(PlatformPath("y/../../x/y")), t.Path() + PlatformPath("/x/y"));
  // Nothing needs to exist.
  EXPECT_EQ(Expand(PlatformPath("not/there/..")), t.Path() + PlatformPath("/x/not"));
}

TEST(ExpandPath, LinksAreNotFollowed) {
#ifdef _WIN32
  GTEST_SKIP() << kNoSymbolicLinks;
#else
  TempDir t;
  t.MakeDir("deep/down");
  ASSERT_EQ(symlink((t.Path() + "/deep/down").c_str(), (t.Path() + "/l").c_str()), 0);
  EXPECT_EQ(Expand(t.Path() + "/l/.."), t.Path());  // lexical: not .../deep
#endif
}

TEST(ExpandPath, EmptyAndTooLongFail) {
  EXPECT_EQ(Expand(""), "<fail>");
  EXPECT_EQ(Expand(std::string("\0", 1) + Rooted("a")), "<fail>");  // the path ends at its NUL
  EXPECT_EQ(Expand(Rooted("a") + std::string("\0", 1) + PlatformPath("/b")), Rooted("a"));

  // The limit is the full path: the system's limit less the NUL.
  const std::string fits = Rooted(std::string(kSystemPathLimit - 1 - Rooted("").size(), 'a'));
  ASSERT_EQ(fits.size(), kMaxFullPath);
  EXPECT_EQ(Expand(fits), fits);
  EXPECT_EQ(Expand(fits + kPathDelimiter), "<fail>");
  EXPECT_EQ(Expand(fits + "b"), "<fail>");
}

TEST(ExpandPath, LongPathThatResolvesToAShortOne) {
#ifdef _WIN32
  GTEST_SKIP() << "The ANSI functions of Windows take no path longer than MAX_PATH, not even one "
                  "that resolves to a shorter path";
#else
  const std::string fits = "/" + std::string(kMaxFullPath - 1, 'a');
  EXPECT_EQ(Expand(fits + "b/../.."), "/");
#endif
}

TEST(ExpandPath, TooLongAfterJoiningTheCurrentFolder) {
  TempDir t;
  CurrentDir cd(t.Path());
  std::string rel(kMaxFullPath - t.Path().size() - 1, 'r');
  EXPECT_EQ(Expand(rel), t.Slash() + rel);
  EXPECT_EQ(Expand(rel + "r"), "<fail>");
}

TEST(Delimiters, EndsWithDelimiter) {
  // The separator of the other platform's paths is no separator here.
  const char other = kPathDelimiter == '/' ? '\\' : '/';
  EXPECT_TRUE(EndsWithDelimiter(Rooted("")));
  EXPECT_TRUE(EndsWithDelimiter(Rooted("a/")));
  EXPECT_FALSE(EndsWithDelimiter(Rooted("a")));
  EXPECT_FALSE(EndsWithDelimiter(""));
  EXPECT_FALSE(EndsWithDelimiter(std::string("a") + other));
  EXPECT_FALSE(EndsWithDelimiter("\xe3\x82\xa2"));  // ア in UTF-8: no byte of it is a separator
}

TEST(Delimiters, LastDelimiter) {
  const std::string separator(1, kPathDelimiter);
  EXPECT_EQ(LastDelimiter(PlatformPath("/a/b"), separator), 2u);
  EXPECT_EQ(LastDelimiter(PlatformPath("/a/b:c"), separator + ":"), 4u);
  EXPECT_EQ(LastDelimiter("abc", separator), std::string::npos);
  EXPECT_EQ(LastDelimiter("", separator), std::string::npos);
  // A byte >= 0x80 never matches.
  EXPECT_EQ(LastDelimiter(PlatformPath("a/\xe3\x82\xa2"), "\xa2" + separator), 1u);
}

TEST(Attributes, FoldersAndFiles) {
  TempDir t;
  std::string dir = t.MakeDir("dir");
  std::string file = t.WriteFile("file.avi", "x");
  uint32_t a = 0;

  ASSERT_TRUE(GetAttributes(dir, a));
  EXPECT_EQ(a, kAttrDirectory);
  ASSERT_TRUE(GetAttributes(dir + kPathDelimiter, a));
  EXPECT_EQ(a, kAttrDirectory);
  ASSERT_TRUE(GetAttributes(file, a));
  EXPECT_EQ(a, kAttrArchive);
  ASSERT_TRUE(GetAttributes(dir + PlatformPath("/."), a));
  EXPECT_EQ(a, kAttrDirectory);  // "." and ".." are not hidden
  ASSERT_TRUE(GetAttributes(dir + PlatformPath("/.."), a));
  EXPECT_EQ(a, kAttrDirectory);

  a = 12345;
  EXPECT_FALSE(GetAttributes(t.Path() + PlatformPath("/missing"), a));
  EXPECT_FALSE(GetAttributes("", a));
  EXPECT_FALSE(GetAttributes(file + kPathDelimiter, a));  // a file is no folder
  EXPECT_EQ(a, 12345u);
}

TEST(Attributes, HiddenByTheLeadingDot) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows hides by the hidden attribute, not by the name "
                  "(tests/platform_windows checks the attribute word)";
#else
  TempDir t;
  std::string hiddenDir = t.MakeDir(".hid");
  std::string hiddenFile = t.WriteFile("dir/.rc", "x");
  uint32_t a = 0;
  ASSERT_TRUE(GetAttributes(hiddenDir, a));
  EXPECT_EQ(a, kAttrDirectory | kAttrHidden);
  ASSERT_TRUE(GetAttributes(hiddenDir + "/", a));
  EXPECT_EQ(a, kAttrDirectory | kAttrHidden);
  ASSERT_TRUE(GetAttributes(hiddenFile, a));
  EXPECT_EQ(a, kAttrArchive | kAttrHidden);
#endif
}

TEST(Attributes, ReadOnlyFromTheOwnerWriteBit) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows has no permission bits; its read-only attribute is checked in "
                  "tests/platform_windows";
#else
  TempDir t;
  std::string dir = t.MakeDir("dir");
  std::string file = t.WriteFile("file.avi", "x");
  uint32_t a = 0;
  // Whoever asks (root too).
  ASSERT_EQ(chmod(file.c_str(), 0444), 0);
  ASSERT_TRUE(GetAttributes(file, a));
  EXPECT_EQ(a, kAttrArchive | kAttrReadOnly);
  ASSERT_EQ(chmod(file.c_str(), 0244), 0);
  ASSERT_TRUE(GetAttributes(file, a));
  EXPECT_EQ(a, kAttrArchive);
  ASSERT_EQ(chmod(dir.c_str(), 0577), 0);
  ASSERT_TRUE(GetAttributes(dir, a));
  EXPECT_EQ(a, kAttrDirectory | kAttrReadOnly);
#endif
}

TEST(Attributes, LinksAreFollowed) {
#ifdef _WIN32
  GTEST_SKIP() << kNoSymbolicLinks;
#else
  TempDir t;
  std::string dir = t.MakeDir("dir");
  std::string file = t.WriteFile("file", "x");
  ASSERT_EQ(symlink(dir.c_str(), (t.Path() + "/ldir").c_str()), 0);
  ASSERT_EQ(symlink(file.c_str(), (t.Path() + "/lfile").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", (t.Path() + "/dangling").c_str()), 0);
  uint32_t a = 0;
  ASSERT_TRUE(GetAttributes(t.Path() + "/ldir", a));
  EXPECT_EQ(a, kAttrDirectory);
  ASSERT_TRUE(GetAttributes(t.Path() + "/lfile", a));
  EXPECT_EQ(a, kAttrArchive);
  EXPECT_FALSE(GetAttributes(t.Path() + "/dangling", a));
  EXPECT_TRUE(DirectoryExists(t.Path() + "/ldir"));
  EXPECT_TRUE(FileExists(t.Path() + "/lfile"));
  EXPECT_FALSE(FileExists(t.Path() + "/dangling"));
#endif
}

TEST(Exists, DirectoryAndFile) {
  TempDir t;
  std::string dir = t.MakeDir("d");
  std::string file = t.WriteFile("f", "");
  EXPECT_TRUE(DirectoryExists(dir));
  EXPECT_TRUE(DirectoryExists(dir + kPathDelimiter));
  EXPECT_FALSE(DirectoryExists(file));
  EXPECT_FALSE(DirectoryExists(t.Path() + PlatformPath("/none")));
  EXPECT_FALSE(DirectoryExists(""));
  EXPECT_TRUE(FileExists(file));
  EXPECT_FALSE(FileExists(dir));
  EXPECT_FALSE(FileExists(t.Path() + PlatformPath("/none")));
  EXPECT_FALSE(FileExists(""));
}

TEST(ExecutablePath, IsThisTestProgram) {
#ifdef _WIN32
  const std::string name = "test_platform_paths.exe";
#else
  const std::string name = "test_platform_paths";
#endif
  std::string exe = ExecutablePath();
  ASSERT_GT(exe.size(), name.size());
  EXPECT_EQ(exe.substr(exe.size() - name.size() - 1), kPathDelimiter + name);
  EXPECT_TRUE(FileExists(exe));
  std::string expanded;
  ASSERT_TRUE(ExpandPath(exe, expanded));
  EXPECT_EQ(expanded, exe);  // already a full path
}

TEST(WindowsDirectoryPath, EmptyOnPosix) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows has a Windows directory (tests/platform_windows checks it)";
#else
  EXPECT_EQ(WindowsDirectoryPath(), "");
#endif
}

}  // namespace
}  // namespace vistrune::platform
