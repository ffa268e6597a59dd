// Turning folder-list entries back into folders, and finding the videos in a
// folder. No window is involved, so these are tested on their own.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "config/config.h"

namespace vistrune {

// The folders the program walks are shown relative to the program folder,
// the program folder itself under its own name, fixed folders under their
// display names. This gives the folder an entry stands for, ending in the
// separator: AppPath for the home entry, else the entry's "Name2" mapping in
// the configuration file (read afresh each time), else Default.
std::string ResolveFolderPath(const std::string& Entry, const std::string& Default);
// The same with the configuration file as config read it, and the home
// entry and program folder given: for work away from the window's thread.
std::string ResolveFolderPath(const std::string& Entry, const std::string& Default,
                              const ConfigSnapshot& config, const std::string& home,
                              const std::string& programFolder);

// path cut after its last folder delimiter ("/a/b/vistrune" gives "/a/b/");
// "" when it has none.
std::string FolderOf(const std::string& path);

// The last component of the program folder, which ends in a separator
// ("/videos/My.Clips/" gives "My.Clips"; a root folder gives "").
std::string HomeFolderNameOf(const std::string& programFolder);

// The video extensions listed in text, beyond avi, wmv, mpg and mpeg:
// pieces separated by blanks, tabs or commas (".mp4 .mkv", "mp4,MKV"), each
// with or without its leading dot. ASCII letters are folded to small ones in
// an extension that is all ASCII; one holding other characters is kept as it
// is, since folding bytes there could make two different characters equal
// (in code page 932 a second byte may be an ASCII letter). Dropped: empty
// pieces, pieces with a dot after the first (no extension holds one),
// repeats and the four. Sorted, without dots: what FindVideoFiles takes.
std::vector<std::string> ParseVideoExtensions(std::string_view text);

// The extensions the configuration file lists now, in its [Video] section
// (ParseVideoExtensions of Extensions=; none when the key is missing). Read
// afresh each time, so a change takes effect at the next listing.
std::vector<std::string> ListedVideoExtensions();

// Whether name's extension, the text after its last dot, is avi, wmv, mpg
// or mpeg, or one of more (as ParseVideoExtensions gives them), letter case
// ignored as there.
bool IsVideoName(std::string_view name, const std::vector<std::string>& more);

// The names in Folder (which ends in a separator) that IsVideoName takes
// with more. Hidden entries and folders with such names count too. A folder that is missing or
// cannot be read gives no names.
std::vector<std::string> FindVideoFiles(const std::string& Folder,
                                        const std::vector<std::string>& more = {});

}  // namespace vistrune
