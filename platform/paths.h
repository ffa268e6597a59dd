// Paths and file attributes as the operating system gives them. Strings are
// bytes in the platform's narrow encoding (UTF-8 on Linux, the ANSI code page
// on Windows), passed to the system unchanged. A path ends at its first NUL
// byte, as it would in the C string the system call receives.
#pragma once

#include <cstdint>
#include <string>

namespace vistrune::platform {

#ifdef _WIN32
constexpr char kPathDelimiter = '\\';
// The longest full path ExpandPath gives, in bytes (MAX_PATH less its NUL).
constexpr size_t kMaxFullPath = 259;
#else
constexpr char kPathDelimiter = '/';
// The longest full path ExpandPath gives, in bytes (PATH_MAX less its NUL).
constexpr size_t kMaxFullPath = 4095;
#endif

// Attribute bits, as in the Windows file-attribute word.
//
// On POSIX, where there are no attribute bits, they are derived:
// - kAttrDirectory: the object (links followed) is a directory.
// - kAttrReadOnly: the owner-write bit (S_IWUSR) is clear. Such a file is
//   treated as read-only for every user, root included (see design.md).
// - kAttrHidden: the name (the last path component) begins with "." and is
//   neither "." nor "..", the Unix convention for hidden files.
// - kAttrArchive: the object is a regular file (Windows sets the archive bit
//   on files that were written; folders normally lack it).
// - kAttrSystem: never.
// - kAttrReparsePoint: the entry itself is a symbolic link (the other bits
//   then describe its target). Only the directory reader (dir_reader.h) sets
//   it; GetAttributes does not. The walker's record never carries it.
enum : uint32_t {
  kAttrReadOnly = 0x01,
  kAttrHidden = 0x02,
  kAttrSystem = 0x04,
  kAttrDirectory = 0x10,
  kAttrArchive = 0x20,
  kAttrReparsePoint = 0x400,
};

// The full path of the running executable; "" when the system cannot say.
// Linux: the target of /proc/self/exe. Windows: GetModuleFileNameA.
std::string ExecutablePath();

// Whether the last whole character of path is the separator. A double-byte
// character whose second byte equals the separator byte does not count.
// (UTF-8: a byte below 0x80 is always a whole character, so on POSIX this is
// the plain test of the last byte. Windows: characters follow the ANSI code
// page's lead bytes, so in code page 932 "表" (95 5C) does not end in "\".)
bool EndsWithDelimiter(const std::string& path);

// Byte position of the last whole character of path that is one of
// delimiters (single-byte characters), or std::string::npos. Delimiter bytes
// of 0x80 and above never match (they are never a whole character).
size_t LastDelimiter(const std::string& path, const std::string& delimiters);

// path made absolute against the current folder, "." and ".." resolved, a
// trailing separator kept. False when it cannot be expanded (too long, empty).
//
// POSIX, like GetFullPathName: purely lexical, symbolic links are NOT
// followed and nothing needs to exist; repeated separators collapse to one;
// ".." at the root stays at the root; a trailing separator in path (also
// after a final "." or "..": "a/../") gives one in the result, a final "."
// or ".." without one gives none. The result is at most kMaxFullPath bytes;
// a longer one, an empty path or an unreadable current folder is a failure,
// and fullPath is then "".
//
// Windows: GetFullPathNameA into a buffer of MAX_PATH bytes; a longer result
// is a failure.
bool ExpandPath(const std::string& path, std::string& fullPath);

// The attribute word of whatever exists at path (links followed). False when
// nothing exists there or it cannot be queried. See the bits above for how
// POSIX derives them; "hidden" looks at the last component of path as given
// (trailing separators ignored). Windows: the word GetFileAttributesA gives,
// every bit of it; a link there is not followed.
bool GetAttributes(const std::string& path, uint32_t& attributes);

// A folder exists at path (links followed).
bool DirectoryExists(const std::string& path);
// Something that is not a folder exists at path (links followed).
bool FileExists(const std::string& path);

// The Windows directory (GetWindowsDirectoryA into a buffer of MAX_PATH
// bytes), "" on failure, when it does not fit, and on platforms that have
// none (POSIX).
std::string WindowsDirectoryPath();

}  // namespace vistrune::platform
