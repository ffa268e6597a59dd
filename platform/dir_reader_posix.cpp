// dir_reader.h on POSIX. Linux reads directories with getdents64 and stats
// with statx (birth time); other POSIX systems, or a Linux build with
// VISTRUNE_FORCE_GENERIC_POSIX defined, use readdir and fstatat. A Win32
// implementation sits beside this file.
#ifndef _WIN32

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/dir_reader.h"

#if defined(__linux__) && !defined(VISTRUNE_FORCE_GENERIC_POSIX)
#define VISTRUNE_LINUX_FAST 1
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#else
#define VISTRUNE_LINUX_FAST 0
#endif

// Stats made ahead, in parallel, through the kernel's io_uring (raw system
// calls: no library needed).
#if VISTRUNE_LINUX_FAST && __has_include(<linux/io_uring.h>) && defined(__NR_io_uring_setup)
#define VISTRUNE_STATS_AHEAD 1
#include <linux/io_uring.h>
#include <sys/mman.h>
#else
#define VISTRUNE_STATS_AHEAD 0
#endif

namespace vistrune::platform {

namespace {

constexpr int64_t kSecondsFrom1601To1970 = 11644473600;
constexpr uint64_t kTicksPerSecond = 10000000;
constexpr uint64_t kFileTimeLimit = uint64_t{1} << 63;  // first value out of range

struct TimeStamp {
  bool valid = false;
  int64_t seconds = 0;
  int64_t nanoseconds = 0;
};

// The part of a stat result the reader uses.
struct StatInfo {
  mode_t mode = 0;
  uint64_t size = 0;
  FileIdentity identity;
  TimeStamp birth, modified, accessed;
};

void FromStat(const struct stat& st, StatInfo& out) {
  out.mode = st.st_mode;
  out.size = static_cast<uint64_t>(st.st_size);
  out.identity = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
  out.birth = {};
#if defined(__APPLE__)
  out.birth = {true, st.st_birthtimespec.tv_sec, st.st_birthtimespec.tv_nsec};
  out.modified = {true, st.st_mtimespec.tv_sec, st.st_mtimespec.tv_nsec};
  out.accessed = {true, st.st_atimespec.tv_sec, st.st_atimespec.tv_nsec};
#else
  out.modified = {true, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
  out.accessed = {true, st.st_atim.tv_sec, st.st_atim.tv_nsec};
#endif
}

#if VISTRUNE_LINUX_FAST
constexpr int StatxFlags(bool follow) {
  return AT_STATX_SYNC_AS_STAT | (follow ? 0 : AT_SYMLINK_NOFOLLOW);
}
constexpr unsigned kStatxMask = STATX_BASIC_STATS | STATX_BTIME;

void FromStatx(const struct statx& stx, StatInfo& out) {
  out.mode = stx.stx_mode;
  out.size = stx.stx_size;
  out.identity = {static_cast<uint64_t>(makedev(stx.stx_dev_major, stx.stx_dev_minor)),
                  stx.stx_ino};
  auto stamp = [&stx](unsigned bit, const struct statx_timestamp& t) {
    return TimeStamp{(stx.stx_mask & bit) != 0, t.tv_sec, t.tv_nsec};
  };
  out.birth = stamp(STATX_BTIME, stx.stx_btime);
  out.modified = stamp(STATX_MTIME, stx.stx_mtime);
  out.accessed = stamp(STATX_ATIME, stx.stx_atime);
}
#endif

// One stat of name relative to dirFd (AT_FDCWD for a plain path).
bool StatAt(int dirFd, const char* name, bool follow, StatInfo& out) {
#if VISTRUNE_LINUX_FAST
  static std::atomic<bool> noStatx{false};  // the kernel lacks statx; only ever set
  if (!noStatx.load(std::memory_order_relaxed)) {
    struct statx stx;
    if (statx(dirFd, name, StatxFlags(follow), kStatxMask, &stx) == 0) {
      FromStatx(stx, out);
      return true;
    }
    if (errno == ENOSYS) {
      noStatx.store(true, std::memory_order_relaxed);
    } else if (errno != EPERM) {  // EPERM: a filter refuses statx; try fstatat
      return false;
    }
  }
#endif
  struct stat st;
  if (fstatat(dirFd, name, &st, follow ? 0 : AT_SYMLINK_NOFOLLOW) != 0) return false;
  FromStat(st, out);
  return true;
}

bool IsHiddenName(std::string_view name) {
  return !name.empty() && name[0] == '.' && name != "." && name != "..";
}

std::string_view LastComponent(std::string_view path) {
  while (!path.empty() && path.back() == kPathDelimiter) path.remove_suffix(1);
  size_t slash = path.rfind(kPathDelimiter);
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

void ToDetails(const StatInfo& info, std::string_view name, bool isLink, EntryDetails& out) {
  uint32_t attr = 0;
  if (S_ISDIR(info.mode)) attr |= kAttrDirectory;
  if (S_ISREG(info.mode)) attr |= kAttrArchive;
  if ((info.mode & S_IWUSR) == 0) attr |= kAttrReadOnly;
  if (IsHiddenName(name)) attr |= kAttrHidden;
  if (isLink) attr |= kAttrReparsePoint;
  out.attributes = attr;
  out.sizeHigh = static_cast<uint32_t>(info.size >> 32);
  out.sizeLow = static_cast<uint32_t>(info.size);
  auto convert = [](const TimeStamp& t, bool& valid, FileTime& ft) {
    valid = t.valid && UnixTimeToFileTime(t.seconds, t.nanoseconds, ft);
    if (!valid) ft = 0;
  };
  convert(info.birth, out.creationTimeValid, out.creationTime);
  convert(info.modified, out.lastWriteTimeValid, out.lastWriteTime);
  convert(info.accessed, out.lastAccessTimeValid, out.lastAccessTime);
  out.identity = info.identity;
}

constexpr size_t kBufferSize = 32 * 1024;

using Clock = std::chrono::steady_clock;
// A stat that takes longer than this waited on the medium: one of an entry
// in the cache takes a few microseconds.
constexpr Clock::duration kSlowStat = std::chrono::microseconds(50);

bool ignoreListedEntryTypes = false;
std::atomic<bool> everyStatSlow{false};

#if VISTRUNE_STATS_AHEAD

// A ring of stats handed to the kernel (io_uring): each one runs on one of
// the kernel's own worker threads, so that many wait on the medium at once
// while the thread that asked waits for them all. Closed when destroyed.
class StatRing {
 public:
  // Requests in flight at once. The kernel runs as many of them at once as
  // it has workers for this thread: four a processor, at most this, and at
  // most kWorkers where the kernel takes a bound. Every reader has a ring
  // of its own, and up to 64 read at once on a slow share: without the bound
  // a machine of many processors would start thousands of kernel threads
  // that all wait on the share. Eight is what two processors get anyway.
  static constexpr unsigned kEntries = 64;
  static constexpr unsigned kWorkers = 8;

  // One stat to make: name relative to dirFd; ok tells whether it succeeded,
  // and then info holds its result.
  struct Request {
    int dirFd;
    const char* name;
    bool follow;
    bool ok;
    StatInfo* info;
  };

  // A ring, or none where the kernel offers none (too old, turned off,
  // refused by a filter, out of resources).
  static std::unique_ptr<StatRing> Make() {
    io_uring_params params{};
    const int fd = static_cast<int>(syscall(__NR_io_uring_setup, kEntries, &params));
    if (fd < 0) return nullptr;
    std::unique_ptr<StatRing> ring(new StatRing(fd));
    if (!ring->Map(params)) return nullptr;
    // Bounded and unbounded workers alike; a kernel older than the bound
    // (5.15) keeps its own.
    unsigned workers[2] = {kWorkers, kWorkers};
    static_cast<void>(
        syscall(__NR_io_uring_register, fd, IORING_REGISTER_IOWQ_MAX_WORKERS, workers, 2));
    return ring;
  }

  ~StatRing() {
    if (sqes_ != MAP_FAILED) munmap(sqes_, sqesSize_);
    if (cqMap_ != MAP_FAILED && cqMap_ != sqMap_) munmap(cqMap_, cqMapSize_);
    if (sqMap_ != MAP_FAILED) munmap(sqMap_, sqMapSize_);
    close(fd_);
  }

  StatRing(const StatRing&) = delete;
  StatRing& operator=(const StatRing&) = delete;

  // Makes every request's stat, kEntries at most in flight at once. False
  // when the ring failed; the requests not made then have ok false. A ring
  // that fails while the kernel holds requests is never used again, and
  // their results are left allocated, since the kernel may still write them.
  bool Run(std::vector<Request>& requests) {
    if (broken_) return false;
    std::vector<unsigned> freeSlots(kEntries);
    for (unsigned i = 0; i < kEntries; ++i) freeSlots[i] = kEntries - 1 - i;
    std::vector<size_t> inSlot(kEntries);
    size_t next = 0;
    bool failed = false;
    while (freeSlots.size() < kEntries || (!failed && next < requests.size())) {
      unsigned tail = *sqTail_;
      for (; !failed && next < requests.size() && !freeSlots.empty(); ++next, ++tail) {
        const unsigned slot = freeSlots.back();
        freeSlots.pop_back();
        Request& request = requests[next];
        request.ok = false;
        io_uring_sqe& sqe = sqes_[slot];
        std::memset(&sqe, 0, sizeof sqe);
        sqe.opcode = IORING_OP_STATX;
        sqe.fd = request.dirFd;
        sqe.addr = reinterpret_cast<uintptr_t>(request.name);
        sqe.len = kStatxMask;
        sqe.off = reinterpret_cast<uintptr_t>(&results_[slot]);  // addr2: the result
        sqe.statx_flags = static_cast<uint32_t>(StatxFlags(request.follow));
        sqe.user_data = slot;
        sqArray_[tail & *sqMask_] = slot;
        inSlot[slot] = next;
      }
      __atomic_store_n(sqTail_, tail, __ATOMIC_RELEASE);
      const unsigned queued = tail - __atomic_load_n(sqHead_, __ATOMIC_ACQUIRE);
      if (syscall(__NR_io_uring_enter, fd_, queued, 1u, IORING_ENTER_GETEVENTS, nullptr, 0) < 0 &&
          errno != EINTR) {
        if (failed) {
          broken_ = true;
          static_cast<void>(results_.release());
          return false;
        }
        // Those the kernel did not take are taken back; those it took are
        // still waited for.
        failed = true;
        const unsigned head = __atomic_load_n(sqHead_, __ATOMIC_ACQUIRE);
        for (unsigned at = head; at != tail; ++at) freeSlots.push_back(sqArray_[at & *sqMask_]);
        __atomic_store_n(sqTail_, head, __ATOMIC_RELEASE);
      }
      unsigned head = *cqHead_;
      for (const unsigned ready = __atomic_load_n(cqTail_, __ATOMIC_ACQUIRE); head != ready;
           ++head) {
        const io_uring_cqe& cqe = cqes_[head & *cqMask_];
        const auto slot = static_cast<unsigned>(cqe.user_data);
        Request& request = requests[inSlot[slot]];
        request.ok = cqe.res == 0;
        if (request.ok) FromStatx(results_[slot], *request.info);
        freeSlots.push_back(slot);
      }
      __atomic_store_n(cqHead_, head, __ATOMIC_RELEASE);
    }
    return !failed;
  }

 private:
  explicit StatRing(int fd) : fd_(fd) {}

  bool Map(const io_uring_params& params) {
    if (params.sq_entries < kEntries || params.cq_entries < kEntries) return false;
    sqMapSize_ = params.sq_off.array + params.sq_entries * sizeof(unsigned);
    cqMapSize_ = params.cq_off.cqes + params.cq_entries * sizeof(io_uring_cqe);
    const bool single = (params.features & IORING_FEAT_SINGLE_MMAP) != 0;
    if (single) sqMapSize_ = cqMapSize_ = std::max(sqMapSize_, cqMapSize_);
    sqMap_ = mmap(nullptr, sqMapSize_, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, fd_,
                  IORING_OFF_SQ_RING);
    if (sqMap_ == MAP_FAILED) return false;
    cqMap_ = single ? sqMap_
                    : mmap(nullptr, cqMapSize_, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE,
                           fd_, IORING_OFF_CQ_RING);
    if (cqMap_ == MAP_FAILED) return false;
    sqesSize_ = params.sq_entries * sizeof(io_uring_sqe);
    sqes_ = static_cast<io_uring_sqe*>(mmap(nullptr, sqesSize_, PROT_READ | PROT_WRITE,
                                            MAP_SHARED | MAP_POPULATE, fd_, IORING_OFF_SQES));
    if (sqes_ == MAP_FAILED) return false;
    auto* sq = static_cast<char*>(sqMap_);
    auto* cq = static_cast<char*>(cqMap_);
    sqHead_ = reinterpret_cast<unsigned*>(sq + params.sq_off.head);
    sqTail_ = reinterpret_cast<unsigned*>(sq + params.sq_off.tail);
    sqMask_ = reinterpret_cast<unsigned*>(sq + params.sq_off.ring_mask);
    sqArray_ = reinterpret_cast<unsigned*>(sq + params.sq_off.array);
    cqHead_ = reinterpret_cast<unsigned*>(cq + params.cq_off.head);
    cqTail_ = reinterpret_cast<unsigned*>(cq + params.cq_off.tail);
    cqMask_ = reinterpret_cast<unsigned*>(cq + params.cq_off.ring_mask);
    cqes_ = reinterpret_cast<io_uring_cqe*>(cq + params.cq_off.cqes);
    return true;
  }

  int fd_;
  bool broken_ = false;
  void* sqMap_ = MAP_FAILED;
  void* cqMap_ = MAP_FAILED;
  io_uring_sqe* sqes_ = static_cast<io_uring_sqe*>(MAP_FAILED);
  size_t sqMapSize_ = 0, cqMapSize_ = 0, sqesSize_ = 0;
  unsigned *sqHead_ = nullptr, *sqTail_ = nullptr, *sqMask_ = nullptr, *sqArray_ = nullptr;
  unsigned *cqHead_ = nullptr, *cqTail_ = nullptr, *cqMask_ = nullptr;
  io_uring_cqe* cqes_ = nullptr;
  std::unique_ptr<struct statx[]> results_ = std::make_unique<struct statx[]>(kEntries);
};

std::atomic<bool> noStatRing{false};  // the kernel gave no ring once; only ever set

#endif

}  // namespace

struct DirReader::Cache {
  bool valid = false;
  StatInfo info;
  // Whether the last stat (or batch of stats) was slow: the next one that
  // is needed then makes those of the rest of the batch of entries ahead.
  bool slow = false;
  bool detailsOfFolders = false;
#if VISTRUNE_STATS_AHEAD
  // The stats made ahead, for the entries of the buffer before aheadEnd that
  // needed one, in the buffer's order.
  struct Ahead {
    size_t offset;  // of the entry in the buffer
    bool listed;    // its own stat made (links not followed)
    bool followed;  // the stat of what it leads to made
    StatInfo own, target;
  };
  std::vector<Ahead> ahead;
  size_t aheadNext = 0;  // the first not passed yet
  size_t aheadEnd = 0;   // 0: none made for this buffer
  std::unique_ptr<StatRing> ring;

  // Makes the stats of the entries of buffer from the one at from (whose
  // stat, following links or not, is asked for now) to end that will need
  // one: as DirReader::Next makes them, of an entry of unknown type (and of
  // its target, should it be a link) and of a link's target, and with
  // detailsOfFolders that of every folder.
  void MakeAhead(int dirFd, const char* buffer, size_t from, size_t end, bool follow) {
    DropAhead();
    aheadEnd = end;
    if (!ring) ring = StatRing::Make();
    if (!ring) {
      noStatRing.store(true, std::memory_order_relaxed);
      return;
    }
    for (size_t at = from; at < end;) {
      const auto* entry = reinterpret_cast<const struct dirent64*>(buffer + at);
      const size_t offset = at;
      at += entry->d_reclen;
      if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
      const unsigned char type =
          ignoreListedEntryTypes ? static_cast<unsigned char>(DT_UNKNOWN) : entry->d_type;
      const bool own = type == DT_UNKNOWN || (offset == from && !follow);
      const bool target =
          type == DT_LNK || (type == DT_DIR && detailsOfFolders) || (offset == from && follow);
      if (own || target) ahead.push_back({offset, own, target, {}, {}});
    }
    const Clock::time_point start = Clock::now();
    std::vector<StatRing::Request> requests;
    auto request = [&](Ahead& entry, bool follow) {
      const auto* listed = reinterpret_cast<const struct dirent64*>(buffer + entry.offset);
      requests.push_back(
          {dirFd, listed->d_name, follow, false, follow ? &entry.target : &entry.own});
    };
    for (Ahead& entry : ahead) {
      if (entry.listed) request(entry, false);
      if (entry.followed) request(entry, true);
    }
    size_t made = requests.size();
    ring->Run(requests);
    // Then the targets of the entries of unknown type that are links.
    size_t at = 0;
    for (Ahead& entry : ahead) {
      if (entry.listed) entry.listed = requests[at++].ok;
      if (entry.followed) entry.followed = requests[at++].ok;
    }
    requests.clear();
    for (Ahead& entry : ahead)
      if (entry.listed && !entry.followed && S_ISLNK(entry.own.mode)) request(entry, true);
    if (!requests.empty()) {
      made += requests.size();
      ring->Run(requests);
      at = 0;
      for (Ahead& entry : ahead)
        if (entry.listed && !entry.followed && S_ISLNK(entry.own.mode))
          entry.followed = requests[at++].ok;
    }
    slow = Clock::now() - start > kSlowStat * static_cast<Clock::rep>(made);
  }

  // The stat of the entry at offset made ahead, to out; false when none was.
  bool TakeAhead(size_t offset, bool follow, StatInfo& out) {
    while (aheadNext < ahead.size() && ahead[aheadNext].offset < offset) ++aheadNext;
    if (aheadNext == ahead.size() || ahead[aheadNext].offset != offset) return false;
    const Ahead& entry = ahead[aheadNext];
    if (!(follow ? entry.followed : entry.listed)) return false;
    out = follow ? entry.target : entry.own;
    return true;
  }

  // Forgets the stats made ahead, all of them: their offsets are those of
  // a buffer that is refilled or of a folder that is closed, and where the
  // next buffer makes none of its own, an entry at the same offset there
  // must not be given them.
  void DropAhead() {
    ahead.clear();
    aheadNext = 0;
    aheadEnd = 0;
  }
#endif
};

bool UnixTimeToFileTime(int64_t seconds, int64_t nanoseconds, FileTime& fileTime) {
  if (nanoseconds < 0 || nanoseconds >= 1000000000) return false;
  if (seconds < -kSecondsFrom1601To1970) return false;
  // seconds >= -kSecondsFrom1601To1970, so the unsigned sum is the true one.
  uint64_t since1601 =
      static_cast<uint64_t>(seconds) + static_cast<uint64_t>(kSecondsFrom1601To1970);
  if (since1601 >= kFileTimeLimit / kTicksPerSecond) return false;
  uint64_t ticks = since1601 * kTicksPerSecond + static_cast<uint64_t>(nanoseconds) / 100;
  if (ticks >= kFileTimeLimit) return false;
  fileTime = ticks;
  return true;
}

// --- DirReader -------------------------------------------------------------

namespace {

// How many folders may be held open at once: half the process's limit on
// open files, so that the rest of the program always finds descriptors
// free, and no more than a walk can use.
long HeldFolderLimit() {
  static const long limit = [] {
    struct rlimit files;
    if (getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur == RLIM_INFINITY) return 4096L;
    return std::min(4096L, static_cast<long>(files.rlim_cur / 2));
  }();
  return limit;
}

std::atomic<long> heldFolders{0};

void Release(int fd) {
  if (fd < 0) return;
  close(fd);
  heldFolders.fetch_sub(1, std::memory_order_relaxed);
}

}  // namespace

OpenFolder::~OpenFolder() {
  Release(fd_);
}

OpenFolder::OpenFolder(OpenFolder&& other) noexcept : fd_(other.fd_) {
  other.fd_ = -1;
}

OpenFolder& OpenFolder::operator=(OpenFolder&& other) noexcept {
  if (this != &other) {
    Release(fd_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

bool OpenFolder::Held() const {
  return fd_ >= 0;
}

void IgnoreListedEntryTypes(bool ignore) {
  ignoreListedEntryTypes = ignore;
}

void CountEveryStatAsSlow(bool every) {
  everyStatSlow.store(every, std::memory_order_relaxed);
}

void DirReader::DetailsOfFoldersAhead(bool ahead) {
  cache_->detailsOfFolders = ahead;
}

DirReader::DirReader() : cache_(std::make_unique<Cache>()) {}

DirReader::~DirReader() {
  Close();
}

void DirReader::Close() {
#if VISTRUNE_LINUX_FAST
  if (fd_ >= 0) close(fd_);
#else
  if (dir_) closedir(static_cast<DIR*>(dir_));
#endif
  fd_ = -1;
  dir_ = nullptr;
  pos_ = end_ = 0;
  name_ = "";
  nameLength_ = 0;
  attributes_ = 0;
  cache_->valid = false;
#if VISTRUNE_STATS_AHEAD
  cache_->DropAhead();
#endif
}

bool DirReader::Open(const std::string& folder) {
  return Open(folder, nullptr);
}

bool DirReader::Open(const std::string& folder, const OpenFolder* parent) {
  Close();
  stats_ = 0;
  int fd;
  // A path the system would refuse whole is refused relative to its parent
  // as well: the folders opened are the same either way.
  if (folder.size() >= PATH_MAX) {
    errno = ENAMETOOLONG;
    return false;
  }
  const std::string_view name = LastComponent(folder);
  if (parent && parent->Held() && !name.empty()) {
    fd = openat(parent->fd_, std::string(name).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  } else {
    fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  }
  if (fd < 0) return false;
#if VISTRUNE_LINUX_FAST
  if (!buffer_) buffer_ = std::make_unique<char[]>(kBufferSize);
#else
  DIR* dir = fdopendir(fd);
  if (!dir) {
    close(fd);
    return false;
  }
  dir_ = dir;
#endif
  fd_ = fd;
  return true;
}

OpenFolder DirReader::Keep() {
  OpenFolder kept;
  if (fd_ >= 0 && heldFolders.fetch_add(1, std::memory_order_relaxed) < HeldFolderLimit()) {
#if VISTRUNE_LINUX_FAST
    kept.fd_ = fd_;
    fd_ = -1;
#else
    kept.fd_ = fcntl(fd_, F_DUPFD_CLOEXEC, 0);
#endif
    if (kept.fd_ < 0) heldFolders.fetch_sub(1, std::memory_order_relaxed);
  } else if (fd_ >= 0) {
    heldFolders.fetch_sub(1, std::memory_order_relaxed);
  }
  Close();
  return kept;
}

bool DirReader::Next() {
  if (fd_ < 0) return false;
  cache_->valid = false;
  unsigned char type;
#if VISTRUNE_LINUX_FAST
  if (pos_ >= end_) {
    ssize_t n = getdents64(fd_, buffer_.get(), kBufferSize);
    if (n <= 0) {
      pos_ = end_ = 0;
      name_ = "";
      nameLength_ = 0;
      attributes_ = 0;
      return false;
    }
    pos_ = 0;
    end_ = static_cast<size_t>(n);
#if VISTRUNE_STATS_AHEAD
    cache_->DropAhead();
#endif
  }
  const auto* entry = reinterpret_cast<const struct dirent64*>(buffer_.get() + pos_);
  current_ = pos_;
  pos_ += entry->d_reclen;
  name_ = entry->d_name;
  type = entry->d_type;
#else
  errno = 0;
  const struct dirent* entry = readdir(static_cast<DIR*>(dir_));
  if (!entry) {
    name_ = "";
    nameLength_ = 0;
    attributes_ = 0;
    return false;
  }
  name_ = entry->d_name;
#ifdef DT_DIR
  type = entry->d_type;
#else
  type = 0;
#endif
#endif
  nameLength_ = std::strlen(name_);
#ifdef DT_DIR
  if (ignoreListedEntryTypes) type = DT_UNKNOWN;
#endif

  uint32_t attr = IsHiddenName(std::string_view(name_, nameLength_)) ? uint32_t{kAttrHidden} : 0u;
#ifdef DT_DIR
  if (type == DT_DIR) {
    attributes_ = attr | kAttrDirectory;
    return true;
  }
  if (type != DT_LNK && type != DT_UNKNOWN) {
    attributes_ = attr;
    return true;
  }
  bool isLink = type == DT_LNK;
#else
  bool isLink = false;
#endif
  // "." and ".." are this folder and its parent: folders, whatever the
  // file system says.
  if (std::strcmp(name_, ".") == 0 || std::strcmp(name_, "..") == 0) {
    attributes_ = kAttrDirectory;
    return true;
  }
  // Link or unknown type: one stat decides (two for an unknown that is a link).
  StatInfo& info = cache_->info;
  if (!isLink) {
    if (!StatEntry(false)) {
      attributes_ = attr;  // gone meanwhile: a nameless nothing, not a folder
      return true;
    }
    isLink = S_ISLNK(info.mode);
    if (!isLink) {
      cache_->valid = true;
      attributes_ = attr | (S_ISDIR(info.mode) ? uint32_t{kAttrDirectory} : 0u);
      return true;
    }
  }
  attr |= kAttrReparsePoint;
  if (StatEntry(true)) {
    cache_->valid = true;
    if (S_ISDIR(info.mode)) attr |= kAttrDirectory;
  }
  attributes_ = attr;
  return true;
}

bool DirReader::StatEntry(bool follow) {
  ++stats_;
  Cache& cache = *cache_;
#if VISTRUNE_STATS_AHEAD
  if (cache.aheadEnd == 0 && (cache.slow || everyStatSlow.load(std::memory_order_relaxed)) &&
      !noStatRing.load(std::memory_order_relaxed))
    cache.MakeAhead(fd_, buffer_.get(), current_, end_, follow);
  if (cache.TakeAhead(current_, follow, cache.info)) return true;
#endif
  // One at a time: the first of a batch, while stats are fast, and what was
  // not made ahead (an entry gone meanwhile, a link that leads nowhere).
  const Clock::time_point start = Clock::now();
  const bool made = StatAt(fd_, name_, follow, cache.info);
  cache.slow = Clock::now() - start > kSlowStat;
  return made;
}

bool DirReader::Details(EntryDetails& details) {
  if (fd_ < 0 || nameLength_ == 0) return false;
  std::string_view name(name_, nameLength_);
  if (cache_->valid) {
    ToDetails(cache_->info, name, IsLink(), details);
    return true;
  }
  if (StatEntry(true) || (IsLink() && StatEntry(false))) {
    ToDetails(cache_->info, name, IsLink(), details);
    return true;
  }
  return false;
}

bool ThreadWaits([[maybe_unused]] uint64_t& waits) {
#ifdef RUSAGE_THREAD
  struct rusage usage;
  if (getrusage(RUSAGE_THREAD, &usage) != 0) return false;
  waits = static_cast<uint64_t>(usage.ru_nvcsw);
  return true;
#else
  return false;
#endif
}

// --- Single paths ----------------------------------------------------------

bool GetPathEntry(const std::string& path, std::string& name, EntryDetails& details) {
  const char* cPath = path.c_str();
  size_t length = std::strlen(cPath);
  if (length == 0 || cPath[length - 1] == kPathDelimiter) return false;
  StatInfo info;
  if (!StatAt(AT_FDCWD, cPath, false, info)) return false;
  bool isLink = S_ISLNK(info.mode);
  if (isLink) {
    StatInfo target;
    if (StatAt(AT_FDCWD, cPath, true, target)) info = target;
  }
  std::string_view last = LastComponent(std::string_view(cPath, length));
  name.assign(last.data(), last.size());
  ToDetails(info, last, isLink, details);
  return true;
}

bool StatPath(const std::string& path, EntryDetails& details) {
  const char* cPath = path.c_str();
  if (*cPath == '\0') return false;
  StatInfo info;
  if (!StatAt(AT_FDCWD, cPath, true, info)) return false;
  ToDetails(info, LastComponent(cPath), false, details);
  return true;
}

// --- Time conversions ------------------------------------------------------

namespace {

struct OffsetCache {
  bool filled = false;
  bool known = false;  // localtime_r succeeded
  int64_t offset = 0;
  int64_t refreshAt = 0;  // monotonic seconds
};

thread_local OffsetCache tOffset;

int64_t MonotonicSeconds() {
  struct timespec now;
#ifdef CLOCK_MONOTONIC_COARSE
  clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
#else
  clock_gettime(CLOCK_MONOTONIC, &now);
#endif
  return now.tv_sec;
}

const OffsetCache& Offset() {
  OffsetCache& cache = tOffset;
  int64_t now = MonotonicSeconds();
  if (!cache.filled || now >= cache.refreshAt) {
    tzset();
    time_t t = time(nullptr);
    struct tm local;
    cache.known = localtime_r(&t, &local) != nullptr;
    cache.offset = cache.known ? static_cast<int64_t>(local.tm_gmtoff) : 0;
    cache.filled = true;
    cache.refreshAt = now + 2;
  }
  return cache;
}

// Civil date of a day count since 1970-01-01 (H. Hinnant's algorithm).
void CivilFromDays(int64_t z, int64_t& year, unsigned& month, unsigned& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = doy - (153 * mp + 2) / 5 + 1;
  month = mp < 10 ? mp + 3 : mp - 9;
  year = static_cast<int64_t>(yoe) + era * 400 + (month <= 2 ? 1 : 0);
}

constexpr int64_t kDaysFrom1601To1970 = 134774;

}  // namespace

int64_t CurrentUtcOffsetSeconds() {
  return Offset().offset;
}

void ResetUtcOffsetCache() {
  tOffset.filled = false;
}

bool UtcToLocalFileTime(FileTime utc, FileTime& local) {
  if (utc >= kFileTimeLimit) return false;
  const OffsetCache& cache = Offset();
  if (!cache.known) return false;
  int64_t shift = cache.offset * static_cast<int64_t>(kTicksPerSecond);
  int64_t value = static_cast<int64_t>(utc);
  if (shift < 0 && value < -shift) return false;
  if (shift > 0 && value > INT64_MAX - shift) return false;
  local = static_cast<FileTime>(value + shift);
  return true;
}

bool LocalFileTimeToDosDateTime(FileTime local, uint16_t& dosDate, uint16_t& dosTime) {
  if (local >= kFileTimeLimit) return false;
  const uint64_t seconds = local / kTicksPerSecond;
  const int64_t days = static_cast<int64_t>(seconds / 86400);
  const unsigned secondOfDay = static_cast<unsigned>(seconds % 86400);
  int64_t year;
  unsigned month, day;
  CivilFromDays(days - kDaysFrom1601To1970, year, month, day);
  if (year < 1980 || year > 2107) return false;
  const unsigned hour = secondOfDay / 3600;
  const unsigned minute = secondOfDay / 60 % 60;
  const unsigned second = secondOfDay % 60;
  dosDate = static_cast<uint16_t>(((year - 1980) << 9) | (month << 5) | day);
  dosTime = static_cast<uint16_t>((hour << 11) | (minute << 5) | (second / 2));
  return true;
}

}  // namespace vistrune::platform

#endif  // _WIN32
