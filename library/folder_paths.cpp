#include "library/folder_paths.h"

#include <algorithm>

#include "config/config.h"
#include "config/schema.h"
#include "library/shared_state.h"
#include "platform/dir_reader.h"
#include "platform/paths.h"

namespace vistrune {

std::string HomeFolderName;
int32_t FixedFolderCount = 0;

namespace {

std::string EndingInDelimiter(std::string path) {
  if (!platform::EndsWithDelimiter(path)) path += platform::kPathDelimiter;
  return path;
}

// What ends a folder part of a path: the separator, and on Windows a drive
// colon too ("C:clip.avi").
#ifdef _WIN32
const std::string kFolderDelimiters = "\\:";
#else
const std::string kFolderDelimiters = "/";
#endif

}  // namespace

std::string ResolveFolderPath(const std::string& Entry, const std::string& Default) {
  return EndingInDelimiter(
      Entry == HomeFolderName ? AppPath : ReadConfigString(schema::kName2Section, Entry, Default));
}

std::string ResolveFolderPath(const std::string& Entry, const std::string& Default,
                              const ConfigSnapshot& config, const std::string& home,
                              const std::string& programFolder) {
  return EndingInDelimiter(
      Entry == home ? programFolder : config.ReadString(schema::kName2Section, Entry, Default));
}

std::string FolderOf(const std::string& path) {
  const size_t cut = platform::LastDelimiter(path, kFolderDelimiters);
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string HomeFolderNameOf(const std::string& programFolder) {
  const std::string folder = programFolder.substr(0, programFolder.size() - 1);
  return folder.substr(FolderOf(folder).size());
}

namespace {

constexpr std::string_view kBuiltInExtensions[] = {"avi", "wmv", "mpg", "mpeg"};

// Folds A-Z to a-z in an extension that is all ASCII, and leaves any other
// unchanged.
void FoldAsciiExtension(std::string& extension) {
  for (char c : extension)
    if (static_cast<unsigned char>(c) >= 0x80) return;
  for (char& c : extension)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
}

bool IsBuiltIn(std::string_view extension) {
  for (std::string_view builtIn : kBuiltInExtensions)
    if (extension == builtIn) return true;
  return false;
}

}  // namespace

// The extensions are matched in one pass over a folder instead of one pass
// each.
bool IsVideoName(std::string_view name, const std::vector<std::string>& more) {
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return false;
  std::string extension(name.substr(dot + 1));
  FoldAsciiExtension(extension);
  return IsBuiltIn(extension) || std::binary_search(more.begin(), more.end(), extension);
}

std::vector<std::string> ParseVideoExtensions(std::string_view text) {
  // Blanks, tabs, commas and dots are never the second byte of a code page
  // 932 character, nor part of a UTF-8 one, so the text is split bytewise.
  std::vector<std::string> extensions;
  size_t begin = 0;
  while (begin <= text.size()) {
    const size_t end = std::min(text.find_first_of(" \t,", begin), text.size());
    std::string_view piece = text.substr(begin, end - begin);
    begin = end + 1;
    if (!piece.empty() && piece.front() == '.') piece.remove_prefix(1);
    if (piece.empty() || piece.find('.') != std::string_view::npos) continue;
    std::string extension(piece);
    FoldAsciiExtension(extension);
    if (!IsBuiltIn(extension)) extensions.push_back(std::move(extension));
  }
  std::sort(extensions.begin(), extensions.end());
  extensions.erase(std::unique(extensions.begin(), extensions.end()), extensions.end());
  return extensions;
}

std::vector<std::string> ListedVideoExtensions() {
  return ParseVideoExtensions(ReadConfigString(schema::kVideoSection, schema::kExtensionsKey, ""));
}

std::vector<std::string> FindVideoFiles(const std::string& Folder,
                                        const std::vector<std::string>& more) {
  std::vector<std::string> names;
  platform::DirReader reader;
  if (!reader.Open(Folder)) return names;
  while (reader.Next()) {
    const std::string_view name(reader.Name(), reader.NameLength());
    if (name == "." || name == "..") continue;
    if (IsVideoName(name, more)) names.emplace_back(name);
  }
  return names;
}

}  // namespace vistrune
