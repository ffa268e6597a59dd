// The folder walker on hostile trees: link cycles, folders it may not read
// or enter, paths at the length limit, a very wide and a very deep tree.
// Every case must end, report each reachable folder exactly once by its full
// path (a link that leads back onto its own path is reported but not
// entered) and return true.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "folder_walker/SearchFile.h"
#include "support/child_output.h"
#include "support/temp_dir.h"

namespace vistrune {
namespace {

using testing::TempDir;

struct Walk {
  bool result = false;
  std::vector<std::string> names;

  std::set<std::string> NameSet() const { return {names.begin(), names.end()}; }
};

// More reports than any tree here gives: a walk that gets that far is lost
// in a cycle and is stopped, so that the test fails instead of growing until
// the machine runs out of memory.
constexpr size_t kMaxReports = 100000;

Walk WalkFrom(const std::string& base) {
  Walk walk;
  TSearchDir walker;
  walker.BaseDir = base;
  walker.OnFind = [&walk](TSearchDir*, const std::string& Name, const TSearchFileData&, bool&,
                          bool& Continue) {
    walk.names.push_back(Name);
    Continue = walk.names.size() < kMaxReports;
  };
  walk.result = walker.Search();
  return walk;
}

// root joined with each of relative ("" for root itself).
std::set<std::string> Under(const std::string& root, const std::vector<std::string>& relative) {
  std::set<std::string> names;
  for (const std::string& r : relative) names.insert(r.empty() ? root : root + "/" + r);
  return names;
}

void Symlink(const std::string& target, const std::string& link) {
  if (symlink(target.c_str(), link.c_str()) != 0) throw std::runtime_error("symlink " + link);
}

TEST(WalkerAbuse, LinkCyclesEndAndEveryPathIsReportedOnce) {
  TempDir t;
  const std::string s = t.MakeDir("S");
  t.MakeDir("S/a/x/y");
  t.MakeDir("S/b");
  Symlink(s, s + "/a/x/y/toStart");    // the start folder, absolute
  Symlink("../..", s + "/a/x/y/toA");  // an ancestor deeper down, relative
  Symlink("../b", s + "/a/toB");       // a sibling, which links back
  Symlink(s + "/a", s + "/b/toA");
  Symlink(".", s + "/self");
  t.WriteFile("S/a/x/file", "not a folder");
  Symlink(s + "/a/x/file", s + "/a/x/linkToFile");
  Symlink(s + "/nowhere", s + "/a/dangling");

  const Walk walk = WalkFrom(s);
  EXPECT_TRUE(walk.result);
  // a/toB leads to b, which is not on a/toB's path, so it is entered; inside
  // it, toA leads back to a, which is on the path, and is not entered. The
  // same holds the other way round from b/toA.
  EXPECT_EQ(walk.NameSet(),
            Under(s, {"", "a", "b", "self", "a/x", "a/toB", "b/toA", "a/x/y", "a/toB/toA",
                      "b/toA/x", "b/toA/toB", "a/x/y/toStart", "a/x/y/toA", "b/toA/x/y",
                      "b/toA/x/y/toStart", "b/toA/x/y/toA"}));
  EXPECT_EQ(walk.names.size(), walk.NameSet().size());
}

// Runs walk as the unprivileged user nobody in a child process and returns
// its result ("True"/"False") and names, one a line.
std::vector<std::string> WalkAsNobody(const std::string& base) {
  const std::string text = testing::OutputOfChildAsNobody([&] {
    const Walk walk = WalkFrom(base);
    std::string lines = walk.result ? "True\n" : "False\n";
    for (const std::string& name : walk.names) lines += name + "\n";
    return lines;
  });
  std::vector<std::string> lines;
  for (size_t pos = 0, end; (end = text.find('\n', pos)) != std::string::npos; pos = end + 1)
    lines.push_back(text.substr(pos, end - pos));
  return lines;
}

TEST(WalkerAbuse, FoldersThatMayNotBeReadOrEntered) {
  TempDir t;
  ASSERT_EQ(chmod(t.Path().c_str(), 0755), 0);
  for (const char* d : {"noread/inner/deep", "noenter/c1/g", "noenter/c2", "none/x", "open/o1"})
    t.MakeDir(d);
  // Can be entered but not listed: nothing inside is known.
  ASSERT_EQ(chmod((t.Path() + "/noread").c_str(), 0311), 0);
  // Can be listed but not entered: its folders are known by name (from the
  // entry types the file system lists, as ext4, tmpfs and overlayfs do) and
  // reported, but none of them can be opened.
  ASSERT_EQ(chmod((t.Path() + "/noenter").c_str(), 0644), 0);
  ASSERT_EQ(chmod((t.Path() + "/none").c_str(), 0), 0);
  // A link into a folder that may not be entered.
  Symlink(t.Path() + "/noenter/c1", t.Path() + "/open/linkIntoNoenter");

  const std::vector<std::string> lines = WalkAsNobody(t.Path());
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "True");
  const std::set<std::string> names(lines.begin() + 1, lines.end());
  // nobody cannot follow open/linkIntoNoenter to its target, so it is not
  // known to be a folder and is not reported, like a dangling link.
  EXPECT_EQ(names, Under(t.Path(), {"", "noread", "noenter", "none", "open", "noenter/c1",
                                    "noenter/c2", "open/o1"}));
  EXPECT_EQ(names.size(), lines.size() - 1);
}

// Creates folder name in the folder open at dirFd and returns it open.
int MakeDirAt(int dirFd, const std::string& name) {
  if (mkdirat(dirFd, name.c_str(), 0755) != 0) throw std::runtime_error("mkdirat " + name);
  const int fd = openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) throw std::runtime_error("openat " + name);
  return fd;
}

// A folder whose tree holds paths longer than the system takes; empties it
// when it goes, before TempDir's cleanup by full paths would fail.
class LongPathRoot {
 public:
  explicit LongPathRoot(const std::string& path) : path_(path) {
    fd_ = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) throw std::runtime_error("open " + path);
  }
  ~LongPathRoot() {
    testing::RemoveBelow(fd_);
    close(fd_);
  }
  LongPathRoot(const LongPathRoot&) = delete;
  LongPathRoot& operator=(const LongPathRoot&) = delete;
  int Fd() const { return fd_; }

 private:
  std::string path_;
  int fd_;
};

TEST(WalkerAbuse, PathsAtTheLengthLimit) {
  // The walker opens a folder by its path plus a separator, and the system
  // takes paths of at most PATH_MAX - 1 bytes. So a folder whose path is
  // PATH_MAX - 2 bytes long is listed, one of PATH_MAX - 1 bytes is reported
  // but not listed, and a start path longer than PATH_MAX - 1 does not start.
  TempDir t;
  const std::string root = t.MakeDir("near");
  LongPathRoot cleanup(root);
  constexpr size_t kLongest = PATH_MAX - 1;

  // A chain of long names down to a parent below which a name of at most
  // NAME_MAX bytes reaches the limit.
  std::string parent = root;
  std::vector<std::string> chain;
  int parentFd = dup(cleanup.Fd());
  while (kLongest - parent.size() - 1 > NAME_MAX) {
    const std::string name = std::to_string(chain.size()) + std::string(200, 'n');
    const int next = MakeDirAt(parentFd, name);
    close(parentFd);
    parentFd = next;
    parent += "/" + name;
    chain.push_back(parent);
  }
  const std::string listedName(kLongest - 1 - parent.size() - 1, 'a');
  const std::string unlistedName(kLongest - parent.size() - 1, 'b');
  const std::string listed = parent + "/" + listedName;
  const std::string unlisted = parent + "/" + unlistedName;
  ASSERT_EQ(listed.size(), kLongest - 1);
  ASSERT_EQ(unlisted.size(), kLongest);
  for (const std::string& name : {listedName, unlistedName}) {
    const int fd = MakeDirAt(parentFd, name);
    const int c = MakeDirAt(fd, "c");
    close(MakeDirAt(c, "g"));
    close(c);
    close(fd);
  }
  close(parentFd);

  Walk walk = WalkFrom(root);
  EXPECT_TRUE(walk.result);
  std::set<std::string> expected(chain.begin(), chain.end());
  expected.insert({root, listed, unlisted, listed + "/c"});
  EXPECT_EQ(walk.NameSet(), expected);
  EXPECT_EQ(walk.names.size(), expected.size());

  walk = WalkFrom(listed);
  EXPECT_TRUE(walk.result);
  EXPECT_EQ(walk.names, (std::vector<std::string>{listed, listed + "/c"}));

  walk = WalkFrom(unlisted);
  EXPECT_TRUE(walk.result);
  EXPECT_EQ(walk.names, std::vector<std::string>{unlisted});

  walk = WalkFrom(unlisted + "/");
  EXPECT_FALSE(walk.result);
  EXPECT_TRUE(walk.names.empty());
}

TEST(WalkerAbuse, TenThousandFoldersInOneFolder) {
  TempDir t;
  const std::string root = t.MakeDir("wide");
  const int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  std::set<std::string> expected{root};
  for (int i = 0; i < 10000; ++i) {
    const std::string name = "folder" + std::to_string(i);
    ASSERT_EQ(mkdirat(fd, name.c_str(), 0755), 0);
    expected.insert(root + "/" + name);
    if (i % 10 == 0)
      close(openat(fd, ("file" + std::to_string(i)).c_str(), O_CREAT | O_WRONLY, 0644));
  }
  close(fd);
  t.MakeDir("wide/folder9999/inner");
  expected.insert(root + "/folder9999/inner");

  const Walk walk = WalkFrom(root);
  EXPECT_TRUE(walk.result);
  EXPECT_EQ(walk.names.size(), 10002u);
  EXPECT_EQ(walk.NameSet(), expected);
  ASSERT_FALSE(walk.names.empty());
  EXPECT_EQ(walk.names.front(), root);
  EXPECT_EQ(walk.names.back(), root + "/folder9999/inner");
}

TEST(WalkerAbuse, ThousandLevelsWithLinksBackFromTheBottom) {
  TempDir t;
  std::string relative = "d";
  for (int i = 1; i < 1000; ++i) relative += "/d";
  const std::string root = t.MakeDir("deep");
  const std::string bottom = t.MakeDir("deep/" + relative);
  const std::string middle = root + "/" + relative.substr(0, 2 * 500 - 1);
  Symlink(root, bottom + "/toStart");
  Symlink(middle, bottom + "/toMiddle");
  // A link from half-way down to the bottom: not on its own path, entered
  // once, and its own links back are caught there too.
  Symlink(bottom, middle + "/toBottom");

  const Walk walk = WalkFrom(root);
  EXPECT_TRUE(walk.result);
  std::set<std::string> expected{root};
  std::string path = root;
  for (int i = 0; i < 1000; ++i) expected.insert(path += "/d");
  for (const std::string& b : {bottom, middle + "/toBottom"}) {
    expected.insert(b + "/toStart");
    expected.insert(b + "/toMiddle");
  }
  expected.insert(middle + "/toBottom");
  EXPECT_EQ(walk.NameSet(), expected);
  EXPECT_EQ(walk.names.size(), expected.size());
}

}  // namespace
}  // namespace vistrune
