#include "folder_walker/SearchFile.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <functional>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#ifndef VISTRUNE_NO_WALK_THREADS
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#endif

#include "platform/dir_reader.h"
#include "platform/paths.h"

namespace vistrune {

namespace search_file_internal {

namespace {

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {  // days since 1970-01-01
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

constexpr int64_t kDaysFrom1899To1970 = 25569;  // 1899-12-30 to 1970-01-01

unsigned DaysInMonth(unsigned year, unsigned month) {
  static constexpr unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

bool DosDateTimeToDateTime(uint32_t DosDateTime, TDateTime& DateTime) {
  const unsigned year = (DosDateTime >> 25) + 1980;
  const unsigned month = (DosDateTime >> 21) & 0x0F;
  const unsigned day = (DosDateTime >> 16) & 0x1F;
  const unsigned hour = (DosDateTime >> 11) & 0x1F;
  const unsigned minute = (DosDateTime >> 5) & 0x3F;
  const unsigned second = (DosDateTime & 0x1F) * 2;
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
  if (hour >= 24 || minute >= 60 || second >= 60) return false;
  const double date = static_cast<double>(DaysFromCivil(year, month, day) + kDaysFrom1899To1970);
  const double time =
      static_cast<double>((hour * 3600u + minute * 60u + second) * 1000u) / 86400000.0;
  DateTime = date + time;
  return true;
}

void FileTimeToDateTime(uint64_t FileTime, bool& Valid, TDateTime& DateTime) {
  platform::FileTime local;
  uint16_t dosDate, dosTime;
  if (!platform::UtcToLocalFileTime(FileTime, local) ||
      !platform::LocalFileTimeToDosDateTime(local, dosDate, dosTime)) {
    Valid = false;
    return;
  }
  Valid = DosDateTimeToDateTime((static_cast<uint32_t>(dosDate) << 16) | dosTime, DateTime);
}

bool IsSubFolderEntry(uint32_t Attributes, const char* Name) {
  if ((Attributes & platform::kAttrDirectory) == 0) return false;
  return std::strcmp(Name, ".") != 0 && std::strcmp(Name, "..") != 0;
}

#ifndef VISTRUNE_NO_WALK_THREADS
namespace {
std::atomic<bool> everyReadSlow{false};
}  // namespace
#endif

void CountEveryReadAsSlow([[maybe_unused]] bool every) {
#ifndef VISTRUNE_NO_WALK_THREADS
  everyReadSlow.store(every, std::memory_order_relaxed);
#endif
}

}  // namespace search_file_internal

namespace {

using search_file_internal::FileTimeToDateTime;
using search_file_internal::IsSubFolderEntry;

constexpr size_t kMaxLongName = 260;
constexpr size_t kMaxShortName = 14;

// A name up to its first NUL byte, at most limit bytes.
void AssignName(std::string& target, const char* name, size_t length, size_t limit) {
  const void* nul = std::memchr(name, '\0', length);
  if (nul) length = static_cast<size_t>(static_cast<const char*>(nul) - name);
  target.assign(name, length < limit ? length : limit);
}

void FillAttributes(uint32_t attributes, TSearchFileData& data) {
  data.IsDirectory = (attributes & platform::kAttrDirectory) != 0;
  data.IsReadOnly = (attributes & platform::kAttrReadOnly) != 0;
  data.IsHidden = (attributes & platform::kAttrHidden) != 0;
  data.IsSystem = (attributes & platform::kAttrSystem) != 0;
  data.Reserved = false;
  data.IsArchive = (attributes & platform::kAttrArchive) != 0;
}

// The names of an entry when the platform gives no short name: ShortName is
// LongName.
void FillNames(const char* name, size_t length, TSearchFileData& data) {
  AssignName(data.LongName, name, length, kMaxLongName);
  data.ShortName = data.LongName;
}

// FillSearchFileData: one platform entry to the record. The short name is
// the platform's where it gives one (Windows' 8.3 name), else the long name.
void FillSearchFileData(const char* name, size_t length, const platform::EntryDetails& entry,
                        TSearchFileData& data) {
  FillNames(name, length, data);
  if (!entry.shortName.empty())
    AssignName(data.ShortName, entry.shortName.data(), entry.shortName.size(), kMaxShortName);
  data.Size = static_cast<int64_t>((static_cast<uint64_t>(entry.sizeHigh) << 32) | entry.sizeLow);
  // A time stamp that does not convert keeps 0, not the previous entry's.
  data.CreationTime = data.LastWriteTime = data.LastAccessTime = 0;
  data.CreationTimeValid = false;
  if (entry.creationTimeValid)
    FileTimeToDateTime(entry.creationTime, data.CreationTimeValid, data.CreationTime);
  data.LastWriteTimeValid = false;
  if (entry.lastWriteTimeValid)
    FileTimeToDateTime(entry.lastWriteTime, data.LastWriteTimeValid, data.LastWriteTime);
  data.LastAccessTimeValid = false;
  if (entry.lastAccessTimeValid)
    FileTimeToDateTime(entry.lastAccessTime, data.LastAccessTimeValid, data.LastAccessTime);
  FillAttributes(entry.attributes, data);
}

// The identities of the folders entered in one walk, each with its parent:
// the logical path from the start folder down to any folder. A walk that
// does not stat its sub-folders learns a folder's identity only when a link
// below it asks for it.
// Kept small: a walk holds one for every folder it entered.
struct FolderNode {
  platform::FileIdentity identity;
  uint32_t parent;
  // While not 0, identity is not known yet: the length of the folder's path
  // (without a trailing separator), to stat it when asked.
  uint32_t unknownPath;
};
constexpr uint32_t kNoParent = static_cast<uint32_t>(-1);

// Whether identity is that of node or of a folder on the path from the start
// folder down to it; folder is node's path, ending in the separator.
bool IsOnPath(std::vector<FolderNode>& nodes, size_t node, const std::string& folder,
              const platform::FileIdentity& identity) {
  for (; node != kNoParent; node = nodes[node].parent) {
    FolderNode& on = nodes[node];
    if (on.unknownPath != 0) {
      platform::EntryDetails details;
      if (platform::StatPath(folder.substr(0, on.unknownPath), details))
        on.identity = details.identity;
      on.unknownPath = 0;
    }
    if (on.identity == identity) return true;
  }
  return false;
}

// The folders kept open for their sub-folders, by node, from their listing
// until their last sub-folder is handed over to be opened. The sub-folders
// of one folder follow each other in the queue, all queued by then.
using KeptFolders = std::unordered_map<size_t, std::shared_ptr<platform::OpenFolder>>;

// The start folder as it is listed and as its sub-folders' names begin:
// ending in the separator. Its length decides whether the system takes the
// path.
std::string WithSeparator(std::string folder) {
  if (!platform::EndsWithDelimiter(folder)) folder += platform::kPathDelimiter;
  return folder;
}

// One sub-folder entry of a folder, as the walk reports it.
struct ListedEntry {
  std::string name;  // the entry's own name
  TSearchFileData data;
  platform::FileIdentity identity;
  bool identityKnown = false;  // not stat'ed: learnt when a link asks
  // A symbolic link whose target was stat'ed: entered only when the target
  // is not on the path from the start folder down to it.
  bool guardedLink = false;
};

// The reader's current entry, a sub-folder, to entry. Names only: a link is
// stat'ed still (for the guard), other entries not.
void ReadEntry(platform::DirReader& reader, bool namesOnly, ListedEntry& entry) {
  entry.name.assign(reader.Name(), reader.NameLength());
  platform::EntryDetails details;
  if ((!namesOnly || reader.IsLink()) && reader.Details(details)) {
    if (namesOnly) {
      entry.data = TSearchFileData{};
      FillNames(reader.Name(), reader.NameLength(), entry.data);
      FillAttributes(reader.Attributes(), entry.data);
    } else {
      FillSearchFileData(reader.Name(), reader.NameLength(), details, entry.data);
    }
    entry.identity = details.identity;
    entry.identityKnown = true;
    entry.guardedLink = reader.IsLink();
  } else {
    // Names only, or the entry went away between listing and stat: report
    // what the listing said.
    entry.data = TSearchFileData{};
    FillNames(reader.Name(), reader.NameLength(), entry.data);
    FillAttributes(reader.Attributes(), entry.data);
    entry.identity = {};
    entry.identityKnown = !namesOnly;
    entry.guardedLink = false;
  }
}

// What a walk keeps of the entries beside the sub-folders: none, or those
// that keep accepts.
using EntryFilter = std::function<bool(std::string_view)>;

// The reader's current entry joins files, followed by a NUL, where the walk
// keeps entries and keep accepts it ("." and ".." never).
void KeepFile(const platform::DirReader& reader, const EntryFilter& keep, std::string& files) {
  if (!keep) return;
  const std::string_view name(reader.Name(), reader.NameLength());
  if (name != "." && name != ".." && keep(name)) files.append(name).push_back('\0');
}

// A folder to read: its path and the folder it is in, where that is kept
// open.
struct FolderToRead {
  std::string folder;  // ending in the separator
  std::shared_ptr<platform::OpenFolder> parent;
};

// After reading a folder that has sub-folders: the folder kept open for
// them, where one more may be held; else closed and none.
std::shared_ptr<platform::OpenFolder> KeepOpen(platform::DirReader& reader) {
  platform::OpenFolder kept = reader.Keep();
  if (!kept.Held()) return nullptr;
  return std::make_shared<platform::OpenFolder>(std::move(kept));
}

#ifndef VISTRUNE_NO_WALK_THREADS

// Reads the folders of the walk's queue ahead, in queue order, on a few
// threads. The walk hands over each folder as it joins the front part of the
// queue and takes the listings back in the same order. While the listing it
// needs next is not ready, the walk reads the next folder no reader has
// begun itself rather than wait: with the cache warm the readers then serve
// as extra processors, with it cold as many requests before the disk at once.
//
// Threads beyond one per processor besides the walk's own are started, and
// read, only while reads are slow (waiting on the disk or the share): with
// every folder in the cache they would only take turns on the processors and
// wait on each other. Each slow read gives them a few turns, so they multiply
// while the medium holds the walk up, up to the number asked for, and fall
// idle as soon as it no longer does. A thread waiting on the medium or for a
// turn uses no processor.
//
// At most a window of folders is handed over and not taken back, which
// bounds the memory the listings hold. Destroying it drops what is not read
// yet, cuts short the reads under way and waits for their threads.
class FolderReadAhead {
 public:
  FolderReadAhead(unsigned threads, bool namesOnly, const EntryFilter& keep)
      : namesOnly_(namesOnly), keep_(keep), slots_(std::max(size_t{64}, 4 * size_t{threads})) {
    const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
    const unsigned alwaysReading = std::min(threads, std::max(1u, processors - 1));
    // Counted before any reader runs, which read it under the lock only.
    extras_ = threads - alwaysReading;
    try {
      for (unsigned i = 0; i < alwaysReading; ++i)
        readers_.emplace_back([this] { ReadFolders(false); });
    } catch (const std::system_error&) {
      // Fewer threads than asked for; with none, Started() is false.
    }
    started_ = !readers_.empty();
    if (!started_) extras_ = 0;
    alwaysReading_ = readers_.size();
    window_.store(WindowFor(alwaysReading_), std::memory_order_relaxed);
  }

  ~FolderReadAhead() {
    cancel_.store(true, std::memory_order_relaxed);
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wakeReaders_.notify_all();
    wakeExtras_.notify_all();
    // No thread is started once stopping_ is set.
    for (std::thread& reader : readers_) reader.join();
  }

  FolderReadAhead(const FolderReadAhead&) = delete;
  FolderReadAhead& operator=(const FolderReadAhead&) = delete;

  bool Started() const { return started_; }

  // How many folders were handed over and not taken back yet: the first
  // that many of the walk's queue.
  size_t Handed() const { return handed_ - taken_; }
  // Whether to hand over more: the window is half empty. Handing over in
  // runs keeps the lock and the wake-ups few.
  bool WantsMore() const { return Handed() <= Window() / 2; }
  // How many folders may be handed over and not taken back: enough to keep
  // the readers started busy. It grows as readers start.
  size_t Window() const { return window_.load(std::memory_order_relaxed); }

  // Hands over the folders, in queue order, and clears the list.
  void Hand(std::vector<FolderToRead>& folders) {
    // The slots after the last handed over are free: the walk took their
    // listings back, and no reader looks at a slot before it is handed over.
    for (size_t i = 0; i < folders.size(); ++i) {
      Slot& slot = slots_[(handed_ + i) % slots_.size()];
      slot.toRead = std::move(folders[i]);
      slot.error = nullptr;
      slot.done.store(false, std::memory_order_relaxed);
    }
    size_t wake, wakeExtras = 0;
    {
      const std::lock_guard lock(mutex_);
      handed_ += folders.size();
      wake = std::min(idleReaders_, folders.size());
      wakeExtras = std::min({idleExtras_, extraTurns_, folders.size() - wake});
    }
    folders.clear();
    Notify(wakeReaders_, wake);
    Notify(wakeExtras_, wakeExtras);
  }

  // Takes the listing of the first folder handed over: its sub-folder
  // entries in the platform's order, the other entries kept (files), and the
  // folder kept open for them (or none), or false when it could not be
  // opened. While it is not read yet,
  // reads with reader the next folder no reader thread has begun, or waits
  // when there is none. The slot keeps no listing: only the folders in
  // flight hold memory for theirs, however many slots the ring has.
  bool Take(platform::DirReader& reader, std::vector<ListedEntry>& entries, std::string& files,
            std::shared_ptr<platform::OpenFolder>& kept) {
    Slot& slot = slots_[taken_ % slots_.size()];
    while (!slot.done.load(std::memory_order_acquire)) {
      std::unique_lock lock(mutex_);
      if (claimed_ < handed_) {
        Slot& other = slots_[claimed_++ % slots_.size()];
        lock.unlock();
        const bool slow = ReadSlot(reader, other, walkWatches_);
        // Only the walk looks at done; the readers only set it.
        other.done.store(true, std::memory_order_relaxed);
        if (slow) {
          lock.lock();
          GrantExtraTurns();
        }
      } else {
        waitingFor_ = taken_;
        takerWaits_ = true;
        readDone_.wait(lock, [&slot] { return slot.done.load(std::memory_order_relaxed); });
        takerWaits_ = false;
      }
    }
    ++taken_;
    entries = std::move(slot.entries);
    slot.entries = {};
    // The two buffers change places: each keeps its room for the next folder.
    files.swap(slot.files);
    kept = std::move(slot.kept);
    if (slot.error) std::rethrow_exception(slot.error);
    return slot.opened;
  }

 private:
  struct Slot {
    FolderToRead toRead;
    bool opened = false;
    std::vector<ListedEntry> entries;
    std::string files;                           // the other entries kept
    std::shared_ptr<platform::OpenFolder> kept;  // the folder, for its sub-folders
    std::exception_ptr error;                    // what reading raised (memory ran out)
    std::atomic<bool> done{false};
  };

  using Clock = std::chrono::steady_clock;
  // A read that takes longer than this for each of its system calls (open,
  // list, close, and each stat) waited on the medium: a folder in the cache
  // takes a few microseconds a call.
  static constexpr Clock::duration kSlowCall = std::chrono::microseconds(50);
  // On a cold disk about a third of the reads were slow here: four turns a
  // slow read keep every extra reader busy; one or two let them die out.
  static constexpr size_t kTurnsPerSlowRead = 4;

  // The window for that many readers: four folders each, at least 64, and
  // never more than the slots.
  size_t WindowFor(size_t readers) const {
    return std::min(slots_.size(), std::max(size_t{64}, 4 * readers));
  }

  // Wakes count of the threads waiting on threads, no more: those woken for
  // nothing would only wait again.
  static void Notify(std::condition_variable& threads, size_t count) {
    for (size_t i = 0; i < count; ++i) threads.notify_one();
  }

  // Under the lock: turns for the extra readers after a slow read, as many of
  // them woken as have a turn and a folder to read, and more started where
  // too few wait.
  void GrantExtraTurns() {
    extraTurns_ = std::min(extraTurns_ + kTurnsPerSlowRead, extras_);
    const size_t work = std::min(extraTurns_, handed_ - claimed_);
    Notify(wakeExtras_, std::min(work, idleExtras_));
    for (size_t start = work > idleExtras_ ? work - idleExtras_ : 0;
         start > 0 && startedExtras_ < extras_ && !stopping_; --start) {
      try {
        readers_.emplace_back([this] { ReadFolders(true); });
        ++startedExtras_;
        window_.store(WindowFor(alwaysReading_ + startedExtras_), std::memory_order_relaxed);
      } catch (const std::system_error&) {
        extras_ = startedExtras_;  // no more threads to be had: read with those there are
      }
    }
  }

  // Reads the folder of slot with reader, relative to the folder it is in
  // where that is held; true when the read was slow: it took long, and (where
  // the system tells) the thread waited meanwhile, so that a read on a busy
  // machine that was only preempted does not count. Asking whether it waits
  // costs two system calls, asked only of a thread whose last read took long
  // (watch, kept per thread): a read after a short one never counts as slow.
  bool ReadSlot(platform::DirReader& reader, Slot& slot, bool& watch) {
    static const bool systemTells = [] {
      uint64_t waits;
      return platform::ThreadWaits(waits);
    }();
    uint64_t waitsBefore = 0, waitsAfter = 0;
    const bool watched = watch && platform::ThreadWaits(waitsBefore);
    const Clock::time_point start = Clock::now();
    slot.entries.clear();
    slot.files.clear();
    try {
      slot.opened = reader.Open(slot.toRead.folder, slot.toRead.parent.get());
      slot.toRead.parent.reset();  // its last sub-folder opened, it closes
      while (slot.opened && !cancel_.load(std::memory_order_relaxed) && reader.Next()) {
        KeepFile(reader, keep_, slot.files);
        if (!IsSubFolderEntry(reader.Attributes(), reader.Name())) continue;
        slot.entries.emplace_back();
        ReadEntry(reader, namesOnly_, slot.entries.back());
      }
      if (!slot.entries.empty() && !cancel_.load(std::memory_order_relaxed))
        slot.kept = KeepOpen(reader);
    } catch (...) {
      slot.opened = false;
      slot.error = std::current_exception();
    }
    const size_t calls = 4 + reader.Stats();
    reader.Close();
    const bool took = Clock::now() - start > kSlowCall * static_cast<Clock::rep>(calls);
    watch = took && systemTells;
    const bool waited =
        !systemTells ||
        (watched && (!platform::ThreadWaits(waitsAfter) || waitsAfter != waitsBefore));
    return (took && waited) || search_file_internal::everyReadSlow.load(std::memory_order_relaxed);
  }

  // A reader thread's loop; an extra one reads only while reads are slow.
  void ReadFolders(bool extra) {
    platform::DirReader reader;
    reader.DetailsOfFoldersAhead(!namesOnly_);
    bool watch = false;  // see ReadSlot
    std::unique_lock lock(mutex_);
    for (;;) {
      while (!stopping_ && (claimed_ == handed_ || (extra && extraTurns_ == 0))) {
        ++(extra ? idleExtras_ : idleReaders_);
        (extra ? wakeExtras_ : wakeReaders_).wait(lock);
        --(extra ? idleExtras_ : idleReaders_);
      }
      if (stopping_) return;
      if (extra) --extraTurns_;
      const size_t number = claimed_++;
      Slot& slot = slots_[number % slots_.size()];
      lock.unlock();
      const bool slow = ReadSlot(reader, slot, watch);
      lock.lock();
      slot.done.store(true, std::memory_order_release);
      if (takerWaits_ && waitingFor_ == number) readDone_.notify_one();
      if (slow) GrantExtraTurns();
    }
  }

  const bool namesOnly_;
  const EntryFilter& keep_;
  // A ring of slots: the folder handed over n-th sits in slot n modulo its
  // size; the window, never larger, keeps a slot from being handed over
  // again before its listing was taken back.
  std::vector<Slot> slots_;
  std::atomic<size_t> window_{0};  // written under the lock, read by the walk
  size_t alwaysReading_ = 0;
  size_t taken_ = 0;          // listings taken back; the walk's own
  bool walkWatches_ = false;  // the walk's own, see ReadSlot
  std::mutex mutex_;
  std::condition_variable wakeReaders_;  // a folder was handed over, or stop
  std::condition_variable wakeExtras_;   // the same for the extra readers
  std::condition_variable readDone_;     // a folder's listing is complete
  size_t handed_ = 0;                    // folders handed over; written under the lock
  size_t claimed_ = 0;                   // folders a reader or the walk has begun
  size_t idleReaders_ = 0;               // readers waiting for a folder
  size_t extras_ = 0;                    // readers that read only on turns (at most)
  size_t startedExtras_ = 0;             // of those, started so far
  size_t idleExtras_ = 0;                // extra readers waiting
  size_t extraTurns_ = 0;                // folders the extra readers may begin
  bool takerWaits_ = false;              // the walk waits for folder waitingFor_
  size_t waitingFor_ = 0;
  bool stopping_ = false;
  bool started_ = false;              // a reader thread runs; the walk's own
  std::atomic<bool> cancel_{false};   // stopping_, read without the lock
  std::vector<std::thread> readers_;  // the extra ones added under the lock
};

#endif

}  // namespace

unsigned DefaultReadAheadThreads() {
#ifdef VISTRUNE_NO_WALK_THREADS
  return 0;
#else
  return 64;
#endif
}

void TSearchDir::DoFind(const std::string& Name, const TSearchFileData& Data, bool& IgnoreSubDir,
                        bool& Continue) {
  if (!OnFind) return;
  // The handler may assign or clear OnFind while it runs; keep the callable
  // that runs alive until it returns.
  TSearchDirEvent handler = OnFind;
  handler(this, Name, Data, IgnoreSubDir, Continue);
}

bool TSearchDir::Search() {
  // A walk already running, or no handler: nothing is walked.
  if (busy_) return false;
  if (!OnFind) return false;

  // The start path, and whether it exists (which also gives the
  // identity of the start folder for the link-cycle guard).
  std::string start;
  platform::ExpandPath(BaseDir, start);
  platform::EntryDetails startDetails;
  if (start.empty() || !platform::StatPath(start, startDetails)) return false;

  // Idle again on every way out.
  struct BusyGuard {
    bool& busy;
    explicit BusyGuard(bool& b) : busy(b) { busy = true; }
    ~BusyGuard() { busy = false; }
  } busyGuard(busy_);

  // A fresh queue, with the start folder as the root of the cycle guard.
  Queue.clear();
  bool Continue = true;
  const bool namesOnly = NamesOnly;
  // The entries kept beside the sub-folders, and who is given them.
  const TSearchFilesEvent onFiles = KeepEntry ? OnFiles : nullptr;
  const EntryFilter keepEntry = onFiles ? KeepEntry : nullptr;
  std::string files, none;
  // A folder reported that is not read, told where the walk keeps entries.
  auto notRead = [&](const std::string& folder) {
    if (!onFiles) return;
    none.clear();
    onFiles(this, folder, none, false);
  };
  std::vector<FolderNode> nodes;
  nodes.push_back({startDetails.identity, kNoParent, 0});
  // Closed on every way out; a stopped walk leaves its queue's paths only.
  KeptFolders kept;
  // The folder kept open that the queued folder at is in (none if none is),
  // no longer kept once its last sub-folder, the one at, is given out.
  auto parentOf = [&](size_t at) -> std::shared_ptr<platform::OpenFolder> {
    const uint32_t parent = nodes[Queue[at].Node].parent;
    const auto found = kept.find(parent);
    if (found == kept.end()) return nullptr;
    if (at + 1 < Queue.size() && nodes[Queue[at + 1].Node].parent == parent) return found->second;
    std::shared_ptr<platform::OpenFolder> last = std::move(found->second);
    kept.erase(found);
    return last;
  };
  // After listing the folder of node: keeps it open where a sub-folder was
  // queued.
  auto keep = [&](size_t node, std::shared_ptr<platform::OpenFolder> folder) {
    if (folder && !Queue.empty() && nodes[Queue.back().Node].parent == node)
      kept.emplace(node, std::move(folder));
  };

  // The start folder.
  {
    bool IgnoreSubDir = false;
    TSearchFileData data;
    std::string entryName;
    platform::EntryDetails entry;
    if (!namesOnly && platform::GetPathEntry(start, entryName, entry))
      FillSearchFileData(entryName.data(), entryName.size(), entry, data);
    DoFind(start, data, IgnoreSubDir, Continue);
    if (!Continue) return false;  // the handler stopped the walk
    if (!IgnoreSubDir) {
      Queue.push_back({WithSeparator(start), 0});
    } else {
      notRead(WithSeparator(start));
    }
  }

  // One sub-folder entry of folder reported; false when the handler stopped
  // the walk.
  auto report = [&](const std::string& folder, size_t parentNode, const ListedEntry& entry) {
    std::string name;
    name.reserve(folder.size() + entry.name.size() + 1);
    name.append(folder).append(entry.name);
    const bool enter = !entry.guardedLink || !IsOnPath(nodes, parentNode, folder, entry.identity);
    bool IgnoreSubDir = false;
    DoFind(name, entry.data, IgnoreSubDir, Continue);
    if (!Continue) return false;
    // An entry's name never ends in the separator: the folder as it is
    // listed and as its own sub-folders' names begin.
    name += platform::kPathDelimiter;
    if (!IgnoreSubDir && enter) {
      nodes.push_back({entry.identity, static_cast<uint32_t>(parentNode),
                       entry.identityKnown ? 0 : static_cast<uint32_t>(name.size() - 1)});
      Queue.push_back({std::move(name), nodes.size() - 1});
    } else {
      notRead(name);
    }
    return true;
  };

  // The folders read ahead: the front of the queue is handed to the
  // readers as it forms, and each folder's listing is taken back when its
  // turn comes. On the way out (end, stop, exception) the readers are cut
  // short and waited for; what they read and was not taken is dropped.
#ifndef VISTRUNE_NO_WALK_THREADS
  if (ReadAheadThreads > 0) {
    FolderReadAhead readAhead(ReadAheadThreads, namesOnly, keepEntry);
    if (readAhead.Started()) {
      platform::DirReader reader;
      reader.DetailsOfFoldersAhead(!namesOnly);
      std::vector<ListedEntry> listed;
      std::shared_ptr<platform::OpenFolder> listedFolder;
      std::vector<FolderToRead> toHand;
      while (!Queue.empty()) {
        if (readAhead.WantsMore()) {
          for (size_t i = readAhead.Handed(); i < Queue.size() && i < readAhead.Window(); ++i)
            toHand.push_back({Queue[i].Folder, parentOf(i)});
          readAhead.Hand(toHand);
        }
        const std::string folder = std::move(Queue.front().Folder);
        const size_t node = Queue.front().Node;
        Queue.pop_front();
        if (!readAhead.Take(reader, listed, files, listedFolder)) {
          // Gone, denied, too long: no entries.
          notRead(folder);
          continue;
        }
        for (const ListedEntry& entry : listed) {
          if (!report(folder, node, entry)) return false;  // the handler stopped the walk
        }
        if (onFiles) onFiles(this, folder, files, true);
        keep(node, std::move(listedFolder));
      }
      return true;  // the queue ran empty: the whole tree was walked
    }
  }
#endif

  // Each folder read when its turn comes. One reader, so at most one
  // directory is open besides those kept for the folders in them; its
  // destructor closes it when a handler's exception leaves Search.
  platform::DirReader reader;
  reader.DetailsOfFoldersAhead(!namesOnly);
  std::string folder;
  ListedEntry entry;
  while (!Queue.empty()) {
    folder = std::move(Queue.front().Folder);
    const size_t node = Queue.front().Node;
    const bool opened = reader.Open(folder, parentOf(0).get());
    Queue.pop_front();
    if (!opened) {
      // Gone, denied, too long: no entries.
      notRead(folder);
      continue;
    }

    files.clear();
    while (reader.Next()) {
      KeepFile(reader, keepEntry, files);
      if (!IsSubFolderEntry(reader.Attributes(), reader.Name())) continue;
      ReadEntry(reader, namesOnly, entry);
      if (!report(folder, node, entry)) return false;  // the handler stopped the walk
    }
    if (onFiles) onFiles(this, folder, files, true);
    // Kept open for the sub-folders, where it may be.
    if (!Queue.empty() && nodes[Queue.back().Node].parent == node)
      keep(node, KeepOpen(reader));
    else
      reader.Close();
  }
  return true;
}

std::string WindowsDirectory() {
  return platform::WindowsDirectoryPath();
}

}  // namespace vistrune
