// A temporary folder for one test, removed with everything in it afterwards.
// Paths are narrow strings in the platform's encoding, as the program's own.
#pragma once

#include <string>
#include <vector>

namespace vistrune::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder's path, without a trailing separator.
  const std::string& Path() const { return path_; }
  // The folder's path with a trailing separator, as AppPath holds it.
  std::string Slash() const;

  // Creates a folder (and its parents) below this one; returns its full path.
  // In relative, "/" separates folders on every platform; the result has the
  // platform's separator.
  std::string MakeDir(const std::string& relative) const;
  // Writes bytes to a file below this one; returns its full path.
  std::string WriteFile(const std::string& relative, const std::string& bytes) const;

 private:
  std::string Join(const std::string& relative) const;

  std::string path_;
};

// The names in folder, sorted, without "." and "..": [] when it cannot be
// read.
std::vector<std::string> FolderEntries(const std::string& folder);

#ifndef _WIN32
// Removes everything below the folder open at dirFd by calls relative to it,
// which work where full paths are too long for the system.
void RemoveBelow(int dirFd);
#endif

// The whole content of a file, or "" when it cannot be read.
std::string ReadFileBytes(const std::string& path);

}  // namespace vistrune::testing
