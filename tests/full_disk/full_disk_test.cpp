// Writing Vistrune.ini when the disk is full. Each case runs in a child
// process, so that the limits it sets and the file systems it mounts end
// with it, and reports what it saw back through a pipe:
// - a real full disk: a 64 KiB tmpfs, mounted in a mount namespace of the
//   child's own (needs the right to mount; skipped with the reason when the
//   system refuses it);
// - a file-size limit (RLIMIT_FSIZE, SIGXFSZ ignored), which makes a write
//   fail with EFBIG at a chosen byte on any system.
// Either way the write must fail with the error its code calls for, keep
// the old file byte for byte and leave no temporary file behind.
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "config/config.h"
#include "support/child_output.h"
#include "support/temp_dir.h"

namespace vistrune {
namespace {

// What a child saw, as named facts.
using Facts = std::map<std::string, std::string>;

// Runs body in a child process and returns the facts it recorded.
Facts RunInChild(const std::function<void(Facts&)>& body) {
  const std::string text = testing::OutputOfChild([&] {
    Facts facts;
    try {
      body(facts);
    } catch (const std::exception& e) {
      facts["unexpected"] = e.what();
    }
    std::string lines;
    for (const auto& [name, value] : facts) lines += name + "\t" + value + "\n";
    return lines;
  });
  Facts facts;
  for (size_t pos = 0, end; (end = text.find('\n', pos)) != std::string::npos; pos = end + 1) {
    const std::string line = text.substr(pos, end - pos);
    const size_t tab = line.find('\t');
    facts[line.substr(0, tab)] = line.substr(tab + 1);
  }
  return facts;
}

// The names in folder, sorted, joined by spaces.
std::string FolderEntries(const std::string& folder) {
  std::string joined;
  for (const std::string& name : testing::FolderEntries(folder))
    joined += (joined.empty() ? "" : " ") + name;
  return joined;
}

// The file as the program leaves it after the settings window and the main
// window have closed: the layout with two fixed folders and a Form section.
std::string WriteOldFile() {
  RewriteConfigFile("ListBox", {"D:\\Video\\Anime", "E:\\表"}, {"アニメ", "ゾーン"});
  WriteConfigInteger("Form", "Pos.Left", 218);
  WriteConfigInteger("Form", "Pos.Top", 249);
  return testing::ReadFileBytes(ConfigFilePath());
}

// A rewrite much larger than the old file: 200 fixed folders, about 17 KiB.
void RewriteLarge() {
  std::vector<std::string> paths;
  std::vector<std::string> names;
  for (int i = 0; i < 200; ++i) {
    paths.push_back("D:\\動画\\フォルダー" + std::to_string(i));
    names.push_back("表示名" + std::to_string(i));
  }
  RewriteConfigFile("ComboBox", paths, names);
}

// Runs a rewrite and a keyed write that are expected to fail and records,
// under prefix: the rewrite's code and message, the keyed write's message,
// whether the file still holds old, and the folder's entries.
void RecordFailedWrites(Facts& facts, const std::string& prefix, const std::string& old,
                        const std::function<void()>& rewrite) {
  try {
    rewrite();
    facts[prefix + ".code"] = "none";
  } catch (const EInOutError& e) {
    facts[prefix + ".code"] = std::to_string(e.Code());
    facts[prefix + ".message"] = e.what();
  }
  facts[prefix + ".rewrite kept"] = testing::ReadFileBytes(ConfigFilePath()) == old ? "yes" : "no";
  try {
    WriteConfigString("Name2", "新しい名前", std::string(20000, 'v'));
    facts[prefix + ".keyed"] = "none";
  } catch (const EIniFileException& e) {
    facts[prefix + ".keyed"] = e.what();
  }
  facts[prefix + ".keyed kept"] = testing::ReadFileBytes(ConfigFilePath()) == old ? "yes" : "no";
  std::string folder = AppPath;
  folder.pop_back();
  facts[prefix + ".entries"] = FolderEntries(folder);
}

// Fills the file system that holds filler up to its last byte, with filler.
void FillDisk(const std::string& filler) {
  const int fd = open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw std::runtime_error("cannot create the filler");
  const std::string block(4096, 'f');
  while (write(fd, block.data(), block.size()) > 0) {
  }
  while (write(fd, block.data(), 1) > 0) {
  }
  close(fd);
}

TEST(FullDisk, FullTmpfsKeepsTheOldFile) {
  testing::TempDir dir;
  const std::string disk = dir.MakeDir("disk");
  const std::string few = dir.MakeDir("few_inodes");
  Facts facts = RunInChild([&](Facts& f) {
    if (unshare(CLONE_NEWNS) != 0 ||
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0 ||
        mount("tmpfs", few.c_str(), "tmpfs", 0, "size=64k,nr_inodes=3") != 0) {
      f["refused"] = std::strerror(errno);
      return;
    }
    AppPath = disk + "/";
    const std::string old = WriteOldFile();
    const std::string filler = disk + "/filler";

    // Not a byte left: the temporary file is created but takes nothing.
    FillDisk(filler);
    RecordFailedWrites(f, "full", old, RewriteLarge);

    // Two pages free, the new file needs five: the write runs out part way.
    struct stat st {};
    if (stat(filler.c_str(), &st) != 0 || truncate(filler.c_str(), st.st_size - 8192) != 0)
      throw std::runtime_error("cannot shrink the filler");
    RecordFailedWrites(f, "part way", old, RewriteLarge);

    unlink(filler.c_str());
    RewriteLarge();
    f["after freeing.count"] =
        std::to_string(ReadConfigInteger("FixedFolder Setting", "count", -1));

    // No inode left for the temporary file: the root folder, the file and
    // one other file take all three.
    AppPath = few + "/";
    const std::string oldFew = WriteOldFile();
    close(open((few + "/other").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    RecordFailedWrites(f, "no inode", oldFew, RewriteLarge);
  });
  if (facts.count("refused")) GTEST_SKIP() << "mounting a tmpfs is refused: " << facts["refused"];
  EXPECT_EQ(facts.count("unexpected"), 0u) << facts["unexpected"];

  for (const char* prefix : {"full", "part way", "no inode"}) {
    SCOPED_TRACE(prefix);
    const std::string p = prefix;
    EXPECT_EQ(facts[p + ".code"], "112");
    EXPECT_EQ(facts[p + ".message"], "I/O エラー (112)");
    EXPECT_EQ(facts[p + ".rewrite kept"], "yes");
    EXPECT_EQ(facts[p + ".keyed kept"], "yes");
  }
  EXPECT_EQ(facts["full.keyed"], disk + "/Vistrune.ini に書き込めません");
  EXPECT_EQ(facts["no inode.keyed"], few + "/Vistrune.ini に書き込めません");
  EXPECT_EQ(facts["full.entries"], "Vistrune.ini filler");
  EXPECT_EQ(facts["part way.entries"], "Vistrune.ini filler");
  EXPECT_EQ(facts["no inode.entries"], "Vistrune.ini other");
  EXPECT_EQ(facts["after freeing.count"], "200");
}

TEST(FullDisk, FileSizeLimitCutsTheWriteAtAnyByte) {
  testing::TempDir dir;
  Facts facts = RunInChild([&](Facts& f) {
    signal(SIGXFSZ, SIG_IGN);
    AppPath = dir.Slash();
    RewriteLarge();
    const std::string large = testing::ReadFileBytes(ConfigFilePath());
    const std::string old = WriteOldFile();
    f["large size"] = std::to_string(large.size());

    struct rlimit saved {};
    getrlimit(RLIMIT_FSIZE, &saved);
    // Nothing at all, one byte, inside the first line, a page, half, all but
    // the last byte (the CR LF of the last line cut in two).
    for (rlim_t limit : {rlim_t{0}, rlim_t{1}, rlim_t{5}, rlim_t{4096}, rlim_t{large.size() / 2},
                         rlim_t{large.size() - 1}}) {
      struct rlimit small = saved;
      small.rlim_cur = limit;
      if (setrlimit(RLIMIT_FSIZE, &small) != 0) throw std::runtime_error("setrlimit");
      RecordFailedWrites(f, "limit " + std::to_string(limit), old, RewriteLarge);
    }
    if (setrlimit(RLIMIT_FSIZE, &saved) != 0) throw std::runtime_error("setrlimit");
    RewriteLarge();
    f["after lifting"] = testing::ReadFileBytes(ConfigFilePath()) == large ? "new file" : "other";
  });
  EXPECT_EQ(facts.count("unexpected"), 0u) << facts["unexpected"];

  const size_t size = std::stoul(facts["large size"]);
  ASSERT_GT(size, 16000u);
  for (size_t limit : {size_t{0}, size_t{1}, size_t{5}, size_t{4096}, size / 2, size - 1}) {
    const std::string p = "limit " + std::to_string(limit);
    SCOPED_TRACE(p);
    EXPECT_EQ(facts[p + ".code"], "223");
    EXPECT_EQ(facts[p + ".message"], "I/O エラー (223)");
    EXPECT_EQ(facts[p + ".rewrite kept"], "yes");
    EXPECT_EQ(facts[p + ".keyed"], dir.Path() + "/Vistrune.ini に書き込めません");
    EXPECT_EQ(facts[p + ".keyed kept"], "yes");
    EXPECT_EQ(facts[p + ".entries"], "Vistrune.ini");
  }
  EXPECT_EQ(facts["after lifting"], "new file");
}

}  // namespace
}  // namespace vistrune
