// The videos of every folder of the folder list, for finding one by name as
// the user types: gathered folder by folder on a thread of its own after the
// start-up walk, handed to the window's thread in batches, searched there.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "config/config.h"

namespace vistrune {

// Turns a narrow text holding more than ASCII into the form in which the
// search compares texts, as UTF-8 (the windows fold letter case, width and
// kana with the platform's Unicode data). An ASCII text compares as itself
// with its capitals made small, which is what such a fold gives for it, so
// the fold is asked only for the others. It may be called on any thread.
using SearchFold = std::function<std::string(std::string_view)>;

// Folders and their videos, packed: each text once, one after another, so
// that the index costs little beyond the bytes of the names it holds.
// Folders keep the order they were added in, a folder's videos the order of
// its names as given.
class VideoIndex {
 public:
  // A found video: its folder and its place among all videos.
  struct Hit {
    uint32_t folder;
    uint32_t video;
  };

  size_t FolderCount() const { return folderVideoEnds_.size(); }
  size_t VideoCount() const { return nameEnds_.size(); }
  // The row of the folder list the folder was added from, and its entry.
  int Row(size_t folder) const { return static_cast<int>(rows_[folder]); }
  std::string_view Entry(size_t folder) const { return Piece(entries_, entryEnds_, folder); }
  std::string_view Name(size_t video) const { return Piece(names_, nameEnds_, video); }

  // Adds a folder with its videos (names, in their order; none adds nothing).
  void AddFolder(int row, std::string_view entry, const std::vector<std::string>& names,
                 const SearchFold& fold);
  // Adds the folders of more after this one's.
  void Append(const VideoIndex& more);
  void Clear();
  // Gives back the room kept for growing.
  void Compact();

  // Adds to hits the videos of the folders from firstFolder on for which
  // every one of words (already folded) occurs in the folder's entry, then
  // a separator, then the video's name, as folded; in folder order, then in
  // the order of the names. No words find nothing.
  void Find(const std::vector<std::string>& words, size_t firstFolder,
            std::vector<Hit>& hits) const;

 private:
  static std::string_view Piece(const std::string& text, const std::vector<uint32_t>& ends,
                                size_t i) {
    const uint32_t begin = i == 0 ? 0 : ends[i - 1];
    return std::string_view(text).substr(begin, ends[i] - begin);
  }
  // Appends text's folded form to key: folded where the fold was needed,
  // else text with its ASCII capitals made small.
  static void AppendKey(std::string& key, std::string_view text, std::string_view folded);
  static void AddText(std::string& text, std::vector<uint32_t>& ends, std::string& folded,
                      std::vector<uint32_t>& foldedEnds, std::string_view piece,
                      const SearchFold& fold);

  std::vector<uint32_t> rows_;
  std::string entries_;
  std::vector<uint32_t> entryEnds_;
  // Folded entries and names; empty for those that fold as ASCII does.
  std::string foldedEntries_;
  std::vector<uint32_t> foldedEntryEnds_;
  std::vector<uint32_t> folderVideoEnds_;  // where each folder's videos end
  std::string names_;
  std::vector<uint32_t> nameEnds_;
  std::string foldedNames_;
  std::vector<uint32_t> foldedNameEnds_;
};

// Gathers the videos of the folders the entries stand for, on a thread of
// its own: each entry resolved as the lists resolve it, with the
// configuration file as it was when the gathering began, and each folder
// read as its listing reads it (the same extensions, not recursive, a folder
// that cannot be read adds nothing), its names in the file list's order.
class VideoIndexBuild {
 public:
  // Begins with the folder list's entries, in its order; reads the
  // configuration file (AppPath, HomeFolderName as they are now). Where no
  // thread can be had, the gathering is done here.
  VideoIndexBuild(std::vector<std::string> entries, SearchFold fold);
  // Stops a gathering still running (at its next folder) and waits for it.
  ~VideoIndexBuild();
  VideoIndexBuild(const VideoIndexBuild&) = delete;
  VideoIndexBuild& operator=(const VideoIndexBuild&) = delete;

  // The folders gathered and not taken yet.
  VideoIndex TakeFound();
  // Calls ended once the gathering has ended: here and now if it already
  // has, else on the gathering's thread as it ends.
  void WhenEnded(std::function<void()> ended);
  // Once it has ended: waits for the thread and gives what the gathering
  // raised, if it raised.
  std::exception_ptr Finish();

 private:
  void Run();

  std::vector<std::string> entries_;
  SearchFold fold_;
  ConfigSnapshot config_;
  std::string home_;
  std::string programFolder_;
  std::vector<std::string> extensions_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  // Shared with the gathering's thread.
  std::mutex mutex_;
  VideoIndex found_;
  bool ended_ = false;
  std::exception_ptr error_;
  std::function<void()> whenEnded_;
};

}  // namespace vistrune
