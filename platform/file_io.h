// Whole-file reading and safe whole-file replacement. Failures come back as
// error codes numbered like the Windows system error codes, the numbering of
// EInOutError's message table; 0 means success. On Windows they are the
// system's own codes (GetLastError), unchanged.
#pragma once

#ifndef _WIN32
#include <sys/types.h>
#endif
#include <functional>
#include <string>
#include <string_view>

namespace vistrune::platform {

enum : int {
  kFileOk = 0,
  kFileNotFound = 2,
  kPathNotFound = 3,
  kTooManyOpenFiles = 4,
  kAccessDenied = 5,
  kNotEnoughMemory = 8,
  kGeneralFailure = 31,
  kSharingViolation = 32,
  kLockViolation = 33,
  kInvalidParameter = 87,
  kDiskFull = 112,
  kFileTooLarge = 223,
  kIoDevice = 1117,
};

// The error code for an errno value: a missing or invalid path
// (ENOENT, ENOTDIR, ENAMETOOLONG, ELOOP) is kPathNotFound; EMFILE and ENFILE
// are kTooManyOpenFiles; EACCES, EPERM, EROFS and EISDIR are kAccessDenied;
// ENOMEM is kNotEnoughMemory; EBUSY and ETXTBSY are kSharingViolation; EINVAL
// is kInvalidParameter; ENOSPC and EDQUOT are kDiskFull; EFBIG is
// kFileTooLarge; EIO is kIoDevice; anything else is kGeneralFailure.
#ifndef _WIN32
int ErrorCodeFromErrno(int error);
#endif

// Reads every byte of the file at path into content. Returns kFileOk,
// kFileNotFound when nothing exists at path, kAccessDenied when path is a
// folder, or the code of the failed read. Nothing keeps other programs from
// writing meanwhile (POSIX has no share modes), but as this program only
// ever replaces the file whole, a read sees either the old or the new file.
// Windows: the file is open with read sharing only, so nobody writes it
// while it is read; a file that another program holds open for writing
// gives kSharingViolation, once a fifth of ChangeLockPatience() has passed
// without it being let go (another copy writes it for a moment only); a path
// whose folder is missing gives kPathNotFound.
int ReadWholeFile(const std::string& path, std::string& content);

// Replaces the file at path with content, or creates it, as one change under
// the file's change lock (FileChangeLock below). The file holds
// either its previous content or all of content, never anything in between,
// even when the disk fills or the system stops: content goes to a temporary
// file beside it (named after it, ".tmp-" and six characters; leftovers of an
// interrupted replacement are removed first), is flushed to the disk, and is
// then renamed over it. The replacement keeps the file's permission bits and,
// where the system allows, its owner and group; a new file gets the usual
// permissions of a newly created file. When path is a symbolic link, the file
// it points at is replaced and the link stays.
//
// A file whose owner-write permission bit is clear is read-only for every
// user, root included, and is not replaced (kAccessDenied), nor is a file the
// caller may not write or anything that is not a regular file. On failure
// the temporary file is removed and the file keeps its previous content.
// Returns kFileOk or the code of the failed step; kLockViolation when the
// change lock could not be had in time.
//
// One exception to all this: a file the caller may write in a folder where
// the temporary file may not be created (access denied) is written in place
// instead, emptied, written and flushed to the disk, so that it can be saved
// at all. Only then can a failure or a stop leave it cut short.
//
// Windows: the read-only attribute is the read-only mark (kAccessDenied, the
// attribute stays); a file that another program holds open so that it may
// not be written gives kSharingViolation, once ChangeLockPatience() has
// passed without it being let go (another copy reads it for a moment only).
// The temporary file is flushed (FlushFileBuffers), takes over the file's
// hidden and system attributes, and replaces it with ReplaceFileA, or
// becomes it with MoveFileExA when there was none. A symbolic link is
// replaced itself, not followed.
int ReplaceWholeFile(const std::string& path, std::string_view content);

// One read-modify-write of the file at path under its change lock: reads the
// file (nothing when there is none), hands its bytes to edit and replaces the
// file with what edit returns, as ReplaceWholeFile does. No other change of
// the file by this or any other process comes in between, so none is lost.
// Returns what ReplaceWholeFile returns, or the code of the failed read (edit
// is then not called).
int UpdateWholeFile(const std::string& path,
                    const std::function<std::string(std::string_view current)>& edit);

// How long a change waits for the change lock before it gives up with
// kLockViolation, in milliseconds: a few seconds, so that a copy of the
// program that holds the lock far longer than a change takes never makes
// another one hang. Tests set it. (A plain number, not a std::chrono
// duration: the tests that include this are compiled for code page 932,
// which <chrono>'s unit names do not fit.)
int& ChangeLockPatience();

// The change lock of the file at path, held while the object lives: every
// change of the file, by any thread of any copy of the program, happens
// under it. Waits for it up to ChangeLockPatience(). A lock ends with its
// process, so a copy that died holding it never blocks the next one. Reads
// take no lock: a change replaces the file whole, so they see the old or the
// new file.
//
// POSIX: an flock on the file's folder (the file itself is replaced by each
// change, so it cannot carry the lock). Where the folder cannot be opened or
// the file system has no flock, the change goes ahead unguarded, as it would
// with a single copy.
// Windows: a named mutex of the session, named after the file's full path
// in capitals; a mutex left by a thread or process that ended is taken over.
class FileChangeLock {
 public:
  explicit FileChangeLock(const std::string& path);
  ~FileChangeLock();
  FileChangeLock(const FileChangeLock&) = delete;
  FileChangeLock& operator=(const FileChangeLock&) = delete;

  // kFileOk while the lock is held (or the change goes ahead unguarded);
  // kLockViolation when the patience ran out first.
  int Code() const { return code_; }

 private:
#ifdef _WIN32
  void* mutex_ = nullptr;
#else
  int fd_ = -1;
#endif
  int code_ = 0;
};

#ifndef _WIN32
// The system calls ReplaceWholeFile makes for the file and its folder, each
// with the system call's arguments, result and errno. They are the real
// calls; a test swaps one for a version that records or fails, to see that
// every step happens in its order and that each failure is reported.
struct ReplaceSystemCalls {
  std::function<int(const char* path, int flags, mode_t mode)> open;
  std::function<ssize_t(int fd, const void* data, size_t size)> write;
  std::function<int(int fd)> fsync;
  std::function<int(int fd)> close;
  std::function<int(const char* from, const char* to)> rename;
};
ReplaceSystemCalls& SystemCallsOfReplace();
#endif

}  // namespace vistrune::platform
