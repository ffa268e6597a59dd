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
#include <thread>
#include <vector>

#include "folder_walker/SearchFile.h"

namespace vistrune {

class StartupWalk {
 public:
  // Sets AppPath, the folder of executablePath, and begins walking it on a
  // thread of its own; where no thread can be had, WaitForHome walks.
  explicit StartupWalk(const std::string& executablePath);
  // Stops a walk still running (at its next folder) and waits for it.
  ~StartupWalk();
  StartupWalk(const StartupWalk&) = delete;
  StartupWalk& operator=(const StartupWalk&) = delete;

  // Waits for the walk's first report, the program folder's own, and gives
  // its entry (the home name); "" if the walk ended without it.
  std::string WaitForHome();

  // The entries found and not taken yet, one after another in one text, and
  // where each ends: the walk's thread then allocates once per many entries,
  // not once per entry.
  struct Found {
    std::string text;
    std::vector<size_t> ends;
    // The entries, as views into text.
    std::vector<std::string_view> Entries() const;
  };
  Found TakeFound();

  // Calls ended once the walk has ended: here and now if it already has,
  // else on the walk's thread as it ends.
  void WhenEnded(std::function<void()> ended);
  // The walk ends at its next folder; what it found so far stays.
  void Stop();
  // Once the walk has ended: waits for its thread and gives what the walk
  // raised, if it raised (only once).
  std::exception_ptr Finish();

  // Test seam: when set, runs on the walk's thread before each folder below
  // the program folder is reported, so that a test can hold the walk back.
  static inline std::function<void()> BeforeReport;

  TSearchDir SearchDir1;  // walks the program folder

 private:
  // Each folder the walk reports, on the walk's thread: keeps its entry.
  void SearchDir1Find(TSearchDir* Sender, const std::string& Name, const TSearchFileData& Data,
                      bool& IgnoreSubDir, bool& Continue);
  void Run();

  std::string windowsDirectory_;
  bool walkHere_ = false;  // no thread could be made: WaitForHome walks
  std::thread thread_;
  std::atomic<bool> stop_{false};
  // Shared with the walk's thread.
  std::mutex mutex_;
  std::condition_variable firstReport_;
  bool reported_ = false;  // the first report (or the end) has come
  bool ended_ = false;
  std::string home_;  // the program folder's entry, from the first report
  Found found_;
  std::exception_ptr error_;  // what ended the walk, if it raised
  std::function<void()> whenEnded_;
};

}  // namespace vistrune
