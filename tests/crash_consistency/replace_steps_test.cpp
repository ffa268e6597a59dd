// The steps of a file replacement, seen through the system calls it makes:
// their order, each one failing, and the file written in place when its
// folder may not be written.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <string>
#include <vector>

#include "config/config.h"
#include "platform/file_io.h"
#include "support/child_output.h"
#include "support/temp_dir.h"

namespace vistrune {
namespace {

using platform::ReplaceSystemCalls;
using platform::SystemCallsOfReplace;

const std::string kOld = "[Style]\r\nStyle=ListBox\r\n";
const std::string kNew = "[Style]\r\nStyle=ComboBox\r\n";

// Records the replacement's calls as "call what", what being "temporary",
// "file" or "folder", while it lives; one call can be made to fail. The
// real calls are back afterwards.
class CallLog {
 public:
  explicit CallLog(std::string file) : file_(std::move(file)), saved_(SystemCallsOfReplace()) {
    ReplaceSystemCalls& calls = SystemCallsOfReplace();
    calls.open = [this](const char* path, int flags, mode_t mode) {
      const std::string what = path == file_                          ? "file"
                               : std::string(path).starts_with(file_) ? "temporary"
                                                                      : "folder";
      if (Fails("open " + what)) return -1;
      const int fd = saved_.open(path, flags, mode);
      if (fd >= 0) names_[fd] = what;
      return fd;
    };
    calls.write = [this](int fd, const void* data, size_t size) -> ssize_t {
      // Written in one piece or several, the step is recorded once.
      if (log.empty() || log.back() != "write " + names_[fd]) Record("write " + names_[fd]);
      if (Failing(log.back())) return -1;
      return saved_.write(fd, data, size);
    };
    calls.fsync = [this](int fd) { return Fails("fsync " + names_[fd]) ? -1 : saved_.fsync(fd); };
    calls.close = [this](int fd) {
      const bool fails = Fails("close " + names_[fd]);
      saved_.close(fd);
      return fails ? -1 : 0;
    };
    calls.rename = [this](const char* from, const char* to) {
      return Fails("rename") ? -1 : saved_.rename(from, to);
    };
  }
  ~CallLog() { SystemCallsOfReplace() = saved_; }
  CallLog(const CallLog&) = delete;
  CallLog& operator=(const CallLog&) = delete;

  // Makes the call recorded as step fail with error.
  void Fail(const std::string& step, int error) { failures_[step] = error; }

  std::vector<std::string> log;

 private:
  void Record(const std::string& step) { log.push_back(step); }
  // True with errno set when step is to fail.
  bool Failing(const std::string& step) {
    const auto failure = failures_.find(step);
    if (failure == failures_.end()) return false;
    errno = failure->second;
    return true;
  }
  // Records step; true with errno set when it is to fail.
  bool Fails(const std::string& step) {
    Record(step);
    return Failing(step);
  }

  std::string file_;
  ReplaceSystemCalls saved_;
  std::map<int, std::string> names_;
  std::map<std::string, int> failures_;
};

TEST(ReplaceSteps, FlushedBeforeRenamedAndTheFolderSyncedAfter) {
  testing::TempDir dir;
  const std::string file = dir.WriteFile("Vistrune.ini", kOld);
  CallLog calls(file);
  ASSERT_EQ(platform::ReplaceWholeFile(file, kNew), platform::kFileOk);
  EXPECT_EQ(calls.log, (std::vector<std::string>{"open temporary", "write temporary",
                                                 "fsync temporary", "close temporary", "rename",
                                                 "open folder", "fsync folder", "close folder"}));
  EXPECT_EQ(testing::ReadFileBytes(file), kNew);
}

TEST(ReplaceSteps, EachFailureIsReportedAndKeepsTheOldFile) {
  const struct {
    const char* step;
    int error;
    int code;
  } rows[] = {
      {"open temporary", ENOSPC, platform::kDiskFull},
      {"write temporary", ENOSPC, platform::kDiskFull},
      {"fsync temporary", EIO, platform::kIoDevice},
      {"close temporary", EDQUOT, platform::kDiskFull},
      {"rename", EBUSY, platform::kSharingViolation},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.step);
    testing::TempDir dir;
    const std::string file = dir.WriteFile("Vistrune.ini", kOld);
    CallLog calls(file);
    calls.Fail(row.step, row.error);
    EXPECT_EQ(platform::ReplaceWholeFile(file, kNew), row.code);
    EXPECT_EQ(testing::ReadFileBytes(file), kOld);
    EXPECT_EQ(testing::FolderEntries(dir.Path()), std::vector<std::string>{"Vistrune.ini"});
  }
}

TEST(ReplaceSteps, FailingFolderSyncComesAfterTheReplacement) {
  testing::TempDir dir;
  const std::string file = dir.WriteFile("Vistrune.ini", kOld);
  CallLog calls(file);
  calls.Fail("fsync folder", EIO);
  EXPECT_EQ(platform::ReplaceWholeFile(file, kNew), platform::kFileOk);
  EXPECT_EQ(testing::ReadFileBytes(file), kNew);
}

TEST(ReplaceSteps, InPlaceWhenNoTemporaryFileMayBeCreated) {
  testing::TempDir dir;
  const std::string file = dir.WriteFile("Vistrune.ini", kOld);
  {
    CallLog calls(file);
    calls.Fail("open temporary", EACCES);
    ASSERT_EQ(platform::ReplaceWholeFile(file, kNew), platform::kFileOk);
    EXPECT_EQ(calls.log, (std::vector<std::string>{"open temporary", "open file", "write file",
                                                   "fsync file", "close file"}));
    EXPECT_EQ(testing::ReadFileBytes(file), kNew);
  }
  for (const char* step : {"open file", "write file", "fsync file", "close file"}) {
    CallLog calls(file);
    calls.Fail("open temporary", EACCES);
    calls.Fail(step, EIO);
    EXPECT_EQ(platform::ReplaceWholeFile(file, kOld), platform::kIoDevice) << step;
  }
}

// A Vistrune.ini that its user may write in a program folder that user may
// not: saving writes the file in place. What the user may not write still
// fails as before.
TEST(ReplaceSteps, WritableFileInAFolderThatIsNot) {
  testing::TempDir dir;
  ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);  // let nobody in
  const std::string folder = dir.MakeDir("program");
  const std::string writable = dir.WriteFile("program/Vistrune.ini", kOld);
  const std::string readOnly = dir.WriteFile("program/readonly/Vistrune.ini", kOld);
  const std::string missing = folder + "/missing/Vistrune.ini";
  dir.MakeDir("program/missing");
  ASSERT_EQ(chmod(writable.c_str(), 0666), 0);
  ASSERT_EQ(chmod(readOnly.c_str(), 0444), 0);
  for (const std::string& sub : {folder, folder + "/readonly", folder + "/missing"})
    ASSERT_EQ(chmod(sub.c_str(), 0555), 0);

  const std::string out = testing::OutputOfChildAsNobody([&] {
    std::string codes;
    auto code = [&codes](auto write) {
      try {
        write();
        codes += "0 ";
      } catch (const EInOutError& e) {
        codes += std::to_string(e.Code()) + " ";
      } catch (const EIniFileException& e) {
        codes += std::string(e.what()) + " ";
      }
    };
    code([&] { ConfigFile(writable).Rewrite("ComboBox", {"/v"}, {"v"}); });
    code([&] { ConfigFile(writable).WriteInteger("Form", "Pos.Left", 7); });
    code([&] { ConfigFile(readOnly).Rewrite("ComboBox", {}, {}); });
    code([&] { ConfigFile(readOnly).WriteInteger("Form", "Pos.Left", 7); });
    code([&] { ConfigFile(missing).Rewrite("ComboBox", {}, {}); });
    return codes;
  });
  EXPECT_EQ(out, "0 0 5 " + readOnly + " に書き込めません 5 ");
  EXPECT_EQ(testing::ReadFileBytes(writable),
            "[Style]\r\nStyle=ComboBox\r\n[FixedFolder Setting]\r\ncount=1\r\n/v\r\n[Name]\r\n"
            "/v=v\r\n[Name2]\r\nv=/v\r\n[Form]\r\nPos.Left=7\r\n");
  struct stat st {};
  ASSERT_EQ(stat(writable.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0666u);
  EXPECT_EQ(testing::FolderEntries(folder),
            (std::vector<std::string>{"Vistrune.ini", "missing", "readonly"}));
  EXPECT_EQ(testing::ReadFileBytes(readOnly), kOld);
}

}  // namespace
}  // namespace vistrune
