#include "library/startup_walk.h"

#include <string_view>

#include "library/folder_paths.h"
#include "library/shared_state.h"
#include "platform/paths.h"

namespace vistrune {

namespace {

// The folder-list entry of a folder the walk reports below the program
// folder: its name without the program folder's path, where it holds it.
// plain tells whether it held it at its beginning, so that the entry
// resolves to the folder by default.
std::string_view EntryOf(std::string_view name, std::string& joined, bool& plain) {
  const size_t at = name.find(AppPath);
  plain = at == 0;
  if (at == std::string_view::npos) return name;
  if (plain) return name.substr(AppPath.size());
  joined.assign(name.substr(0, at)).append(name.substr(at + AppPath.size()));
  return joined;
}

}  // namespace

StartupWalk::StartupWalk(const std::string& executablePath, bool keepVideos) {
  AppPath = FolderOf(executablePath);
  windowsDirectory_ = WindowsDirectory();
  SearchDir1.BaseDir = AppPath;
  // Its handler keeps each folder's name and nothing of its data.
  SearchDir1.NamesOnly = true;
  SearchDir1.OnFind = [this](TSearchDir* Sender, const std::string& Name,
                             const TSearchFileData& Data, bool& IgnoreSubDir, bool& Continue) {
    SearchDir1Find(Sender, Name, Data, IgnoreSubDir, Continue);
  };
  // The videos of each folder come from the read that finds its sub-folders.
  if (keepVideos)
    SearchDir1.KeepEntry = [this](std::string_view name) { return IsVideoName(name, extensions_); };
  SearchDir1.OnFiles = [this](TSearchDir* Sender, const std::string& Folder, std::string& Names,
                              bool Read) { SearchDir1Files(Sender, Folder, Names, Read); };
  walkHere_ = !work_.Begin([this] { Walk(); });
}

StartupWalk::~StartupWalk() {
  Stop();
  work_.Finish();
}

// Runs on the walk's thread. The home name is kept by the first report,
// before WaitForHome, which waits for that report, reads it.
void StartupWalk::SearchDir1Find(TSearchDir*, const std::string& Name, const TSearchFileData&,
                                 bool& IgnoreSubDir, bool& Continue) {
  IgnoreSubDir = Name == windowsDirectory_;
  std::string_view entry;
  std::string joined;
  bool listed = true, plain;
  if (Name != AppPath) {
    if (BeforeReport) BeforeReport();
    entry = EntryOf(Name, joined, plain);
  } else if (platform::EndsWithDelimiter(Name)) {
    home_ = HomeFolderNameOf(Name);
    entry = home_;
    // The program folder is reported before any folder is read: the
    // extensions its videos have are read now, and the window, which waits
    // for this report, is not held up by the file.
    extensions_ = ListedVideoExtensions();
  } else {
    listed = false;
  }
  // The window is closing or the program ending: the walk ends here.
  if (stop_.load()) {
    Continue = false;
    return;
  }
  if (listed) {
    work_.Add([entry](Found& found) {
      found.text.append(entry);
      found.ends.push_back(found.text.size());
    });
  }
  bool first;
  {
    const std::lock_guard lock(mutex_);
    first = !reported_;
    reported_ = true;
  }
  if (first) firstReport_.notify_one();
}

void WalkedVideos::Add(std::string_view entry, bool plain, bool read, std::string_view names) {
  text_.append(entry);
  const size_t entryEnd = text_.size();
  text_.append(names);
  records_.push_back({entryEnd, text_.size(), plain, read});
}

void WalkedVideos::Append(WalkedVideos&& more) {
  if (records_.empty()) {
    std::swap(*this, more);
    return;
  }
  const size_t offset = text_.size();
  text_ += more.text_;
  records_.reserve(records_.size() + more.records_.size());
  for (Record record : more.records_) {
    record.entryEnd += offset;
    record.namesEnd += offset;
    records_.push_back(record);
  }
  more = {};
}

WalkedVideos::Folder WalkedVideos::operator[](size_t i) const {
  const size_t begin = i == 0 ? 0 : records_[i - 1].namesEnd;
  const Record& record = records_[i];
  const std::string_view text(text_);
  return {text.substr(begin, record.entryEnd - begin), record.plain, record.read,
          text.substr(record.entryEnd, record.namesEnd - record.entryEnd)};
}

void StartupWalk::SearchDir1Files(TSearchDir*, const std::string& Folder, std::string& Names,
                                  bool Read) {
  // Most folders hold no video: those cost nothing more.
  if (Read && Names.empty()) return;
  std::string_view entry;
  std::string joined;
  bool plain = true;
  if (Folder == AppPath) {
    entry = home_;
  } else {
    // The folder as the walk reported it, without the separator it ends in.
    entry = EntryOf(std::string_view(Folder).substr(0, Folder.size() - 1), joined, plain);
  }
  work_.Add([&](Found& found) { found.videos.Add(entry, plain, Read, Names); });
}

void StartupWalk::Walk() {
  // The first report, or the end of a walk that made none, lets WaitForHome
  // go on, whatever way the walk ends.
  struct EndReports {
    StartupWalk& walk;
    ~EndReports() {
      {
        const std::lock_guard lock(walk.mutex_);
        walk.reported_ = true;
      }
      walk.firstReport_.notify_one();
    }
  } endReports{*this};
  SearchDir1.Search();
}

std::string StartupWalk::WaitForHome() {
  if (walkHere_) {
    walkHere_ = false;
    work_.Run([this] { Walk(); });
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

void StartupWalk::Stop() {
  stop_ = true;
}

}  // namespace vistrune
