// State shared by the windows for the whole run (AppPath, the program folder,
// is declared with the configuration layer that uses it).
#pragma once

#include <cstdint>
#include <string>

#include "config/config.h"

namespace vistrune {

// The folder-list entry that stands for the program folder: the program
// folder's last component. Empty until the start-up walk has reported it.
extern std::string HomeFolderName;

// The fixed-folder count read once at start-up.
extern int32_t FixedFolderCount;

}  // namespace vistrune
