// Turning folder-list entries back into folders, and finding the videos in a
// folder. No window is involved, so these are tested on their own.
#pragma once

#include <string>
#include <vector>

namespace vistrune {

// The folders the program walks are shown relative to the program folder,
// the program folder itself under its own name, fixed folders under their
// display names. This gives the folder an entry stands for, ending in the
// separator: AppPath for the home entry, else the entry's "Name2" mapping in
// the configuration file (read afresh each time), else Default.
std::string ResolveFolderPath(const std::string& Entry, const std::string& Default);

// path cut after its last folder delimiter ("/a/b/vistrune" gives "/a/b/");
// "" when it has none.
std::string FolderOf(const std::string& path);

// The last component of the program folder, which ends in a separator
// ("/videos/My.Clips/" gives "My.Clips"; a root folder gives "").
std::string HomeFolderNameOf(const std::string& programFolder);

// The names in Folder (which ends in a separator) whose extension, the text
// after the last dot, is avi, wmv, mpg or mpeg in any letter case. Hidden
// entries and folders with such names count too. A folder that is missing or
// cannot be read gives no names.
std::vector<std::string> FindVideoFiles(const std::string& Folder);

}  // namespace vistrune
