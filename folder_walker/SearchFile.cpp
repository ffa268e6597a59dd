#include "folder_walker/SearchFile.h"

#include <cstring>
#include <utility>
#include <vector>

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
// the logical path from the start folder down to any folder.
struct FolderNode {
  platform::FileIdentity identity;
  size_t parent;
};
constexpr size_t kNoParent = static_cast<size_t>(-1);

bool IsOnPath(const std::vector<FolderNode>& nodes, size_t node,
              const platform::FileIdentity& identity) {
  for (; node != kNoParent; node = nodes[node].parent) {
    if (nodes[node].identity == identity) return true;
  }
  return false;
}

}  // namespace

void TSearchDir::DoFind(const std::string& Name, const TSearchFileData& Data, bool& IgnoreSubDir,
                        bool& Continue) {
  if (!OnFind) return;
  // The handler may assign or clear OnFind while it runs; keep the callable
  // that runs alive until it returns.
  TSearchDirEvent handler = OnFind;
  handler(this, Name, Data, IgnoreSubDir, Continue);
}

bool TSearchDir::Search() {
  // Steps 1-3.
  if (busy_) return false;
  if (!OnFind) return false;

  // Steps 4-5: the start path, and the existence query (which also gives the
  // identity of the start folder for the link-cycle guard).
  std::string start;
  platform::ExpandPath(BaseDir, start);
  platform::EntryDetails startDetails;
  if (start.empty() || !platform::StatPath(start, startDetails)) return false;

  // Step 6: idle again on every way out.
  struct BusyGuard {
    bool& busy;
    explicit BusyGuard(bool& b) : busy(b) { busy = true; }
    ~BusyGuard() { busy = false; }
  } busyGuard(busy_);

  // Step 7.
  Queue.clear();
  bool Continue = true;
  std::vector<FolderNode> nodes;
  nodes.push_back({startDetails.identity, kNoParent});

  // Step 8: the start folder.
  {
    bool IgnoreSubDir = false;
    TSearchFileData data;
    std::string entryName;
    platform::EntryDetails entry;
    if (platform::GetPathEntry(start, entryName, entry))
      FillSearchFileData(entryName.data(), entryName.size(), entry, data);
    DoFind(start, data, IgnoreSubDir, Continue);
    if (!Continue) return false;  // step 11
    if (!IgnoreSubDir) Queue.push_back({start, 0});
  }

  // Step 9. One reader, so at most one directory is open; its destructor
  // closes it when a handler's exception leaves Search.
  platform::DirReader reader;
  std::string folder;
  TSearchFileData data;
  while (!Queue.empty()) {
    folder = std::move(Queue.front().Folder);
    const size_t parentNode = Queue.front().Node;
    Queue.pop_front();
    if (!platform::EndsWithDelimiter(folder)) folder += platform::kPathDelimiter;
    if (!reader.Open(folder)) continue;  // gone, denied, too long: no entries

    while (reader.Next()) {
      if (!IsSubFolderEntry(reader.Attributes(), reader.Name())) continue;
      std::string name;
      name.reserve(folder.size() + reader.NameLength());
      name.append(folder).append(reader.Name(), reader.NameLength());

      platform::EntryDetails entry;
      bool enter = true;
      if (reader.Details(entry)) {
        FillSearchFileData(reader.Name(), reader.NameLength(), entry, data);
        if (reader.IsLink() && IsOnPath(nodes, parentNode, entry.identity)) enter = false;
      } else {
        // The entry went away between listing and stat: report what the
        // listing said.
        data = TSearchFileData{};
        FillNames(reader.Name(), reader.NameLength(), data);
        FillAttributes(reader.Attributes(), data);
        entry.identity = {};
      }

      bool IgnoreSubDir = false;
      DoFind(name, data, IgnoreSubDir, Continue);
      if (!Continue) return false;  // step 11: reader and busy flag released
      if (!IgnoreSubDir && enter) {
        nodes.push_back({entry.identity, parentNode});
        Queue.push_back({std::move(name), nodes.size() - 1});
      }
    }
    reader.Close();
  }
  // Step 10.
  return true;
}

std::string WindowsDirectory() {
  return platform::WindowsDirectoryPath();
}

}  // namespace vistrune
