// What the folder list is made of, without the list itself: the fixed
// folders as the configuration file names them, and where the entries the
// start-up walk finds go among those already listed.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "config/config.h"

namespace vistrune {

// Hands add each of the count fixed folders of config, in the file's
// order: its path (a line after the count line) and its display name (its
// key in [Name], else the path itself). A line that is missing raises the
// list-index error of that line, after the pairs before it were added. The
// main window and the settings window both load them so.
void LoadFixedFolders(
    const ConfigSnapshot& config, int32_t count,
    const std::function<void(const std::string& path, const std::string& name)>& add);

// The order of the folder list, which is sorted (CaselessLess), with the
// tie rules a list filled one entry at a time would follow: a walked entry
// goes after the entries equal to it but for letter case that the walk
// found earlier, and before the fixed folders' (which were added after the
// walk's first entries).
class FolderListOrder {
 public:
  // A fixed folder's display name has joined the list.
  void AddFixed(const std::string& name);
  // Where each of a batch of walked entries goes in items, the list's
  // entries as they are now: rows of items as they are, ascending. Sorts batch. Linear in the
  // batch, and logarithmic in the list for each entry.
  std::vector<std::pair<int, std::string_view>> PlaceWalked(
      const std::vector<std::string>& items, std::vector<std::string_view>& batch) const;

 private:
  std::vector<std::string> fixedNames_;  // sorted
};

// What the folder list stands for, without the list: the home entry, the
// entries the start-up walk found and the fixed folders' display names, in
// the list's order (sorted, CaselessLess, with FolderListOrder's tie rules).
// The main window owns it; the list that holds the folders in its style
// shows these entries.
class FolderLibrary {
 public:
  // Each stands for the folder ResolveFolderPath gives for it.
  const std::vector<std::string>& Entries() const { return entries_; }

  // The fixed folders' display names join, each after the entries already
  // here that sort equal to it.
  void AddFixed(std::vector<std::string> names);
  // The entries of a batch the walk found join, each in its place; gives
  // the rows of the entries as they were before which each went (ascending).
  // Linear in the batch and the list.
  std::vector<int> AddWalked(std::vector<std::string_view>& batch);

 private:
  std::vector<std::string> entries_;
  FolderListOrder order_;
};

}  // namespace vistrune
