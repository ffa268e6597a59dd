// The videos of every folder of the folder list, for finding one by name as
// the user types: gathered folder by folder on a thread of its own, from the
// start-up walk's reads while it runs, handed to the window's thread in
// batches, searched there.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "config/config.h"
#include "library/background_work.h"
#include "library/startup_walk.h"

namespace vistrune {

// Turns a narrow text holding more than ASCII into the form in which the
// search compares texts, as UTF-8 (the windows fold letter case, width and
// kana with the platform's Unicode data). An ASCII text compares as itself
// with its capitals made small, which is what such a fold gives for it, so
// the fold is asked only for the others; it may give "" for one that folds
// so too. It may be called on any thread.
using SearchFold = std::function<std::string(std::string_view)>;

// Folders and their videos, packed: each text once, one after another, so
// that the index costs little beyond the bytes of the names it holds.
// A folder's videos keep the order of its names as given. The folders are
// searched in the folder list's order: by their entries as the list sorts
// them, those equal in that order as they were added, until SetRows gives
// the rows of the list itself.
class VideoIndex {
 public:
  // A found video: its folder and its place among all videos.
  struct Hit {
    uint32_t folder;
    uint32_t video;
    bool operator==(const Hit&) const = default;
  };

  size_t FolderCount() const { return folderCount_; }
  size_t VideoCount() const { return videoCount_; }
  // The row of the folder list the folder stands for, and its entry; the row
  // is -1 while it is not known.
  int Row(size_t folder) const;
  std::string_view Entry(size_t folder) const;
  std::string_view Name(size_t video) const;

  // Adds a folder with its videos (names, in their order; none adds nothing).
  void AddFolder(int row, std::string_view entry, const std::vector<std::string_view>& names,
                 const SearchFold& fold);
  // Adds the folders of more after this one's, each in its place in the
  // order. The texts are not copied together: Compact does that once.
  void Append(const VideoIndex& more);
  void Append(VideoIndex&& more);
  // Gives each folder whose row is not known the row of entries (the folder
  // list's entries, in its order) that holds its entry and no other folder's,
  // the first such; then orders the folders by their rows.
  void SetRows(const std::vector<std::string>& entries);
  void Clear();
  // Lays the folders out in one piece, in the order they are searched in
  // (they are numbered anew in that order), without room kept for growing.
  void Compact();

  // Adds to hits the videos of the folders from firstFolder on (in the
  // order they were added) for which every one of words (already folded)
  // occurs in the folder's entry, then a separator, then the video's name,
  // as folded; in the order of the folders, then in the order of the names.
  // No words find nothing.
  void Find(const std::vector<std::string>& words, size_t firstFolder,
            std::vector<Hit>& hits) const;
  // Merges more into hits, both in the order Find gives.
  void MergeHits(std::vector<Hit>& hits, const std::vector<Hit>& more) const;

 private:
  // Folders added together (a batch of the gathering, or all of them once
  // laid out), their texts packed, numbered from 0 within it.
  struct Pack {
    std::vector<int32_t> rows;
    std::string entries;
    std::vector<uint32_t> entryEnds;
    // Folded entries and names; empty for those that fold as ASCII does.
    std::string foldedEntries;
    std::vector<uint32_t> foldedEntryEnds;
    std::vector<uint32_t> folderVideoEnds;  // where each folder's videos end
    std::string names;
    std::vector<uint32_t> nameEnds;
    std::string foldedNames;
    std::vector<uint32_t> foldedNameEnds;

    size_t FolderCount() const { return folderVideoEnds.size(); }
    uint32_t FirstVideo(size_t folder) const {
      return folder == 0 ? 0 : folderVideoEnds[folder - 1];
    }
  };

  static std::string_view Piece(const std::string& text, const std::vector<uint32_t>& ends,
                                size_t i) {
    const uint32_t begin = i == 0 ? 0 : ends[i - 1];
    return std::string_view(text).substr(begin, ends[i] - begin);
  }
  // A folded text: kept only for the texts that need one, and its ends only
  // up to the last text that has one (most have none).
  static std::string_view FoldedPiece(const std::string& folded, const std::vector<uint32_t>& ends,
                                      size_t i) {
    return i < ends.size() ? Piece(folded, ends, i) : std::string_view();
  }
  // Adds the folded form of text i (none where it is empty).
  static void AddFolded(std::string& folded, std::vector<uint32_t>& ends, size_t i,
                        std::string_view piece);
  // Appends text's folded form to key: folded where the fold was needed,
  // else text with its ASCII capitals made small.
  static void AppendKey(std::string& key, std::string_view text, std::string_view folded);
  static void AddText(std::string& text, std::vector<uint32_t>& ends, std::string& folded,
                      std::vector<uint32_t>& foldedEnds, std::string_view piece,
                      const SearchFold& fold);
  // The pack that holds a folder, or a video, by its number.
  size_t PackOfFolder(size_t folder) const;
  size_t PackOfVideo(size_t video) const;
  void AddPack(Pack pack);
  // Every folder's entry, by its number.
  std::vector<std::string_view> Entries() const;
  // Puts the folders added since the last search in their places in
  // order_: sorting them as they come would cost every walk, searched or
  // not.
  void OrderNewFolders() const;
  void FindIn(const std::vector<std::string>& words, uint32_t folder, std::string& key,
              std::vector<std::string_view>& rest, std::vector<Hit>& hits) const;

  std::vector<Pack> packs_;
  // The number of the first folder and of the first video of each pack.
  std::vector<uint32_t> firstFolders_;
  std::vector<uint32_t> firstVideos_;
  size_t folderCount_ = 0;
  size_t videoCount_ = 0;
  // The folders in the order they are searched in: those added before the
  // last search, and those added since, once the next search orders them.
  mutable std::vector<uint32_t> order_;
};

// Gathers the videos of the folders of the folder list, on a thread of its
// own: each entry resolved as the lists resolve it, with the configuration
// file as it was when the gathering began, and each folder read as its
// listing reads it (the same extensions, not recursive, a folder that cannot
// be read adds nothing), its names in the file list's order. While the
// start-up walk runs, the folders it read come from its own reads, where
// they are what the listing would read; the rest (the fixed folders, the
// entries that resolve elsewhere, the folders the walk did not read) are
// read once the list is complete.
class VideoIndexBuild {
 public:
  // Begins with the folder list still being walked: AddWalked hands over
  // what the walk read, EndWalk the list once it is complete. Reads the
  // configuration file (AppPath, HomeFolderName as they are now).
  explicit VideoIndexBuild(SearchFold fold);
  // Begins with the folder list's entries, complete, in its order. Where no
  // thread can be had, the gathering is done here.
  VideoIndexBuild(std::vector<std::string> entries, SearchFold fold);
  // Stops a gathering still running (at its next folder) and waits for it.
  ~VideoIndexBuild();
  VideoIndexBuild(const VideoIndexBuild&) = delete;
  VideoIndexBuild& operator=(const VideoIndexBuild&) = delete;

  // The videos of folders the walk read.
  void AddWalked(WalkedVideos videos);
  // The walk has ended; entries are the folder list's, in its order.
  void EndWalk(std::vector<std::string> entries);

  // The folders gathered and not taken yet.
  VideoIndex TakeFound() { return work_.Take(); }
  // Calls ended once the gathering has ended: here and now if it already
  // has, else on the gathering's thread as it ends.
  void WhenEnded(std::function<void()> ended) { work_.WhenEnded(std::move(ended)); }
  // Once it has ended: waits for the thread and gives what the gathering
  // raised, if it raised.
  std::exception_ptr Finish() { return work_.Finish(); }

 private:
  void Gather();
  // Adds a folder's names, sorted as the file list sorts them, to batch.
  void AddFolder(int row, std::string_view entry, std::vector<std::string_view>& names);
  bool BatchFull() const;
  void HandOver();
  // Whether entry resolves to the folder of the walk it names: the program
  // folder for the home entry, else the program folder's path and the entry.
  bool ResolvesToWhatTheWalkRead(std::string_view entry) const;

  // Entries, each of which stands for one row of the list: found once each.
  class Entries {
   public:
    Entries(const std::string& text, const std::vector<size_t>& ends);
    bool Holds(std::string_view entry) const;
    // Whether entry is one not found before.
    bool Take(std::string_view entry);

   private:
    std::vector<std::string_view> entries_;  // sorted
    std::vector<bool> taken_;
  };
  // The fixed folders' display names in the configuration file (in
  // fixedText_).
  Entries FixedFolderNames();

  SearchFold fold_;
  ConfigSnapshot config_;
  std::string home_;
  std::string programFolder_;
  std::vector<std::string> extensions_;
  bool mapsEntries_;         // the configuration file maps some entry elsewhere
  bool gatherHere_ = false;  // no thread could be made: EndWalk gathers
  bool fromWalk_ = true;     // what the walk read needs no second reading
  std::string fixedText_;
  std::vector<size_t> fixedEnds_;
  VideoIndex batch_;                     // the gathering's own
  std::vector<std::string_view> names_;  // the gathering's own, from folder to folder
  std::atomic<bool> stop_{false};
  BackgroundWork<VideoIndex> work_;
  // Shared with the gathering's thread.
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<WalkedVideos> walked_;
  bool walkEnded_ = false;
  std::vector<std::string> entries_;
};

}  // namespace vistrune
