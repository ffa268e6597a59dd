#include "support/platform_setup.h"

#ifdef _WIN32
#include <windows.h>

#include <stdexcept>
#include <vector>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include <cstdlib>
#include <filesystem>
#endif

#include "platform/dir_reader.h"
#include "platform/paths.h"

namespace vistrune::testing {

std::string PlatformPath(const std::string& path) {
  std::string out = path;
  for (char& c : out) {
    if (c == '/') c = platform::kPathDelimiter;
  }
  return out;
}

#ifdef _WIN32

namespace {

FILETIME FileTimeOf(UnixTime time) {
  const uint64_t ticks = static_cast<uint64_t>(time.seconds + 11644473600LL) * 10000000ULL +
                         static_cast<uint64_t>(time.nanoseconds / 100);
  return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

}  // namespace

CurrentDir::CurrentDir(const std::string& folder) {
  std::vector<char> buffer(MAX_PATH);
  const DWORD n = GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
  if (n == 0 || n >= buffer.size()) throw std::runtime_error("cannot read the current folder");
  saved_.assign(buffer.data(), n);
  if (!SetCurrentDirectoryA(folder.c_str())) throw std::runtime_error("cannot enter " + folder);
}

CurrentDir::~CurrentDir() {
  SetCurrentDirectoryA(saved_.c_str());
}

bool SetFileTimes(const std::string& path, UnixTime lastWrite, UnixTime lastAccess) {
  // Folders open only with backup semantics.
  HANDLE handle = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const FILETIME write = FileTimeOf(lastWrite);
  const FILETIME access = FileTimeOf(lastAccess);
  const bool set = SetFileTime(handle, nullptr, &access, &write) != 0;
  CloseHandle(handle);
  return set;
}

void UseJapaneseTime() {}

#else

CurrentDir::CurrentDir(const std::string& folder) : saved_(std::filesystem::current_path()) {
  std::filesystem::current_path(folder);
}

CurrentDir::~CurrentDir() {
  std::error_code ignored;
  std::filesystem::current_path(saved_, ignored);
}

bool SetFileTimes(const std::string& path, UnixTime lastWrite, UnixTime lastAccess) {
  const struct timespec times[2] = {
      {static_cast<time_t>(lastAccess.seconds), static_cast<long>(lastAccess.nanoseconds)},
      {static_cast<time_t>(lastWrite.seconds), static_cast<long>(lastWrite.nanoseconds)}};
  return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

void SetTimeZone(const char* tz) {
  setenv("TZ", tz, 1);
  tzset();
  platform::ResetUtcOffsetCache();
}

void UseJapaneseTime() {
  SetTimeZone("JST-9");
}

#endif

}  // namespace vistrune::testing
