// platform/paths.h on POSIX.
#include "platform/paths.h"

#include <gtest/gtest.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/temp_dir.h"

namespace vistrune::platform {
namespace {

using vistrune::testing::TempDir;
namespace fs = std::filesystem;

class CurrentDir {
 public:
  explicit CurrentDir(const std::string& dir) : saved_(fs::current_path()) {
    fs::current_path(dir);
  }
  ~CurrentDir() { fs::current_path(saved_); }

 private:
  fs::path saved_;
};

std::string Expand(const std::string& path) {
  std::string out = "unchanged";
  if (!ExpandPath(path, out)) {
    EXPECT_EQ(out, "") << "a failed expansion leaves the result empty";
    return "<fail>";
  }
  return out;
}

TEST(ExpandPath, AbsolutePaths) {
  EXPECT_EQ(Expand("/"), "/");
  EXPECT_EQ(Expand("//"), "/");
  EXPECT_EQ(Expand("/a/b"), "/a/b");
  EXPECT_EQ(Expand("/a/b/"), "/a/b/");
  EXPECT_EQ(Expand("//a///b//"), "/a/b/");
  EXPECT_EQ(Expand("/a/./b/."), "/a/b");
  EXPECT_EQ(Expand("/a/./b/./"), "/a/b/");
  EXPECT_EQ(Expand("/a/b/.."), "/a");
  EXPECT_EQ(Expand("/a/b/../"), "/a/");
  EXPECT_EQ(Expand("/a/b/../../.."), "/");
  EXPECT_EQ(Expand("/.."), "/");
  EXPECT_EQ(Expand("/../a"), "/a");
  EXPECT_EQ(Expand("/a/..b/.c/..."), "/a/..b/.c/...");
}

TEST(ExpandPath, RelativePathsUseTheCurrentFolder) {
  TempDir t;
  t.MakeDir("x/y");
  CurrentDir cd(t.Path() + "/x");
  EXPECT_EQ(Expand("y"), t.Path() + "/x/y");
  EXPECT_EQ(Expand("y/"), t.Path() + "/x/y/");
  EXPECT_EQ(Expand("."), t.Path() + "/x");
  EXPECT_EQ(Expand("./"), t.Path() + "/x/");
  EXPECT_EQ(Expand(".."), t.Path());
  EXPECT_EQ(Expand("../"), t.Path() + "/");
  EXPECT_EQ(Expand("y/../../x/y"), t.Path() + "/x/y");
  EXPECT_EQ(Expand("not/there/.."), t.Path() + "/x/not");  // nothing needs to exist
}

TEST(ExpandPath, LinksAreNotFollowed) {
  TempDir t;
  t.MakeDir("deep/down");
  ASSERT_EQ(symlink((t.Path() + "/deep/down").c_str(), (t.Path() + "/l").c_str()), 0);
  EXPECT_EQ(Expand(t.Path() + "/l/.."), t.Path());  // lexical: not .../deep
}

TEST(ExpandPath, EmptyAndTooLongFail) {
  EXPECT_EQ(Expand(""), "<fail>");
  EXPECT_EQ(Expand(std::string("\0/a", 3)), "<fail>");  // the path ends at its NUL
  EXPECT_EQ(Expand(std::string("/a\0/b", 5)), "/a");

  // The limit is the full path: PATH_MAX less the NUL.
  std::string fits = "/" + std::string(PATH_MAX - 2, 'a');
  ASSERT_EQ(fits.size(), kMaxFullPath);
  EXPECT_EQ(Expand(fits), fits);
  EXPECT_EQ(Expand(fits + "/"), "<fail>");
  EXPECT_EQ(Expand(fits + "b"), "<fail>");
  // A long path that resolves to a short one is fine.
  EXPECT_EQ(Expand(fits + "b/../.."), "/");
}

TEST(ExpandPath, TooLongAfterJoiningTheCurrentFolder) {
  TempDir t;
  CurrentDir cd(t.Path());
  std::string rel(kMaxFullPath - t.Path().size() - 1, 'r');
  EXPECT_EQ(Expand(rel), t.Path() + "/" + rel);
  EXPECT_EQ(Expand(rel + "r"), "<fail>");
}

TEST(Delimiters, EndsWithDelimiter) {
  EXPECT_TRUE(EndsWithDelimiter("/"));
  EXPECT_TRUE(EndsWithDelimiter("/a/"));
  EXPECT_FALSE(EndsWithDelimiter("/a"));
  EXPECT_FALSE(EndsWithDelimiter(""));
  EXPECT_FALSE(EndsWithDelimiter("a\\"));
  EXPECT_FALSE(EndsWithDelimiter("\xe3\x82\xa2"));  // ア: no byte of it is '/'
}

TEST(Delimiters, LastDelimiter) {
  EXPECT_EQ(LastDelimiter("/a/b", "/"), 2u);
  EXPECT_EQ(LastDelimiter("/a/b:c", "/:"), 4u);
  EXPECT_EQ(LastDelimiter("abc", "/"), std::string::npos);
  EXPECT_EQ(LastDelimiter("", "/"), std::string::npos);
  EXPECT_EQ(LastDelimiter("a/\xe3\x82\xa2", "\xa2/"), 1u);  // a byte >= 0x80 never matches
}

TEST(Attributes, FoldersFilesReadOnlyHidden) {
  TempDir t;
  std::string dir = t.MakeDir("dir");
  std::string file = t.WriteFile("file.avi", "x");
  std::string hiddenDir = t.MakeDir(".hid");
  std::string hiddenFile = t.WriteFile("dir/.rc", "x");
  uint32_t a = 0;

  ASSERT_TRUE(GetAttributes(dir, a));
  EXPECT_EQ(a, kAttrDirectory);
  ASSERT_TRUE(GetAttributes(dir + "/", a));
  EXPECT_EQ(a, kAttrDirectory);
  ASSERT_TRUE(GetAttributes(file, a));
  EXPECT_EQ(a, kAttrArchive);
  ASSERT_TRUE(GetAttributes(hiddenDir, a));
  EXPECT_EQ(a, kAttrDirectory | kAttrHidden);
  ASSERT_TRUE(GetAttributes(hiddenDir + "/", a));
  EXPECT_EQ(a, kAttrDirectory | kAttrHidden);
  ASSERT_TRUE(GetAttributes(hiddenFile, a));
  EXPECT_EQ(a, kAttrArchive | kAttrHidden);
  ASSERT_TRUE(GetAttributes(dir + "/.", a));
  EXPECT_EQ(a, kAttrDirectory);  // "." and ".." are not hidden
  ASSERT_TRUE(GetAttributes(dir + "/..", a));
  EXPECT_EQ(a, kAttrDirectory);

  // Read-only: the owner-write bit, whoever asks (root too).
  ASSERT_EQ(chmod(file.c_str(), 0444), 0);
  ASSERT_TRUE(GetAttributes(file, a));
  EXPECT_EQ(a, kAttrArchive | kAttrReadOnly);
  ASSERT_EQ(chmod(file.c_str(), 0244), 0);
  ASSERT_TRUE(GetAttributes(file, a));
  EXPECT_EQ(a, kAttrArchive);
  ASSERT_EQ(chmod(dir.c_str(), 0577), 0);
  ASSERT_TRUE(GetAttributes(dir, a));
  EXPECT_EQ(a, kAttrDirectory | kAttrReadOnly);

  a = 12345;
  EXPECT_FALSE(GetAttributes(t.Path() + "/missing", a));
  EXPECT_FALSE(GetAttributes("", a));
  EXPECT_FALSE(GetAttributes(file + "/", a));  // a file is no folder
  EXPECT_EQ(a, 12345u);
}

TEST(Attributes, LinksAreFollowed) {
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
}

TEST(Exists, DirectoryAndFile) {
  TempDir t;
  std::string dir = t.MakeDir("d");
  std::string file = t.WriteFile("f", "");
  EXPECT_TRUE(DirectoryExists(dir));
  EXPECT_TRUE(DirectoryExists(dir + "/"));
  EXPECT_FALSE(DirectoryExists(file));
  EXPECT_FALSE(DirectoryExists(t.Path() + "/none"));
  EXPECT_FALSE(DirectoryExists(""));
  EXPECT_TRUE(FileExists(file));
  EXPECT_FALSE(FileExists(dir));
  EXPECT_FALSE(FileExists(t.Path() + "/none"));
  EXPECT_FALSE(FileExists(""));
}

TEST(ExecutablePath, IsThisTestProgram) {
  std::string exe = ExecutablePath();
  ASSERT_FALSE(exe.empty());
  EXPECT_EQ(exe[0], '/');
  EXPECT_EQ(fs::path(exe).filename().string(), "test_platform_paths");
  EXPECT_TRUE(FileExists(exe));
  std::string expanded;
  ASSERT_TRUE(ExpandPath(exe, expanded));
  EXPECT_EQ(expanded, exe);  // already a full path
}

TEST(WindowsDirectoryPath, EmptyOnPosix) {
  EXPECT_EQ(WindowsDirectoryPath(), "");
}

}  // namespace
}  // namespace vistrune::platform
