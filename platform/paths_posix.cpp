// paths.h on POSIX (Linux). A Win32 implementation sits beside this file.
#ifndef _WIN32

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string_view>
#include <vector>

#include "platform/paths.h"

namespace vistrune::platform {

namespace {

// The text of s up to its first NUL byte.
std::string_view CText(const std::string& s) {
  return std::string_view(s.c_str());
}

// The last component of path, trailing separators ignored ("" for "/").
std::string_view LastComponent(std::string_view path) {
  while (!path.empty() && path.back() == kPathDelimiter) path.remove_suffix(1);
  size_t slash = path.rfind(kPathDelimiter);
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool IsHiddenName(std::string_view name) {
  return !name.empty() && name[0] == '.' && name != "." && name != "..";
}

}  // namespace

std::string ExecutablePath() {
#ifdef __linux__
  std::vector<char> buffer(PATH_MAX);
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return "";
    if (static_cast<size_t>(n) < buffer.size()) return std::string(buffer.data(), n);
    if (buffer.size() >= (1u << 20)) return "";
    buffer.resize(buffer.size() * 2);
  }
#else
  return "";
#endif
}

bool EndsWithDelimiter(const std::string& path) {
  return !path.empty() && path.back() == kPathDelimiter;
}

size_t LastDelimiter(const std::string& path, const std::string& delimiters) {
  for (size_t i = path.size(); i-- > 0;) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (c < 0x80 && delimiters.find(static_cast<char>(c)) != std::string::npos) return i;
  }
  return std::string::npos;
}

bool ExpandPath(const std::string& path, std::string& fullPath) {
  fullPath.clear();
  std::string_view in = CText(path);
  if (in.empty()) return false;

  std::string cwd;
  if (in[0] != kPathDelimiter) {
    char buffer[PATH_MAX];
    if (!getcwd(buffer, sizeof buffer) || buffer[0] != kPathDelimiter) return false;
    cwd = buffer;
  }

  // Components of cwd and then of in, resolved as they come.
  std::vector<std::string_view> parts;
  auto take = [&parts](std::string_view text) {
    size_t pos = 0;
    while (pos <= text.size()) {
      size_t end = text.find(kPathDelimiter, pos);
      if (end == std::string_view::npos) end = text.size();
      std::string_view part = text.substr(pos, end - pos);
      if (part.empty() || part == ".") {
        // nothing: repeated separator or the current folder
      } else if (part == "..") {
        if (!parts.empty()) parts.pop_back();
      } else {
        parts.push_back(part);
      }
      pos = end + 1;
    }
  };
  take(cwd);
  take(in);

  std::string result;
  for (std::string_view part : parts) {
    result += kPathDelimiter;
    result.append(part);
    if (result.size() > kMaxFullPath) return false;
  }
  if (result.empty() || in.back() == kPathDelimiter) result += kPathDelimiter;  // "/" stays "/"
  if (result.size() > kMaxFullPath) return false;
  fullPath = std::move(result);
  return true;
}

bool GetAttributes(const std::string& path, uint32_t& attributes) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return false;
  uint32_t attr = 0;
  if (S_ISDIR(st.st_mode)) attr |= kAttrDirectory;
  if (S_ISREG(st.st_mode)) attr |= kAttrArchive;
  if ((st.st_mode & S_IWUSR) == 0) attr |= kAttrReadOnly;
  if (IsHiddenName(LastComponent(CText(path)))) attr |= kAttrHidden;
  attributes = attr;
  return true;
}

bool DirectoryExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::string WindowsDirectoryPath() {
  return "";
}

}  // namespace vistrune::platform

#endif  // _WIN32
