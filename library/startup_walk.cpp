#include "library/startup_walk.h"

#include <string_view>
#include <system_error>
#include <utility>

#include "library/folder_paths.h"
#include "library/shared_state.h"
#include "platform/paths.h"

namespace vistrune {

StartupWalk::StartupWalk(const std::string& executablePath) {
  AppPath = FolderOf(executablePath);
  windowsDirectory_ = WindowsDirectory();
  SearchDir1.BaseDir = AppPath;
  // Its handler keeps each folder's name and nothing of its data.
  SearchDir1.NamesOnly = true;
  SearchDir1.OnFind = [this](TSearchDir* Sender, const std::string& Name,
                             const TSearchFileData& Data, bool& IgnoreSubDir, bool& Continue) {
    SearchDir1Find(Sender, Name, Data, IgnoreSubDir, Continue);
  };
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    walkHere_ = true;
  }
}

StartupWalk::~StartupWalk() {
  Stop();
  if (thread_.joinable()) thread_.join();
}

// Runs on the walk's thread. The home name is kept by the first report,
// before WaitForHome, which waits for that report, reads it.
void StartupWalk::SearchDir1Find(TSearchDir*, const std::string& Name, const TSearchFileData&,
                                 bool& IgnoreSubDir, bool& Continue) {
  IgnoreSubDir = Name == windowsDirectory_;
  // The entry is the name without the program folder's path (where it holds
  // it), or the home name for the program folder itself.
  std::string_view before = Name, after;
  bool listed = true;
  if (Name != AppPath) {
    if (BeforeReport) BeforeReport();
    const size_t at = Name.find(AppPath);
    if (at != std::string::npos) {
      before = before.substr(0, at);
      after = std::string_view(Name).substr(at + AppPath.size());
    }
  } else if (platform::EndsWithDelimiter(Name)) {
    home_ = HomeFolderNameOf(Name);
    before = home_;
  } else {
    listed = false;
  }
  // The window is closing or the program ending: the walk ends here.
  if (stop_.load()) {
    Continue = false;
    return;
  }
  bool first;
  {
    const std::lock_guard lock(mutex_);
    if (listed) {
      found_.text.append(before).append(after);
      found_.ends.push_back(found_.text.size());
    }
    first = !reported_;
    reported_ = true;
  }
  if (first) firstReport_.notify_one();
}

void StartupWalk::Run() {
  std::exception_ptr error;
  try {
    SearchDir1.Search();
  } catch (...) {
    error = std::current_exception();
  }
  std::function<void()> ended;
  {
    const std::lock_guard lock(mutex_);
    error_ = error;
    reported_ = true;
    ended_ = true;
    ended.swap(whenEnded_);
  }
  firstReport_.notify_one();
  if (ended) ended();
}

std::string StartupWalk::WaitForHome() {
  if (walkHere_) {
    walkHere_ = false;
    Run();
  }
  std::unique_lock lock(mutex_);
  firstReport_.wait(lock, [this] { return reported_; });
  return home_;
}

std::vector<std::string_view> StartupWalk::Found::Entries() const {
  std::vector<std::string_view> entries;
  entries.reserve(ends.size());
  size_t begin = 0;
  for (const size_t end : ends) {
    entries.emplace_back(text.data() + begin, end - begin);
    begin = end;
  }
  return entries;
}

StartupWalk::Found StartupWalk::TakeFound() {
  Found taken;
  const std::lock_guard lock(mutex_);
  std::swap(taken, found_);
  return taken;
}

void StartupWalk::WhenEnded(std::function<void()> ended) {
  {
    const std::lock_guard lock(mutex_);
    if (!ended_) {
      whenEnded_ = std::move(ended);
      return;
    }
  }
  ended();
}

void StartupWalk::Stop() {
  stop_ = true;
}

std::exception_ptr StartupWalk::Finish() {
  if (thread_.joinable()) thread_.join();
  std::exception_ptr error;
  const std::lock_guard lock(mutex_);
  std::swap(error, error_);
  return error;
}

}  // namespace vistrune
