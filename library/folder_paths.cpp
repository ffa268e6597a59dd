#include "library/folder_paths.h"

#include "config/config.h"
#include "config/schema.h"
#include "library/shared_state.h"
#include "platform/dir_reader.h"
#include "platform/paths.h"

namespace vistrune {

std::string HomeFolderName;
int32_t FixedFolderCount = 0;

std::string ResolveFolderPath(const std::string& Entry, const std::string& Default) {
  std::string path =
      Entry == HomeFolderName ? AppPath : ReadConfigString(schema::kName2Section, Entry, Default);
  if (!platform::EndsWithDelimiter(path)) path += platform::kPathDelimiter;
  return path;
}

namespace {

// What ends a folder part of a path: the separator, and on Windows a drive
// colon too ("C:clip.avi").
#ifdef _WIN32
const std::string kFolderDelimiters = "\\:";
#else
const std::string kFolderDelimiters = "/";
#endif

}  // namespace

std::string FolderOf(const std::string& path) {
  const size_t cut = platform::LastDelimiter(path, kFolderDelimiters);
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string HomeFolderNameOf(const std::string& programFolder) {
  const std::string folder = programFolder.substr(0, programFolder.size() - 1);
  return folder.substr(FolderOf(folder).size());
}

namespace {

// Whether name's extension is one of the video extensions, in any case. The
// four are matched in one pass over the folder instead of one pass each.
bool IsVideoName(const char* name, size_t length) {
  size_t dot = length;
  while (dot > 0 && name[dot - 1] != '.') --dot;
  if (dot == 0) return false;
  std::string extension(name + dot, length - dot);
  for (char& c : extension)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return extension == "avi" || extension == "wmv" || extension == "mpg" || extension == "mpeg";
}

}  // namespace

std::vector<std::string> FindVideoFiles(const std::string& Folder) {
  std::vector<std::string> names;
  platform::DirReader reader;
  if (!reader.Open(Folder)) return names;
  while (reader.Next()) {
    const std::string_view name(reader.Name(), reader.NameLength());
    if (name == "." || name == "..") continue;
    if (IsVideoName(reader.Name(), reader.NameLength())) names.emplace_back(name);
  }
  return names;
}

}  // namespace vistrune
