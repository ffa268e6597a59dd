// dir_reader.h on Windows: FindFirstFileA/FindNextFileA for enumeration and
// single entries, FileTimeToLocalFileTime and FileTimeToDosDateTime for time
// stamps.
#ifdef _WIN32

#include <windows.h>

#include <cstring>
#include <string_view>

#include "platform/dir_reader.h"

namespace vistrune::platform {

namespace {

constexpr uint64_t kFileTimeLimit = uint64_t{1} << 63;  // first value out of range
// The range of DOS dates: 1980-01-01 00:00 to the end of 2107.
constexpr uint64_t kFirstDosTime = 119600064000000000;
constexpr uint64_t kEndOfDosTimes = 159992928000000000;  // 2108-01-01 00:00

FileTime FromFileTime(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME ToFileTime(FileTime time) {
  return {static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
}

// A name field of the search's record, up to its NUL and within the field.
template <size_t N>
std::string_view FieldText(const char (&field)[N]) {
  return std::string_view(field, strnlen(field, N));
}

FileIdentity IdentityFrom(const BY_HANDLE_FILE_INFORMATION& info) {
  return {info.dwVolumeSerialNumber,
          (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

// The identity of the object at path, following a link; of the link itself
// when it leads nowhere. {0, 0} when it cannot be opened at all.
FileIdentity IdentityOf(const std::string& path) {
  for (DWORD flags : {DWORD{FILE_FLAG_BACKUP_SEMANTICS},
                      DWORD{FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT}}) {
    // No access asked for: opening only to ask, which folders allow too.
    HANDLE handle =
        CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) continue;
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = GetFileInformationByHandle(handle, &info) != 0;
    CloseHandle(handle);
    if (known) return IdentityFrom(info);
  }
  return {};
}

// Attributes, size and time stamps from any of the system's records that
// carry them under the same names (the search's, a handle's, a path's).
template <typename Record>
EntryDetails DetailsFrom(const Record& record) {
  EntryDetails out;
  out.attributes = record.dwFileAttributes;
  out.sizeHigh = record.nFileSizeHigh;
  out.sizeLow = record.nFileSizeLow;
  out.creationTimeValid = out.lastWriteTimeValid = out.lastAccessTimeValid = true;
  out.creationTime = FromFileTime(record.ftCreationTime);
  out.lastWriteTime = FromFileTime(record.ftLastWriteTime);
  out.lastAccessTime = FromFileTime(record.ftLastAccessTime);
  return out;
}

void FromFindData(const WIN32_FIND_DATAA& data, const std::string& path, EntryDetails& out) {
  out = DetailsFrom(data);
  out.identity = IdentityOf(path);
  out.shortName.assign(FieldText(data.cAlternateFileName));
}

}  // namespace

struct DirReader::Search {
  HANDLE handle = INVALID_HANDLE_VALUE;  // none when the folder held no entry
  std::string folder;                    // the folder, ending in the separator
  WIN32_FIND_DATAA data;
  bool firstPending = false;  // data holds the first entry, not yet delivered
};

// --- DirReader -------------------------------------------------------------

// A search takes a folder by its whole path: nothing is held.
OpenFolder::~OpenFolder() = default;
OpenFolder::OpenFolder(OpenFolder&&) noexcept = default;
OpenFolder& OpenFolder::operator=(OpenFolder&&) noexcept = default;

bool OpenFolder::Held() const {
  return false;
}

DirReader::DirReader() = default;

DirReader::~DirReader() {
  Close();
}

void DirReader::Close() {
  if (search_ && search_->handle != INVALID_HANDLE_VALUE) FindClose(search_->handle);
  search_.reset();
  name_ = "";
  nameLength_ = 0;
  attributes_ = 0;
}

bool DirReader::Open(const std::string& folder, const OpenFolder*) {
  return Open(folder);
}

OpenFolder DirReader::Keep() {
  Close();
  return {};
}

bool DirReader::Open(const std::string& folder) {
  Close();
  stats_ = 0;
  // The path ends at its first NUL, as the system would read it.
  auto search = std::make_unique<Search>();
  search->folder = folder.c_str();
  if (search->folder.empty()) return false;
  if (!EndsWithDelimiter(search->folder)) search->folder += kPathDelimiter;
  const std::string pattern = search->folder + "*.*";
  // A larger fetch: fewer round trips for a folder on a network share.
  search->handle = FindFirstFileExA(pattern.c_str(), FindExInfoStandard, &search->data,
                                    FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (search->handle == INVALID_HANDLE_VALUE) {
    // A folder without a single entry, not even "." (a drive root), is
    // still a folder that was read.
    if (GetLastError() != ERROR_FILE_NOT_FOUND) return false;
  } else {
    search->firstPending = true;
  }
  search_ = std::move(search);
  return true;
}

bool DirReader::Next() {
  if (!search_) return false;
  Search& search = *search_;
  bool found = false;
  if (search.firstPending) {
    search.firstPending = false;
    found = true;
  } else if (search.handle != INVALID_HANDLE_VALUE) {
    found = FindNextFileA(search.handle, &search.data) != 0;
  }
  if (!found) {
    name_ = "";
    nameLength_ = 0;
    attributes_ = 0;
    return false;
  }
  name_ = search.data.cFileName;
  nameLength_ = FieldText(search.data.cFileName).size();
  attributes_ = search.data.dwFileAttributes;
  return true;
}

bool DirReader::Details(EntryDetails& details) {
  if (!search_ || nameLength_ == 0) return false;
  ++stats_;
  FromFindData(search_->data, search_->folder + std::string(name_, nameLength_), details);
  return true;
}

void DirReader::DetailsOfFoldersAhead(bool) {}

bool ThreadWaits(uint64_t&) {
  return false;
}

// --- Single paths ----------------------------------------------------------

bool GetPathEntry(const std::string& path, std::string& name, EntryDetails& details) {
  const std::string exact = path.c_str();
  if (exact.find_first_of("*?") != std::string::npos) return false;
  WIN32_FIND_DATAA data;
  HANDLE handle = FindFirstFileA(exact.c_str(), &data);
  if (handle == INVALID_HANDLE_VALUE) return false;
  FindClose(handle);
  name.assign(FieldText(data.cFileName));
  FromFindData(data, exact, details);
  return true;
}

bool StatPath(const std::string& path, EntryDetails& details) {
  if (path.c_str()[0] == '\0') return false;
  HANDLE handle =
      CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = GetFileInformationByHandle(handle, &info) != 0;
    CloseHandle(handle);
    if (known) {
      details = DetailsFrom(info);
      details.identity = IdentityFrom(info);
      return true;
    }
  }
  // Something that exists may still refuse to be opened (a file another
  // program holds without sharing): its attributes are known all the same.
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
  details = DetailsFrom(data);
  return true;
}

// --- Time conversions ------------------------------------------------------

int64_t CurrentUtcOffsetSeconds() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  FILETIME local;
  if (!FileTimeToLocalFileTime(&now, &local)) return 0;
  const int64_t ticks =
      static_cast<int64_t>(FromFileTime(local)) - static_cast<int64_t>(FromFileTime(now));
  return ticks / 10000000;
}

bool UtcToLocalFileTime(FileTime utc, FileTime& local) {
  if (utc >= kFileTimeLimit) return false;
  const FILETIME in = ToFileTime(utc);
  FILETIME out;
  if (!FileTimeToLocalFileTime(&in, &out)) return false;
  // The system adds the offset without a range check: a stamp shortly after
  // 1601 west of Greenwich wraps around, one shortly before the end of the
  // range east of it overflows. Both land at 2^63 or beyond.
  const FileTime result = FromFileTime(out);
  if (result >= kFileTimeLimit) return false;
  local = result;
  return true;
}

bool LocalFileTimeToDosDateTime(FileTime local, uint16_t& dosDate, uint16_t& dosTime) {
  // Windows refuses the years a DOS date cannot hold; some of its
  // imitations (Wine) let the year wrap around instead.
  if (local < kFirstDosTime || local >= kEndOfDosTimes) return false;
  const FILETIME in = ToFileTime(local);
  WORD date, time;
  if (!FileTimeToDosDateTime(&in, &date, &time)) return false;
  dosDate = date;
  dosTime = time;
  return true;
}

}  // namespace vistrune::platform

#endif  // _WIN32
