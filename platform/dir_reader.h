// Directory enumeration, the entry of one exact path, and file-time
// conversions: what FindFirstFile/FindNextFile, FileTimeToLocalFileTime and
// FileTimeToDosDateTime give on Windows, for the folder walker and the video
// listing.
//
// Names are the bytes the file system stores (not necessarily valid UTF-8),
// passed back to it unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/paths.h"

namespace vistrune::platform {

// A file time: 100-nanosecond intervals since 1 January 1601 UTC, as the
// Windows FILETIME. Meaningful values are below 2^63.
using FileTime = uint64_t;

#ifndef _WIN32
// The file time of a POSIX time stamp (seconds and nanoseconds since
// 1970-01-01 UTC). False before 1601 or beyond the range of a file time.
// (Windows gives file times as they are.)
bool UnixTimeToFileTime(int64_t seconds, int64_t nanoseconds, FileTime& fileTime);

// While ignore is true, every DirReader takes the type of each entry as
// unknown, as on a file system whose directory entries carry no type, so
// that the tests reach the way such entries are read. The program never
// sets it.
void IgnoreListedEntryTypes(bool ignore);

// While every is true, every DirReader takes its stats as slow, so that the
// tests reach the stats made ahead in parallel. The program never sets it.
void CountEveryStatAsSlow(bool every);
#endif

// The identity of a file system object: the same object has the same pair.
// Windows: the volume serial number and the file index; {0, 0} when the
// object cannot be opened to ask.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};

// What FindFirstFile gives about one entry beyond its name.
//
// Windows: exactly what FindFirstFileA gives (for a link, the link's own
// attributes, size and times, kAttrReparsePoint among the attributes), every
// time stamp valid (whether it converts is for the caller to find out); the
// identity is that of the link's target (of the link itself when it leads
// nowhere).
struct EntryDetails {
  uint32_t attributes = 0;  // see paths.h for how POSIX derives the bits
  uint32_t sizeHigh = 0;    // size in bytes = sizeHigh * 2^32 + sizeLow
  uint32_t sizeLow = 0;
  // Creation: the statx birth time where the file system keeps it
  // (STATX_BTIME); otherwise not valid.
  bool creationTimeValid = false;
  FileTime creationTime = 0;
  bool lastWriteTimeValid = false;  // mtime
  FileTime lastWriteTime = 0;
  bool lastAccessTimeValid = false;  // atime
  FileTime lastAccessTime = 0;
  FileIdentity identity;  // of the object the attributes describe
  // The alternate 8.3 name (cAlternateFileName), at most 13 bytes; "" where
  // the entry has none of its own, and always on POSIX.
  std::string shortName;
};

// A folder kept open after it was read, so that the folders in it can be
// opened by their own names relative to it: one look-up each, where the
// whole path costs one per component (a round trip each on a network share
// that caches nothing). Empty when nothing is held: always on Windows, and
// when as many folders are held as the process may keep (half its limit on
// open files, at most 4096). Closed when destroyed.
class OpenFolder {
 public:
  OpenFolder() = default;
  ~OpenFolder();
  OpenFolder(OpenFolder&& other) noexcept;
  OpenFolder& operator=(OpenFolder&& other) noexcept;
  OpenFolder(const OpenFolder&) = delete;
  OpenFolder& operator=(const OpenFolder&) = delete;

  bool Held() const;

 private:
  friend class DirReader;
#ifndef _WIN32
  int fd_ = -1;
#endif
};

// Enumerates one directory at a time, in the file system's order, "." and
// ".." included when the file system lists them (callers skip them).
//
// For each entry the reader gives the name and a cheap attribute word:
// kAttrDirectory from the entry's type where the file system gives one
// (d_type); for a symbolic link, or an entry of unknown type, one stat
// (following the link) decides, so a link to a folder counts as a folder and
// also carries kAttrReparsePoint. A dangling link is not a folder. kAttrHidden
// from the leading dot; "." and ".." are folders without a stat. Nothing is
// stat'ed for plain files and folders until Details() is asked for.
//
// Where stats are slow (a stat that waited on the medium, as every request
// on a network share does), the reader makes them ahead: at the first stat
// it needs in a batch of listed entries, it makes those of every later
// entry of the batch that will need one (see DetailsOfFoldersAhead) at once,
// in parallel, and hands out their results in turn. What it gives is the
// same either way. Linux only, where the kernel's io_uring is offered;
// elsewhere, and while stats are fast, one at a time.
//
// The reader owns its open directory: Close() or the destructor releases it.
//
// Windows: one FindFirstFileExA (with a large fetch)/FindNextFileA search of
// folder, a separator where it has none, and "*.*". The attribute word is
// the whole word the search gives for the entry, and Details() needs no
// further call but one open of the entry to learn its identity. A folder
// that holds no entry at all (an empty drive root) opens and yields nothing.
class DirReader {
 public:
  DirReader();
  ~DirReader();
  DirReader(const DirReader&) = delete;
  DirReader& operator=(const DirReader&) = delete;

  // Opens the directory at folder (with or without a trailing separator),
  // closing any previous one. False when it cannot be opened (missing, not a
  // directory, access denied, path longer than PATH_MAX...).
  bool Open(const std::string& folder);
  // The same for folder, an entry of parent (its last component, a trailing
  // separator left out, is the entry's name): opened relative to parent
  // where it is held, else by the whole path.
  bool Open(const std::string& folder, const OpenFolder* parent);

  // Advances to the next entry. False at the end of the directory, on a read
  // error (the rest of the directory is then lost) and when none is open.
  bool Next();

  // The current entry's name, NUL-terminated; valid until Next() or Close().
  const char* Name() const { return name_; }
  size_t NameLength() const { return nameLength_; }

  // The cheap attribute word of the current entry (see above).
  uint32_t Attributes() const { return attributes_; }
  bool IsLink() const { return (attributes_ & kAttrReparsePoint) != 0; }

  // The details of the current entry: one stat relative to the open
  // directory, following a link (or none, when deciding the entry's type
  // needed one already). The full attribute word adds kAttrReadOnly and
  // kAttrArchive; the directory bit comes from the stat. A dangling link
  // gets the link's own details. False when the entry has gone.
  bool Details(EntryDetails& details);

  // Whether Details() will be asked of every folder entry, so that stats
  // made ahead include theirs. False by default. Windows needs none: the
  // search gives the details with the names.
  void DetailsOfFoldersAhead(bool ahead);

  void Close();
  // Closes the directory like Close(), but keeps it open as the folder it
  // gives where one more may be held.
  OpenFolder Keep();

  // The stats made since Open(), to decide entries' types and for Details().
  size_t Stats() const { return stats_; }

  // Whether a directory is open. Last of the functions and left as written
  // by the formatter, which unfolds every short function that follows one
  // inside a preprocessor condition.
  // clang-format off
#ifdef _WIN32
  bool IsOpen() const { return search_ != nullptr; }
#else
  bool IsOpen() const { return fd_ >= 0; }
#endif
  // clang-format on

 private:
  size_t stats_ = 0;
#ifdef _WIN32
  struct Search;
  std::unique_ptr<Search> search_;  // the open search and its current entry
  const char* name_ = "";
  size_t nameLength_ = 0;
  uint32_t attributes_ = 0;
#else
  struct Cache;
  // One stat of the current entry into the cache's info (made ahead where
  // it was); false when it failed.
  bool StatEntry(bool follow);
  int fd_ = -1;
  std::unique_ptr<char[]> buffer_;
  size_t current_ = 0;  // where the current entry begins in buffer_
  size_t pos_ = 0;
  size_t end_ = 0;
  void* dir_ = nullptr;  // the generic-POSIX path keeps a DIR* here
  const char* name_ = "";
  size_t nameLength_ = 0;
  uint32_t attributes_ = 0;
  // The stat done to decide the type, if any, and those made ahead.
  std::unique_ptr<Cache> cache_;
#endif
};

// The entry of one exact path, as FindFirstFile gives it for a path without
// wildcards: name is the last component, details as DirReader::Details (a
// link followed, kAttrReparsePoint when path is a link).
//
// Decision: a path that ends in a separator (and so the root "/") has no
// entry, as on Windows, where FindFirstFile finds none for it. Reports of the
// walker's start folder are thereby the same on both platforms.
// False as well when nothing exists at path, and on Windows when path holds
// a wildcard ("*" or "?"), which would make it a pattern.
bool GetPathEntry(const std::string& path, std::string& name, EntryDetails& details);

// Details of whatever is at path (links followed; the name-based bits look
// at the last component of path). False when nothing is there.
// Windows: what the object's own handle tells (GetFileInformationByHandle);
// where it cannot be opened, what GetFileAttributesExA tells, with no
// identity.
bool StatPath(const std::string& path, EntryDetails& details);

// How often the calling thread has waited so far of its own accord (for a
// disk, a share, a lock), leaving out the times it was only preempted. False
// where the system does not tell: on Windows, and POSIX without
// RUSAGE_THREAD. Linux: its voluntary context switches.
bool ThreadWaits(uint64_t& waits);

// FileTimeToLocalFileTime: adds the offset from UTC in force NOW (daylight
// saving included), not the one in force at the stamp's date. False when
// the result leaves the range of a file time.
bool UtcToLocalFileTime(FileTime utc, FileTime& local);

// FileTimeToDosDateTime: date word bits 9-15 year-1980, 5-8 month, 0-4 day;
// time word bits 11-15 hour, 5-10 minute, 0-4 seconds/2 (odd seconds drop).
// False for years before 1980 or after 2107.
bool LocalFileTimeToDosDateTime(FileTime local, uint16_t& dosDate, uint16_t& dosTime);

// The current offset of local time from UTC, in seconds (east positive). It
// is cached per thread and refreshed (tzset + localtime_r) at most every two
// seconds, so a time-zone change shows within that time. Windows: what
// FileTimeToLocalFileTime adds to the current time, asked afresh each time.
int64_t CurrentUtcOffsetSeconds();
#ifndef _WIN32
// Forgets the cached offset; the next query computes it afresh (for tests
// that change TZ).
void ResetUtcOffsetCache();
#endif

}  // namespace vistrune::platform
