// Test setup that each platform does its own way: paths written with "/",
// the file-system root, the current folder and time stamps.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace vistrune::testing {

// The root of the file system: "/" on POSIX; on Windows the root of drive
// C:, which every Windows system has.
#ifdef _WIN32
inline constexpr char kRootFolder[] = "C:\\";

// Why the tests of symbolic links do not run on Windows.
inline constexpr char kNoSymbolicLinks[] =
    "Symbolic links need a privilege (SeCreateSymbolicLinkPrivilege) on Windows that a test run "
    "does not have";
#else
inline constexpr char kRootFolder[] = "/";
#endif

// path with every "/" replaced by the platform's separator. "/" is never the
// second byte of a double-byte character, so replacing it byte by byte is
// safe.
std::string PlatformPath(const std::string& path);

// Makes folder the current folder while it lives; the previous one is
// current again afterwards. Throws when folder cannot be made current.
class CurrentDir {
 public:
  explicit CurrentDir(const std::string& folder);
  ~CurrentDir();
  CurrentDir(const CurrentDir&) = delete;
  CurrentDir& operator=(const CurrentDir&) = delete;

 private:
  std::string saved_;
};

// A time stamp as POSIX gives it: seconds and nanoseconds since 1970-01-01
// 00:00 UTC.
struct UnixTime {
  int64_t seconds = 0;
  int64_t nanoseconds = 0;
};

// Sets the last-write and last-access times of the file or folder at path.
// Windows keeps them in units of 100 nanoseconds: the rest is dropped there.
// False when the system refuses.
bool SetFileTimes(const std::string& path, UnixTime lastWrite, UnixTime lastAccess);

#ifndef _WIN32
// Sets TZ, and the platform layer sees the new zone at once.
void SetTimeZone(const char* tz);
#endif

// A test that starts in UTC and leaves it so, on POSIX; on Windows local
// time is the system's (see UseJapaneseTime).
class UtcTimeTest : public ::testing::Test {
#ifndef _WIN32
 protected:
  void SetUp() override {
    SetTimeZone("UTC");
  }
  void TearDown() override {
    SetTimeZone("UTC");
  }
#endif
};

// Makes local time Japanese time, UTC+9 all year. A Windows program cannot
// change its time zone: the Windows tests run on a Japanese system (under
// Wine, with TZ=Asia/Tokyo), where it is so already.
void UseJapaneseTime();

}  // namespace vistrune::testing
