// file_io.h on Windows. Error codes are the system's own (GetLastError),
// which are the codes the I/O error messages are numbered by.
#ifdef _WIN32

#include <windows.h>

#include <cstdint>
#include <string_view>

#include "platform/file_io.h"
#include "platform/paths.h"

namespace vistrune::platform {

namespace {

constexpr std::string_view kTemporaryMark = ".tmp-";
constexpr size_t kTemporaryUniqueLength = 6;
constexpr DWORD kMaxChunk = 1 << 30;  // one ReadFile or WriteFile at most

// The attributes a replacement carries over from the file it replaces. The
// archive attribute is the system's own to set: the content is new.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// Closes a handle when it goes out of scope.
class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (Valid()) CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }
  // Closes now; false when closing failed.
  bool Close() {
    const bool closed = CloseHandle(handle_) != 0;
    handle_ = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE handle_;
};

int LastError() {
  return static_cast<int>(GetLastError());
}

int WriteAll(HANDLE handle, std::string_view content) {
  while (!content.empty()) {
    const DWORD chunk = content.size() < kMaxChunk ? static_cast<DWORD>(content.size()) : kMaxChunk;
    DWORD written = 0;
    if (!WriteFile(handle, content.data(), chunk, &written, nullptr)) return LastError();
    content.remove_prefix(written);
  }
  return kFileOk;
}

// A name for the temporary file that no other replacement uses at the same
// moment: the process, the time and a running count, as six letters and
// digits. Creating it with CREATE_NEW catches the rare clash.
std::string TemporaryName(const std::string& path) {
  static constexpr char kDigits[] =
      "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  static unsigned count = 0;
  uint64_t seed = (uint64_t{GetCurrentProcessId()} << 32) ^ GetTickCount64() ^ (++count * 7919u);
  std::string name = path + std::string(kTemporaryMark);
  for (size_t i = 0; i < kTemporaryUniqueLength; ++i) {
    name += kDigits[seed % 62];
    seed /= 62;
  }
  return name;
}

// Removes what an interrupted replacement of the file at path left beside
// it: files named after it, ".tmp-" and six characters.
void RemoveStaleTemporaries(const std::string& path) {
  const size_t nameStart = LastDelimiter(path, "\\/:") + 1;  // npos + 1 is 0
  const std::string folder = path.substr(0, nameStart);
  const std::string stem = path.substr(nameStart) + std::string(kTemporaryMark);
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA((path + std::string(kTemporaryMark) + "*").c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    // The pattern matches short names too; only the long name counts.
    const std::string_view name = data.cFileName;
    if (name.size() == stem.size() + kTemporaryUniqueLength && name.starts_with(stem) &&
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
      DeleteFileA((folder + std::string(name)).c_str());
  } while (FindNextFileA(search, &data));
  FindClose(search);
}

// Whether the existing file at path may be replaced: not read-only, not a
// folder, and writable as this program would write it, sharing it for
// reading only (so a file that another program holds open for writing, or
// without letting others write, is refused).
int CheckWritable(const std::string& path, DWORD attributes) {
  if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) return kAccessDenied;
  Handle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.Valid() ? kFileOk : LastError();
}

// Creates the new file temporary, writes content to it, flushes it to the
// disk and gives it the kept attributes. A file it created and could not
// finish is removed again. created tells whether the file could be created.
int FillTemporary(const std::string& temporary, std::string_view content, DWORD kept,
                  bool& created) {
  Handle file(CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  created = file.Valid();
  if (!created) return LastError();
  int code = WriteAll(file.Get(), content);
  if (code == kFileOk && !FlushFileBuffers(file.Get())) code = LastError();
  if (!file.Close() && code == kFileOk) code = LastError();
  if (code == kFileOk && kept != 0 &&
      !SetFileAttributesA(temporary.c_str(), kept | FILE_ATTRIBUTE_ARCHIVE))
    code = LastError();
  if (code != kFileOk) DeleteFileA(temporary.c_str());
  return code;
}

// Writes content over the existing file at path where it is: emptied,
// written, flushed to the disk. A stop or a failure on the way can leave it
// cut short.
int WriteInPlace(const std::string& path, std::string_view content) {
  Handle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, TRUNCATE_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return LastError();
  int code = WriteAll(file.Get(), content);
  if (code == kFileOk && !FlushFileBuffers(file.Get())) code = LastError();
  if (!file.Close() && code == kFileOk) code = LastError();
  return code;
}

}  // namespace

namespace {

// Calls attempt again while it meets a sharing violation, for up to
// milliseconds: a file that another copy of the program reads is open for a
// moment, and Windows refuses to replace it meanwhile, as it refuses to read
// it while a copy writes it. A file held open for longer still gives the
// violation, once the time is up. alsoTransient is another code that means
// the same here.
template <typename Attempt>
int PastSharingViolations(int milliseconds, int alsoTransient, Attempt attempt) {
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
  for (;;) {
    const int code = attempt();
    const bool transient = code == ERROR_SHARING_VIOLATION || code == alsoTransient;
    if (!transient || GetTickCount64() >= deadline) return code;
    Sleep(2);
  }
}

int ReadOnce(const std::string& path, std::string& content) {
  content.clear();
  Handle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return LastError();
  LARGE_INTEGER size;
  if (GetFileSizeEx(file.Get(), &size)) content.reserve(static_cast<size_t>(size.QuadPart));
  char buffer[65536];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr)) {
      const int code = LastError();
      content.clear();
      return code;
    }
    if (got == 0) return kFileOk;
    content.append(buffer, got);
  }
}

}  // namespace

int ReadWholeFile(const std::string& path, std::string& content) {
  // A read waits less than a change: reads come at every listing.
  const auto read = [&] {
    return PastSharingViolations(ChangeLockPatience() / 5, ERROR_SHARING_VIOLATION,
                                 [&] { return ReadOnce(path, content); });
  };
  const int code = read();
  if (code != ERROR_FILE_NOT_FOUND) return code;
  // ReplaceFileA may take the old file away before it puts the new one in
  // its place (Wine's does), so a read in between finds no file. A change
  // under way is waited out under its lock, and the file read once more.
  const FileChangeLock lock(path);
  return read();
}

namespace {

// Replaces the file at path with content; the caller holds the change lock,
// which also makes the removal of leftover temporary files safe: no other
// copy's replacement is under way.
int ReplaceOnce(const std::string& path, std::string_view content) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (!exists && GetLastError() != ERROR_FILE_NOT_FOUND) return LastError();
  if (exists) {
    const int code = CheckWritable(path, attributes);
    if (code != kFileOk) return code;
  }

  RemoveStaleTemporaries(path);
  std::string temporary;
  int code = ERROR_FILE_EXISTS;
  bool created = false;
  for (int attempt = 0; attempt < 100 && code == ERROR_FILE_EXISTS; ++attempt) {
    temporary = TemporaryName(path);
    code = FillTemporary(temporary, content, exists ? attributes & kKeptAttributes : 0, created);
  }
  // The file may be written but its folder may not (a shared program folder
  // where only the file was made writable), so nothing can be put beside
  // it: the file is written where it is. This is the one case that gives up
  // the guarantee of a whole old or a whole new file, as it must to save at
  // all.
  if (!created && code == ERROR_ACCESS_DENIED && exists) return WriteInPlace(path, content);
  if (code != kFileOk) return code;
  const BOOL replaced = exists ? ReplaceFileA(path.c_str(), temporary.c_str(), nullptr,
                                              REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
                               : MoveFileExA(temporary.c_str(), path.c_str(),
                                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (replaced) return kFileOk;
  code = LastError();
  // The old file went aside, but the new one could not take its name: give
  // it the name now rather than leave the file missing.
  if (code == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 &&
      MoveFileExA(temporary.c_str(), path.c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return kFileOk;
  DeleteFileA(temporary.c_str());
  return code;
}

}  // namespace

int& ChangeLockPatience() {
  static int milliseconds = 5000;
  return milliseconds;
}

namespace {

// The name of the change lock of the file at path: its full path in
// capitals, as Windows compares names, hashed (FNV-1a) so that it fits a
// mutex name, which may not hold a backslash.
std::wstring ChangeLockName(const std::string& path) {
  const int size = static_cast<int>(path.size());
  std::wstring wide(
      static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, path.data(), size, nullptr, 0)), L'\0');
  MultiByteToWideChar(CP_ACP, 0, path.data(), size, wide.data(), static_cast<int>(wide.size()));
  std::wstring full(GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr), L'\0');
  const DWORD length =
      GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  full.resize(length < full.size() ? length : 0);
  if (full.empty()) full = wide;
  CharUpperBuffW(full.data(), static_cast<DWORD>(full.size()));
  uint64_t hash = 14695981039346656037ull;
  for (wchar_t c : full) {
    hash ^= static_cast<uint16_t>(c);
    hash *= 1099511628211ull;
  }
  std::wstring name = L"Local\\VistruneZ-change-";
  for (int shift = 60; shift >= 0; shift -= 4) name += L"0123456789abcdef"[(hash >> shift) & 15];
  return name;
}

}  // namespace

FileChangeLock::FileChangeLock(const std::string& path) {
  HANDLE mutex = CreateMutexW(nullptr, FALSE, ChangeLockName(path).c_str());
  // Without a mutex the change goes ahead unguarded, as with a single copy.
  if (!mutex) return;
  const DWORD wait = WaitForSingleObject(mutex, static_cast<DWORD>(ChangeLockPatience()));
  // WAIT_ABANDONED: its last owner ended without letting go; it is ours now.
  if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) {
    mutex_ = mutex;
    return;
  }
  CloseHandle(mutex);
  code_ = kLockViolation;
}

FileChangeLock::~FileChangeLock() {
  if (!mutex_) return;
  ReleaseMutex(mutex_);
  CloseHandle(mutex_);
}

namespace {

// ReplaceOnce, again while the file is open in another copy for a moment.
int ReplaceLocked(const std::string& path, std::string_view content) {
  return PastSharingViolations(ChangeLockPatience(), ERROR_UNABLE_TO_REMOVE_REPLACED,
                               [&] { return ReplaceOnce(path, content); });
}

}  // namespace

int UpdateWholeFile(const std::string& path,
                    const std::function<std::string(std::string_view current)>& edit) {
  const FileChangeLock lock(path);
  if (lock.Code() != kFileOk) return lock.Code();
  std::string current;
  const int code = ReadWholeFile(path, current);
  if (code != kFileOk && code != kFileNotFound) return code;
  return ReplaceLocked(path, edit(current));
}

int ReplaceWholeFile(const std::string& path, std::string_view content) {
  const FileChangeLock lock(path);
  if (lock.Code() != kFileOk) return lock.Code();
  return ReplaceLocked(path, content);
}

}  // namespace vistrune::platform

#endif  // _WIN32
