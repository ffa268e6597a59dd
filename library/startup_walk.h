// The start-up walk of the program folder, which fills the folder list. It
// is begun first thing, on a thread of its own, so that it runs while the
// program is still starting and its windows are made; for each folder it
// reports it keeps the folder list's entry, and the main window takes them
// over in batches.
#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "folder_walker/SearchFile.h"
#include "library/background_work.h"

namespace vistrune {

// The videos of folders the walk read, each with the folder-list entry that
// stands for it, packed into one text as they came: the walk's thread then
// allocates once per many folders, not once per folder.
class WalkedVideos {
 public:
  struct Folder {
    std::string_view entry;
    // The entry stands for the folder read as the lists resolve an entry by
    // default: the home entry for the program folder, the program folder's
    // path and the entry for a folder below it. Where that is not so (or a
    // mapping in the configuration file says otherwise) the names are not
    // those a listing of the entry shows.
    bool plain;
    // Whether the walk read the folder; a folder it read without videos comes
    // with none of these, so only one it reported but did not read comes
    // with read false.
    bool read;
    // The names, in the platform's order, each followed by a NUL byte.
    std::string_view names;
  };

  void Add(std::string_view entry, bool plain, bool read, std::string_view names);
  // Adds the folders of more after these.
  void Append(WalkedVideos&& more);
  size_t Count() const { return records_.size(); }
  Folder operator[](size_t i) const;

 private:
  struct Record {
    size_t entryEnd;
    size_t namesEnd;
    bool plain;
    bool read;
  };
  std::string text_;
  std::vector<Record> records_;
};

class StartupWalk {
 public:
  // Sets AppPath, the folder of executablePath, and begins walking it on a
  // thread of its own; where no thread can be had, WaitForHome walks. The
  // walk keeps each folder's videos unless told not to (to measure what
  // keeping them costs).
  explicit StartupWalk(const std::string& executablePath, bool keepVideos = true);
  // Stops a walk still running (at its next folder) and waits for it.
  ~StartupWalk();
  StartupWalk(const StartupWalk&) = delete;
  StartupWalk& operator=(const StartupWalk&) = delete;

  // Waits for the walk's first report, the program folder's own, and gives
  // its entry (the home name); "" if the walk ended without it.
  std::string WaitForHome();

  // The entries found and not taken yet, one after another in one text, and
  // where each ends: the walk's thread then allocates once per many entries,
  // not once per entry. With them, the videos of the folders read since
  // (from the same reads: the walk keeps each folder's names with a video
  // extension, as the configuration file gave them once the program
  // folder's entry was reported), and the folders reported but not read.
  struct Found {
    std::string text;
    std::vector<size_t> ends;
    WalkedVideos videos;
    // The entries, as views into text.
    std::vector<std::string_view> Entries() const;
  };
  Found TakeFound() { return work_.Take(); }

  // Calls ended once the walk has ended: here and now if it already has,
  // else on the walk's thread as it ends.
  void WhenEnded(std::function<void()> ended) { work_.WhenEnded(std::move(ended)); }
  // The walk ends at its next folder; what it found so far stays.
  void Stop();
  // Once the walk has ended: waits for its thread and gives what the walk
  // raised, if it raised (only once).
  std::exception_ptr Finish() { return work_.Finish(); }

  // Test seam: when set, runs on the walk's thread before each folder below
  // the program folder is reported, so that a test can hold the walk back.
  static inline std::function<void()> BeforeReport;

  TSearchDir SearchDir1;  // walks the program folder

 private:
  // Each folder the walk reports, on the walk's thread: keeps its entry.
  void SearchDir1Find(TSearchDir* Sender, const std::string& Name, const TSearchFileData& Data,
                      bool& IgnoreSubDir, bool& Continue);
  // The videos of each folder the walk read, on the walk's thread.
  void SearchDir1Files(TSearchDir* Sender, const std::string& Folder, std::string& Names,
                       bool Read);
  void Walk();

  std::string windowsDirectory_;
  // The extensions beyond the four, read on the walk's thread before the
  // first folder is read and only read after that.
  std::vector<std::string> extensions_;
  bool walkHere_ = false;  // no thread could be made: WaitForHome walks
  std::atomic<bool> stop_{false};
  BackgroundWork<Found> work_;
  // Shared with the walk's thread.
  std::mutex mutex_;
  std::condition_variable firstReport_;
  bool reported_ = false;  // the first report (or the end) has come
  std::string home_;       // the program folder's entry, from the first report
};

}  // namespace vistrune
