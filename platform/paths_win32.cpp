// paths.h on Windows, through the ANSI ("A") functions: every path is in the
// ANSI code page and reaches the system as it is.
#ifdef _WIN32

#include <windows.h>

#include <string_view>
#include <vector>

#include "platform/paths.h"

namespace vistrune::platform {

namespace {

// Length in bytes (1 or 2) of the character that starts at pos < text.size(),
// by the lead bytes of the ANSI code page. A lead byte at the very end has no
// second byte and stands alone.
size_t CharLength(std::string_view text, size_t pos) {
  return pos + 1 < text.size() && IsDBCSLeadByte(static_cast<BYTE>(text[pos])) ? 2 : 1;
}

bool QueryAttributes(const std::string& path, DWORD& attributes) {
  attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

std::string ExecutablePath() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD n = GetModuleFileNameA(nullptr, buffer.data(), size);
    if (n == 0) return "";
    if (n < size) return std::string(buffer.data(), n);
    // Cut short: the buffer was too small.
    if (buffer.size() >= 32768) return "";
    buffer.resize(buffer.size() * 2);
  }
}

bool EndsWithDelimiter(const std::string& path) {
  bool last = false;
  for (size_t pos = 0; pos < path.size();) {
    const size_t length = CharLength(path, pos);
    last = length == 1 && path[pos] == kPathDelimiter;
    pos += length;
  }
  return last;
}

size_t LastDelimiter(const std::string& path, const std::string& delimiters) {
  size_t found = std::string::npos;
  for (size_t pos = 0; pos < path.size();) {
    const size_t length = CharLength(path, pos);
    const unsigned char c = static_cast<unsigned char>(path[pos]);
    if (length == 1 && c < 0x80 && delimiters.find(static_cast<char>(c)) != std::string::npos)
      found = pos;
    pos += length;
  }
  return found;
}

bool ExpandPath(const std::string& path, std::string& fullPath) {
  fullPath.clear();
  if (path.c_str()[0] == '\0') return false;
  char buffer[MAX_PATH];
  // The result's length without its NUL; a result that does not fit gives
  // the size it would need instead, which is MAX_PATH or more.
  const DWORD n = GetFullPathNameA(path.c_str(), MAX_PATH, buffer, nullptr);
  if (n == 0 || n >= MAX_PATH) return false;
  fullPath.assign(buffer, n);
  return true;
}

bool GetAttributes(const std::string& path, uint32_t& attributes) {
  DWORD found;
  if (!QueryAttributes(path, found)) return false;
  attributes = found;
  return true;
}

bool DirectoryExists(const std::string& path) {
  DWORD attributes;
  return QueryAttributes(path, attributes) && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FileExists(const std::string& path) {
  DWORD attributes;
  return QueryAttributes(path, attributes) && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string WindowsDirectoryPath() {
  char buffer[MAX_PATH];
  // The length without its NUL, or the size needed when it does not fit.
  const UINT n = GetWindowsDirectoryA(buffer, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return "";
  return std::string(buffer, std::char_traits<char>::length(buffer));
}

}  // namespace vistrune::platform

#endif  // _WIN32
