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
#include <climits>
#include <cstring>
#include <string_view>

#include "platform/dir_reader.h"

#if defined(__linux__) && !defined(VISTRUNE_FORCE_GENERIC_POSIX)
#define VISTRUNE_LINUX_FAST 1
#include <sys/sysmacros.h>
#else
#define VISTRUNE_LINUX_FAST 0
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

// One stat of name relative to dirFd (AT_FDCWD for a plain path).
bool StatAt(int dirFd, const char* name, bool follow, StatInfo& out) {
#if VISTRUNE_LINUX_FAST
  static std::atomic<bool> noStatx{false};  // the kernel lacks statx; only ever set
  if (!noStatx.load(std::memory_order_relaxed)) {
    struct statx stx;
    int flags = AT_STATX_SYNC_AS_STAT | (follow ? 0 : AT_SYMLINK_NOFOLLOW);
    if (statx(dirFd, name, flags, STATX_BASIC_STATS | STATX_BTIME, &stx) == 0) {
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

}  // namespace

struct DirReader::Cache {
  bool valid = false;
  StatInfo info;
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

bool ignoreListedEntryTypes = false;

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
  }
  const auto* entry = reinterpret_cast<const struct dirent64*>(buffer_.get() + pos_);
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
    ++stats_;
    if (!StatAt(fd_, name_, false, info)) {
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
  ++stats_;
  if (StatAt(fd_, name_, true, info)) {
    cache_->valid = true;
    if (S_ISDIR(info.mode)) attr |= kAttrDirectory;
  }
  attributes_ = attr;
  return true;
}

bool DirReader::Details(EntryDetails& details) {
  if (fd_ < 0 || nameLength_ == 0) return false;
  std::string_view name(name_, nameLength_);
  if (cache_->valid) {
    ToDetails(cache_->info, name, IsLink(), details);
    return true;
  }
  StatInfo info;
  ++stats_;
  if (StatAt(fd_, name_, true, info) || (IsLink() && StatAt(fd_, name_, false, info))) {
    ToDetails(info, name, IsLink(), details);
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
