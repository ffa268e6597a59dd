#include "support/temp_dir.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "platform/paths.h"

namespace fs = std::filesystem;

namespace vistrune::testing {

namespace {

#ifdef _WIN32
// On Windows the standard library's paths are UTF-16 and the program's are
// in the ANSI code page: convert with the system, so that a name such as
// 表 (95 5C) is the same file for both.
fs::path NativePath(const std::string& narrow) {
  const int size = static_cast<int>(narrow.size());
  std::wstring wide(
      static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, narrow.data(), size, nullptr, 0)), L'\0');
  MultiByteToWideChar(CP_ACP, 0, narrow.data(), size, wide.data(), static_cast<int>(wide.size()));
  return fs::path(wide);
}

std::string NarrowPath(const fs::path& path) {
  const std::wstring& wide = path.native();
  const int size = static_cast<int>(wide.size());
  std::string narrow(static_cast<size_t>(WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr,
                                                             0, nullptr, nullptr)),
                     '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), size, narrow.data(), static_cast<int>(narrow.size()),
                      nullptr, nullptr);
  return narrow;
}
#else
fs::path NativePath(const std::string& narrow) {
  return fs::path(narrow);
}

std::string NarrowPath(const fs::path& path) {
  return path.string();
}
#endif

// Six letters and digits, different in every call.
std::string UniqueSuffix() {
  static std::mt19937_64 random{std::random_device{}()};
  static constexpr char kDigits[] =
      "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  std::string suffix;
  for (int i = 0; i < 6; ++i) suffix += kDigits[random() % 62];
  return suffix;
}

}  // namespace

TempDir::TempDir() {
  const fs::path base = fs::temp_directory_path();
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    const fs::path candidate = base / ("vistrune-test-" + UniqueSuffix());
    // Like mkdtemp: a folder of this run's own, open to its owner only.
    if (fs::create_directory(candidate)) {
      fs::permissions(candidate, fs::perms::owner_all, fs::perm_options::replace);
      path_ = NarrowPath(candidate);
    }
  }
  if (path_.empty()) throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
  const fs::path root = NativePath(path_);
  std::error_code ignored;
  // Tests take write permission away from files and folders (on Windows:
  // set the read-only attribute); give it back so everything can be removed.
  for (auto it = fs::recursive_directory_iterator(root, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    if (!it->is_symlink(ignored))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
  fs::remove_all(root, ignored);
}

std::string TempDir::Slash() const {
  return path_ + platform::kPathDelimiter;
}

std::string TempDir::Join(const std::string& relative) const {
  std::string full = Slash();
  // "/" is never the second byte of a double-byte character, so replacing
  // it byte by byte is safe.
  for (char c : relative) full += c == '/' ? platform::kPathDelimiter : c;
  return full;
}

std::string TempDir::MakeDir(const std::string& relative) const {
  const std::string full = Join(relative);
  fs::create_directories(NativePath(full));
  return full;
}

std::string TempDir::WriteFile(const std::string& relative, const std::string& bytes) const {
  const std::string full = Join(relative);
  const fs::path native = NativePath(full);
  fs::create_directories(native.parent_path());
  std::ofstream out(native, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + full);
  return full;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ignored;
  for (auto it = fs::directory_iterator(NativePath(folder), ignored);
       it != fs::directory_iterator(); it.increment(ignored))
    names.push_back(NarrowPath(it->path().filename()));
  std::sort(names.begin(), names.end());
  return names;
}

#ifndef _WIN32
void RemoveBelow(int dirFd) {
  DIR* dir = fdopendir(dup(dirFd));
  if (!dir) return;
  std::vector<std::string> names;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  for (const std::string& name : names) {
    const int sub = openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (sub >= 0) {
      RemoveBelow(sub);
      close(sub);
      unlinkat(dirFd, name.c_str(), AT_REMOVEDIR);
    } else {
      unlinkat(dirFd, name.c_str(), 0);
    }
  }
}
#endif

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(NativePath(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace vistrune::testing
