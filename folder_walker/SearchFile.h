// The folder walker: visits a folder and every folder below it, breadth
// first, and reports each folder once to a handler that may keep the walk
// out of the folder just reported or stop the whole walk. Reports are made
// on the caller's thread; a small pool of threads may read the next folders
// of the queue ahead meanwhile.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

namespace vistrune {

// Days since 30 December 1899 00:00, with the time of day as the fraction.
using TDateTime = double;

// The platform's directory entry of a reported folder. A time stamp means
// something only while its Valid flag is true.
struct TSearchFileData {
  std::string LongName;   // the entry's own name, at most 260 bytes
  std::string ShortName;  // the 8.3 name, at most 14 bytes; LongName when there is none
  int64_t Size = 0;
  bool CreationTimeValid = false;
  TDateTime CreationTime = 0;
  bool LastWriteTimeValid = false;
  TDateTime LastWriteTime = 0;
  bool LastAccessTimeValid = false;
  TDateTime LastAccessTime = 0;
  bool IsDirectory = false;
  bool IsReadOnly = false;
  bool IsHidden = false;
  bool IsSystem = false;
  bool Reserved = false;  // always false
  bool IsArchive = false;
};

class TSearchDir;

// The report callback. IgnoreSubDir arrives false and Continue true; setting
// IgnoreSubDir keeps the walk out of the folder reported, clearing Continue
// stops the walk at once.
using TSearchDirEvent =
    std::function<void(TSearchDir* Sender, const std::string& Name, const TSearchFileData& Data,
                       bool& IgnoreSubDir, bool& Continue)>;

// The other entries of a folder the walk read (see TSearchDir::KeepEntry):
// Folder ends in the separator; Names holds each name followed by a NUL
// byte (no name holds one), which costs one allocation for all of them, and
// may be taken. Read is false, and Names empty, for a folder reported but
// not read.
using TSearchFilesEvent = std::function<void(TSearchDir* Sender, const std::string& Folder,
                                             std::string& Names, bool Read)>;

// How many threads may read folders ahead by default: 64. Reading waits on
// the disk far more than it computes, and a disk serves many requests at
// once faster than one at a time (on a cold cache sixteen threads walked
// twice as fast as four); a network share, where each request is a round
// trip, keeps paying up to about 64. Only one per other processor is
// started at once; the rest start while reads wait on the medium (see
// ReadAheadThreads). 0 in a build made without threads
// (VISTRUNE_NO_WALK_THREADS).
unsigned DefaultReadAheadThreads();

class TSearchDir {
 public:
  TSearchDir() = default;
  virtual ~TSearchDir() = default;
  TSearchDir(const TSearchDir&) = delete;
  TSearchDir& operator=(const TSearchDir&) = delete;

  // Where the walk starts; may be relative and may end in a separator.
  std::string BaseDir;
  TSearchDirEvent OnFind;
  // Threads that read the folders waiting in the queue while the handler
  // works, a bounded number of folders ahead; the walk's own thread reads
  // the next folder none of them has begun rather than wait. Those beyond
  // one per other processor are started, and read, only while reads wait on
  // the disk or the share: the slower the medium, the more folders are read
  // at once, and on a disk that keeps up they never start. 0 reads
  // each folder when its turn comes, one at a time. Either way the reports
  // are the same: the same folders with the same data in the same order; a
  // folder read ahead and then kept out of the walk, or not reached because
  // the walk stopped, is dropped unseen. Read at the start of each walk.
  // Should no thread start, the walk reads the folders itself.
  unsigned ReadAheadThreads = DefaultReadAheadThreads();

  // The handler reads only Name (and sets the flags), never Data: the walker
  // then fetches nothing it would fetch only for Data (no stat of each
  // sub-folder, no entry for the start folder). Data then holds LongName
  // (ShortName the same) and what the listing tells (the directory bit, and
  // on POSIX the hidden bit of a leading dot; on Windows the whole attribute
  // word); the start folder's is empty. The names reported, their order, the
  // link guard, IgnoreSubDir and Continue are the same as without it. Read
  // at the start of each walk.
  bool NamesOnly = false;

  // The entries of each folder beside its sub-folders, from the same read:
  // while both are set, every entry of a folder the walk reads ("." and ".."
  // never; files, and folders too) whose name KeepEntry accepts is kept, and
  // OnFiles is given them, in the platform's order, on the walk's thread
  // right after the folder's sub-folders are reported; once for every folder
  // that opened, with no names where none was accepted. A folder reported
  // but kept out of the walk (IgnoreSubDir, the link guard) gives a call
  // that says it was not read as it is reported, one that cannot be opened
  // when its turn comes; one during whose reports the walk stopped, or that
  // the walk stopped before, gives none.
  // KeepEntry runs on the reading threads, several at once. What OnFind is
  // told is the same with them as without. Read at the start of each walk.
  std::function<bool(std::string_view Name)> KeepEntry;
  TSearchFilesEvent OnFiles;

  // Runs one whole walk. True when it ran to its end; false when it did not
  // start (already walking, no handler, nothing at BaseDir) or a handler
  // stopped it. A handler's exception passes to the caller, with the walker
  // idle again and no enumeration left open.
  //
  // Every entry with the directory attribute is reported, symbolic links to
  // folders included (they are entered like folders), with one guard: a link
  // whose target is the start folder or a folder on the path from the start
  // folder down to the link's parent (same device and inode) is reported but
  // not entered, so link cycles end. Paths longer than the platform allows
  // are reported but cannot be enumerated (they yield nothing).
  //
  // With read-ahead, up to ReadAheadThreads + 1 folders are being read at
  // once, and a folder's entries are read before its parent's later entries
  // are reported; a handler's changes to the tree below the folder it is
  // told about may therefore not be seen. Each folder is opened relative to
  // the folder it is in, which stays open from its listing until its last
  // sub-folder is opened (no more than platform/dir_reader.h OpenFolder
  // allows; beyond that a folder is opened by its whole path).
  //
  // POSIX: the start folder's Data is empty when the start path ends in a
  // separator (as on Windows; see platform/dir_reader.h GetPathEntry). Data
  // follows links: a link to a folder shows its target's details. Size is
  // what the file system gives (a folder's own size, where Windows gives 0);
  // attributes as platform/paths.h derives them; ShortName is LongName.
  bool Search();

  bool Busy() const { return busy_; }

 protected:
  // Called once per report; calls OnFind when it is assigned at that moment.
  virtual void DoFind(const std::string& Name, const TSearchFileData& Data, bool& IgnoreSubDir,
                      bool& Continue);

 private:
  // A folder waiting to be enumerated, with the index of its node in the
  // walk's list of folder identities (for the link-cycle guard, see Search).
  struct QueuedFolder {
    std::string Folder;  // ending in the separator
    size_t Node = 0;
  };
  // First in, first out: appended at the back, taken from the front. Cleared
  // at the start of every walk; a stopped walk leaves its rest here.
  std::deque<QueuedFolder> Queue;
  bool busy_ = false;
};

// The Windows directory, or "" where the platform has none or the query fails.
// On POSIX there is none: always "".
std::string WindowsDirectory();

// Internal operations of the unit, declared here for the tests only.
namespace search_file_internal {

// One file time (100 ns since 1601-01-01 UTC) to a local date-time of
// two-second resolution: to local time with the offset from UTC in force
// now, to DOS date and time words (1980..2107 only), decoded. Valid false
// when a step fails; DateTime is then not written.
void FileTimeToDateTime(uint64_t FileTime, bool& Valid, TDateTime& DateTime);

// A DOS date (high 16 bits) and time (low 16 bits) decoded into a date-time.
// False, DateTime not written, when the date or the time is not a valid
// calendar value (month 0, 30 February, hour 24, seconds field 30...).
bool DosDateTimeToDateTime(uint32_t DosDateTime, TDateTime& DateTime);

// While every is true, the walker takes each folder it reads ahead as read
// from the disk (slow), so that the tests reach the threads that read only
// then. The program never sets it.
void CountEveryReadAsSlow(bool every);

// The entry counts as a sub-folder: it carries the directory attribute
// (0x10) and its name is neither "." nor "..".
bool IsSubFolderEntry(uint32_t Attributes, const char* Name);

}  // namespace search_file_internal

}  // namespace vistrune
