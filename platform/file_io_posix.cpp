#ifndef _WIN32

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <thread>

#include "platform/file_io.h"

namespace vistrune::platform {

namespace {

constexpr std::string_view kTemporaryMark = ".tmp-";
constexpr size_t kTemporaryUniqueLength = 6;

ReplaceSystemCalls& Calls() {
  return SystemCallsOfReplace();
}

// The umask can only be read by setting it. Changes take turns under the
// change lock, so no other change reads it meanwhile, and the mask in between
// is the strictest one, so a file created meanwhile elsewhere could only come
// out less open, never more.
mode_t CurrentUmask() {
  mode_t mask = umask(077);
  umask(mask);
  return mask;
}

// Gives the open file the previous file's owner and group where the system
// allows it: root may set both, other users only a group they belong to.
// False when neither could be set; the file then stays the current user's,
// as a newly created file would be.
bool KeepOwner(int fd, const struct stat& previous) {
  return fchown(fd, previous.st_uid, previous.st_gid) == 0 ||
         fchown(fd, static_cast<uid_t>(-1), previous.st_gid) == 0;
}

int WriteAll(int fd, std::string_view content) {
  while (!content.empty()) {
    ssize_t written = Calls().write(fd, content.data(), content.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return ErrorCodeFromErrno(errno);
    }
    content.remove_prefix(static_cast<size_t>(written));
  }
  return kFileOk;
}

// Fills the new temporary file and makes it ready to take the old one's
// place. previous is the file being replaced, or null for a new one.
int FillTemporary(int fd, std::string_view content, const struct stat* previous) {
  mode_t mode = 0666 & ~CurrentUmask();
  if (previous) {
    KeepOwner(fd, *previous);
    mode = previous->st_mode & 07777;
  }
  // After fchown, which may clear set-id bits.
  if (fchmod(fd, mode) != 0) return ErrorCodeFromErrno(errno);
  int code = WriteAll(fd, content);
  if (code != kFileOk) return code;
  if (Calls().fsync(fd) != 0) return ErrorCodeFromErrno(errno);
  return kFileOk;
}

// Creates a new file beside target for its replacement: target's name,
// ".tmp-" and six letters and digits, open for writing and for the owner
// only. Its name goes to temporary. -1 with errno set when none can be made.
int CreateTemporary(const std::string& target, std::string& temporary) {
  static constexpr char kDigits[] =
      "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  static std::mt19937_64 generator{std::random_device{}()};
  for (int attempt = 0; attempt < 100; ++attempt) {
    // The process id keeps forked copies, which share the generator's state,
    // apart.
    uint64_t unique = generator() ^ static_cast<uint64_t>(getpid());
    temporary = target + std::string(kTemporaryMark);
    for (size_t i = 0; i < kTemporaryUniqueLength; ++i, unique /= 62)
      temporary += kDigits[unique % 62];
    const int fd = Calls().open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// Writes content over the file at target where it is: emptied, written,
// flushed to the disk. A stop or a failure on the way can leave it cut short.
int WriteInPlace(const std::string& target, std::string_view content) {
  const int fd = Calls().open(target.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0);
  if (fd < 0) return ErrorCodeFromErrno(errno);
  int code = WriteAll(fd, content);
  if (code == kFileOk && Calls().fsync(fd) != 0) code = ErrorCodeFromErrno(errno);
  if (Calls().close(fd) != 0 && code == kFileOk) code = ErrorCodeFromErrno(errno);
  return code;
}

// Removes what an interrupted replacement of the file called name left in
// folder.
void RemoveStaleTemporaries(const std::string& folder, const std::string& name) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  const std::string stem = name + std::string(kTemporaryMark);
  while (const dirent* entry = readdir(dir)) {
    std::string_view entryName = entry->d_name;
    if (entryName.size() == stem.size() + kTemporaryUniqueLength && entryName.starts_with(stem))
      unlinkat(dirfd(dir), entry->d_name, 0);
  }
  closedir(dir);
}

// Makes a rename in folder last. The file itself is already on the disk, so
// a failure here is not reported: the replacement has happened either way.
void SyncFolder(const std::string& folder) {
  const int fd = Calls().open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
  if (fd < 0) return;
  Calls().fsync(fd);
  Calls().close(fd);
}

}  // namespace

ReplaceSystemCalls& SystemCallsOfReplace() {
  static ReplaceSystemCalls calls{
      [](const char* path, int flags, mode_t mode) { return open(path, flags, mode); },
      [](int fd, const void* data, size_t size) { return write(fd, data, size); },
      [](int fd) { return fsync(fd); },
      [](int fd) { return close(fd); },
      [](const char* from, const char* to) { return rename(from, to); },
  };
  return calls;
}

int ErrorCodeFromErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      return kPathNotFound;
    case EMFILE:
    case ENFILE:
      return kTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return kAccessDenied;
    case ENOMEM:
      return kNotEnoughMemory;
    case EBUSY:
    case ETXTBSY:
      return kSharingViolation;
    case EINVAL:
      return kInvalidParameter;
    case ENOSPC:
    case EDQUOT:
      return kDiskFull;
    case EFBIG:
      return kFileTooLarge;
    case EIO:
      return kIoDevice;
    default:
      return kGeneralFailure;
  }
}

int ReadWholeFile(const std::string& path, std::string& content) {
  content.clear();
  // Opened without blocking, so that a pipe or device under the file's name
  // cannot hold the program up; only a regular file is read.
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? kFileNotFound : ErrorCodeFromErrno(errno);
  int code = kFileOk;
  struct stat st;
  if (fstat(fd, &st) != 0) {
    code = ErrorCodeFromErrno(errno);
  } else if (!S_ISREG(st.st_mode)) {
    code = kAccessDenied;
  } else {
    // Read straight into the content, which grows only should the file
    // grow while it is read.
    size_t filled = 0;
    content.resize(static_cast<size_t>(st.st_size) + 1);
    for (;;) {
      if (filled == content.size()) content.resize(2 * content.size());
      ssize_t got = read(fd, content.data() + filled, content.size() - filled);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) code = ErrorCodeFromErrno(errno);
      if (got <= 0) break;
      filled += static_cast<size_t>(got);
    }
    content.resize(filled);
  }
  close(fd);
  if (code != kFileOk) content.clear();
  return code;
}

namespace {

// The folder of path, as open() takes it.
std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash + 1);
}

// The file that a change of path changes: path itself, or the file that a
// symbolic link at path points at.
int ChangedFile(const std::string& path, std::string& target) {
  target = path;
  struct stat st;
  if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char* resolved = realpath(path.c_str(), nullptr);
    if (!resolved) return ErrorCodeFromErrno(errno);
    target = resolved;
    free(resolved);
  }
  return kFileOk;
}

// Replaces target (no symbolic link) with content; the caller holds the
// change lock, which also makes the removal of leftover temporary files safe:
// no other copy's replacement is under way.
int ReplaceLocked(const std::string& target, std::string_view content) {
  struct stat st;
  bool exists = stat(target.c_str(), &st) == 0;
  if (!exists && errno != ENOENT) return ErrorCodeFromErrno(errno);
  if (exists) {
    if (!S_ISREG(st.st_mode)) return kAccessDenied;
    // Root may write anything, so the owner-write bit is tested by hand: it
    // is the file's read-only mark, as the read-only attribute is on Windows.
    if ((st.st_mode & S_IWUSR) == 0) return kAccessDenied;
    // Renaming needs only the folder's permission; the file's own must be
    // honoured too.
    if (faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
      return ErrorCodeFromErrno(errno);
  }

  const std::string folder = FolderOf(target);
  const size_t slash = target.rfind('/');
  RemoveStaleTemporaries(folder, target.substr(slash == std::string::npos ? 0 : slash + 1));

  std::string temporary;
  const int fd = CreateTemporary(target, temporary);
  if (fd < 0) {
    const int error = errno;
    // The file may be written but its folder may not (a shared program
    // folder where only the file was made writable), so nothing can be put
    // beside it: the file is written where it is. This is the one case that
    // gives up the guarantee above, as it must to save at all: a stop or a
    // failure while writing can leave the file cut short.
    if (exists && (error == EACCES || error == EPERM)) return WriteInPlace(target, content);
    return ErrorCodeFromErrno(error);
  }
  int code = FillTemporary(fd, content, exists ? &st : nullptr);
  if (Calls().close(fd) != 0 && code == kFileOk) code = ErrorCodeFromErrno(errno);
  if (code == kFileOk && Calls().rename(temporary.c_str(), target.c_str()) != 0)
    code = ErrorCodeFromErrno(errno);
  if (code != kFileOk) {
    unlink(temporary.c_str());
    return code;
  }
  SyncFolder(folder);
  return kFileOk;
}

}  // namespace

int& ChangeLockPatience() {
  static int milliseconds = 5000;
  return milliseconds;
}

FileChangeLock::FileChangeLock(const std::string& path)
    : fd_(open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(ChangeLockPatience());
  // flock has no time limit of its own, so the lock is tried again every
  // few milliseconds: a change holds it for about as long as one fsync.
  while (fd_ >= 0 && flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    const bool busy = errno == EWOULDBLOCK;
    if (!busy || Clock::now() >= deadline) {
      if (busy) code_ = kLockViolation;
      close(fd_);
      fd_ = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

FileChangeLock::~FileChangeLock() {
  if (fd_ >= 0) close(fd_);
}

int UpdateWholeFile(const std::string& path,
                    const std::function<std::string(std::string_view current)>& edit) {
  std::string target;
  int code = ChangedFile(path, target);
  if (code != kFileOk) return code;
  const FileChangeLock lock(target);
  if (lock.Code() != kFileOk) return lock.Code();
  std::string current;
  code = ReadWholeFile(target, current);
  if (code != kFileOk && code != kFileNotFound) return code;
  return ReplaceLocked(target, edit(current));
}

int ReplaceWholeFile(const std::string& path, std::string_view content) {
  std::string target;
  const int code = ChangedFile(path, target);
  if (code != kFileOk) return code;
  const FileChangeLock lock(target);
  if (lock.Code() != kFileOk) return lock.Code();
  return ReplaceLocked(target, content);
}

}  // namespace vistrune::platform

#endif
