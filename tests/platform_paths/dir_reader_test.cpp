// platform/dir_reader.h: enumeration, details, single paths and time
// conversions. Paths here are written with "/" and take the platform's
// separator before use.
#include "platform/dir_reader.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#endif

#include <map>
#include <string>
#include <tuple>

#include "support/platform_setup.h"
#include "support/temp_dir.h"

namespace vistrune::platform {
namespace {

using vistrune::testing::kRootFolder;
#ifdef _WIN32
using vistrune::testing::kNoSymbolicLinks;
#endif
using vistrune::testing::PlatformPath;
using vistrune::testing::SetFileTimes;
using vistrune::testing::TempDir;
using vistrune::testing::UseJapaneseTime;
#ifndef _WIN32
using vistrune::testing::SetTimeZone;
#endif

struct Seen {
  uint32_t attributes = 0;
  bool detailsOk = false;
  EntryDetails details;
};

std::map<std::string, Seen> ReadAll(const std::string& folder, bool withDetails) {
  std::map<std::string, Seen> out;
  DirReader reader;
  EXPECT_TRUE(reader.Open(folder)) << folder;
  while (reader.Next()) {
    EXPECT_EQ(std::string(reader.Name()).size(), reader.NameLength());
    Seen& s = out[reader.Name()];
    s.attributes = reader.Attributes();
    if (withDetails) s.detailsOk = reader.Details(s.details);
  }
  EXPECT_FALSE(reader.Next());  // stays at the end
  return out;
}

// Makes the file at path read-only for everyone.
bool MakeReadOnly(const std::string& path) {
#ifdef _WIN32
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         SetFileAttributesA(path.c_str(), attributes | FILE_ATTRIBUTE_READONLY);
#else
  return chmod(path.c_str(), 0444) == 0;
#endif
}

// Makes the file at path size bytes long without writing them (sparse where
// the file system allows).
bool Resize(const std::string& path, int64_t size) {
#ifdef _WIN32
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER end;
  end.QuadPart = size;
  const bool resized = SetFilePointerEx(handle, end, nullptr, FILE_BEGIN) && SetEndOfFile(handle);
  CloseHandle(handle);
  return resized;
#else
  return truncate(path.c_str(), size) == 0;
#endif
}

// The identity the system itself gives the object at path: device and inode
// on POSIX, volume serial number and file index on Windows.
FileIdentity SystemIdentity(const std::string& path) {
#ifdef _WIN32
  HANDLE handle = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  EXPECT_NE(handle, INVALID_HANDLE_VALUE) << path;
  BY_HANDLE_FILE_INFORMATION info{};
  EXPECT_TRUE(GetFileInformationByHandle(handle, &info)) << path;
  CloseHandle(handle);
  return {info.dwVolumeSerialNumber,
          (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
#else
  struct stat st;
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
  return {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
#endif
}

TEST(DirReader, EntriesAndCheapAttributes) {
#ifdef _WIN32
  GTEST_SKIP() << "The cheap attribute word is POSIX's: Windows gives the whole word with the "
                  "entry (tests/platform_windows checks it), hides by attribute rather than by "
                  "the leading dot, and needs a privilege for symbolic links";
#else
  TempDir t;
  t.MakeDir("dir");
  t.MakeDir(".hdir");
  t.WriteFile("file.avi", "12345");
  t.WriteFile(".hfile", "");
  ASSERT_EQ(symlink((t.Path() + "/dir").c_str(), (t.Path() + "/ldir").c_str()), 0);
  ASSERT_EQ(symlink("file.avi", (t.Path() + "/lfile").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", (t.Path() + "/dangling").c_str()), 0);
  ASSERT_EQ(symlink("dir", (t.Path() + "/.hlink").c_str()), 0);

  // The same whether the file system gives each entry's type or not.
  const auto listed = ReadAll(t.Path(), true);
  IgnoreListedEntryTypes(true);
  auto seen = ReadAll(t.Path(), true);
  IgnoreListedEntryTypes(false);
  ASSERT_EQ(seen.size(), 10u);  // with "." and ".."
  EXPECT_EQ(seen["."].attributes, kAttrDirectory);
  EXPECT_EQ(seen[".."].attributes, kAttrDirectory);
  EXPECT_EQ(seen["dir"].attributes, kAttrDirectory);
  EXPECT_EQ(seen[".hdir"].attributes, kAttrDirectory | kAttrHidden);
  EXPECT_EQ(seen["file.avi"].attributes, 0u);  // no stat for files: no archive bit yet
  EXPECT_EQ(seen[".hfile"].attributes, kAttrHidden);
  EXPECT_EQ(seen["ldir"].attributes, kAttrDirectory | kAttrReparsePoint);
  EXPECT_EQ(seen["lfile"].attributes, kAttrReparsePoint);
  EXPECT_EQ(seen["dangling"].attributes, kAttrReparsePoint);
  EXPECT_EQ(seen[".hlink"].attributes, kAttrDirectory | kAttrReparsePoint | kAttrHidden);
  for (const auto& [name, s] : listed) {
    EXPECT_EQ(seen[name].attributes, s.attributes) << name;
    EXPECT_EQ(seen[name].details.attributes, s.details.attributes) << name;
    EXPECT_EQ(seen[name].details.sizeLow, s.details.sizeLow) << name;
    EXPECT_EQ(seen[name].details.identity, s.details.identity) << name;
  }
#endif
}

TEST(DirReader, Details) {
  TempDir t;
  t.MakeDir("dir");
  std::string file = t.WriteFile("file.avi", "12345");
  std::string big = t.WriteFile("big", "");
  ASSERT_TRUE(Resize(big, (int64_t{1} << 32) + 7));
  ASSERT_TRUE(MakeReadOnly(file));
  ASSERT_TRUE(SetFileTimes(file, {1083827289, 123456789}, {1083827289, 500}));

  auto seen = ReadAll(t.Path(), true);
  for (auto& [name, s] : seen) EXPECT_TRUE(s.detailsOk) << name;

  const EntryDetails& f = seen["file.avi"].details;
  EXPECT_EQ(f.attributes, kAttrArchive | kAttrReadOnly);
  EXPECT_EQ(f.sizeHigh, 0u);
  EXPECT_EQ(f.sizeLow, 5u);
  const uint64_t expected = (1083827289ULL + 11644473600ULL) * 10000000ULL;
  ASSERT_TRUE(f.lastWriteTimeValid);
  EXPECT_EQ(f.lastWriteTime, expected + 1234567);
  ASSERT_TRUE(f.lastAccessTimeValid);
  EXPECT_EQ(f.lastAccessTime, expected + 5);
  EXPECT_EQ(f.identity, SystemIdentity(file));

  const EntryDetails& b = seen["big"].details;
  EXPECT_EQ(b.sizeHigh, 1u);
  EXPECT_EQ(b.sizeLow, 7u);

  EXPECT_EQ(seen["dir"].details.attributes, kAttrDirectory);
}

TEST(DirReader, DetailsOfLinks) {
#ifdef _WIN32
  GTEST_SKIP() << kNoSymbolicLinks;
#else
  TempDir t;
  std::string dir = t.MakeDir("dir");
  ASSERT_EQ(symlink(dir.c_str(), (t.Path() + "/ldir").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", (t.Path() + "/dangling").c_str()), 0);

  auto seen = ReadAll(t.Path(), true);
  for (auto& [name, s] : seen) EXPECT_TRUE(s.detailsOk) << name;

  const EntryDetails& d = seen["dir"].details;
  EXPECT_EQ(d.attributes, kAttrDirectory);
  const EntryDetails& l = seen["ldir"].details;
  EXPECT_EQ(l.attributes, kAttrDirectory | kAttrReparsePoint);
  EXPECT_EQ(l.identity, d.identity);  // the link's target
  const EntryDetails& g = seen["dangling"].details;
  EXPECT_EQ(g.attributes, kAttrReparsePoint);  // the link itself
  EXPECT_NE(g.identity, d.identity);
#endif
}

TEST(DirReader, OpenFailuresAndReuse) {
  TempDir t;
  std::string file = t.WriteFile("f", "x");
  t.MakeDir("a/x");
  t.MakeDir("b/y");
  DirReader reader;
  EXPECT_FALSE(reader.IsOpen());
  EXPECT_FALSE(reader.Next());
  EntryDetails details;
  EXPECT_FALSE(reader.Details(details));
  EXPECT_FALSE(reader.Open(t.Path() + PlatformPath("/missing")));
  EXPECT_FALSE(reader.Open(file));
  EXPECT_FALSE(reader.Open(""));
  EXPECT_FALSE(reader.Open(t.Slash() + std::string(5000, 'x')));
  EXPECT_FALSE(reader.IsOpen());

  // One reader, one directory after another; a trailing separator is fine.
  for (const char* sub : {"a/", "b"}) {
    ASSERT_TRUE(reader.Open(t.Slash() + PlatformPath(sub)));
    int found = 0;
    while (reader.Next()) {
      std::string n = reader.Name();
      if (n != "." && n != "..") ++found;
    }
    EXPECT_EQ(found, 1);
  }
  reader.Close();
  reader.Close();
  EXPECT_FALSE(reader.IsOpen());
}

// A folder opened relative to the folder kept open for it, not by its path:
// found after its parent was renamed; by the path when nothing is held.
// "." and ".." cost no stat where entry types are unknown.
TEST(DirReader, OpensRelativeToTheFolderKeptOpen) {
#ifdef _WIN32
  GTEST_SKIP() << "A Windows search takes a folder by its whole path: nothing is kept open";
#else
  TempDir t;
  t.MakeDir("a/b/x");
  t.WriteFile("a/b/file", "");
  DirReader reader;
  ASSERT_TRUE(reader.Open(t.Path() + "/a/"));
  OpenFolder kept = reader.Keep();
  EXPECT_FALSE(reader.IsOpen());
  ASSERT_TRUE(kept.Held());
  ASSERT_EQ(rename((t.Path() + "/a").c_str(), (t.Path() + "/c").c_str()), 0);
  const std::string b = t.Path() + "/a/b/";
  EXPECT_FALSE(reader.Open(b, nullptr));
  IgnoreListedEntryTypes(true);
  ASSERT_TRUE(reader.Open(b, &kept));
  std::map<std::string, uint32_t> seen;
  while (reader.Next()) seen[reader.Name()] = reader.Attributes();
  IgnoreListedEntryTypes(false);
  EXPECT_EQ(
      seen,
      (std::map<std::string, uint32_t>{
          {".", kAttrDirectory}, {"..", kAttrDirectory}, {"x", kAttrDirectory}, {"file", 0}}));
  EXPECT_EQ(reader.Stats(), 2u);  // x and file, not "." nor ".."
#endif
}

TEST(DirReader, ManyEntriesSpanSeveralReads) {
  TempDir t;
  // About 56 bytes per entry: more than the POSIX reader's 32 KiB buffer
  // holds.
  for (int i = 0; i < 1000; ++i) t.MakeDir("entry-with-a-longish-name-" + std::to_string(i));
  auto seen = ReadAll(t.Path(), false);
  EXPECT_EQ(seen.size(), 1002u);
  for (const auto& [name, s] : seen) EXPECT_EQ(s.attributes, kAttrDirectory) << name;
}

// Where stats are slow the reader makes them ahead, a batch of entries at
// once: each entry gets what the stats made one at a time give it, over more
// entries than the requests in flight at once and more than one read's
// buffer holds, with and without entry types and the folders' details.
TEST(DirReader, StatsMadeAheadGiveWhatOneAtATimeGives) {
#ifdef _WIN32
  GTEST_SKIP() << "A Windows search gives the details with the names: no stat to make ahead";
#else
  TempDir t;
  // In a folder of its own, so that ".." is one no other test changes.
  const std::string folder = t.MakeDir("in");
  const std::string longName(90, 'n');
  for (int i = 0; i < 200; ++i) {
    t.MakeDir("in/d" + std::to_string(i) + longName);
    t.WriteFile("in/.f" + std::to_string(i) + longName, std::string(static_cast<size_t>(i), 'x'));
  }
  for (const char* target : {"d7" /* a folder */, ".f3" /* a file */, "nowhere"})
    ASSERT_EQ(symlink((std::string(target) + (target[0] == 'n' ? "" : longName)).c_str(),
                      (folder + "/link-" + target).c_str()),
              0);
  auto read = [&](bool foldersAhead, bool withDetails) {
    std::string out;
    DirReader reader;
    reader.DetailsOfFoldersAhead(foldersAhead);
    EXPECT_TRUE(reader.Open(folder));
    while (reader.Next()) {
      EntryDetails d;
      const bool ok = withDetails && reader.Details(d);
      out += std::string(reader.Name()) + ' ' + std::to_string(reader.Attributes()) + ' ' +
             std::to_string(ok) + ' ' + std::to_string(d.attributes) + ' ' +
             std::to_string(d.sizeLow) + ' ' + std::to_string(d.lastWriteTime) + ' ' +
             std::to_string(d.creationTime) + ' ' + std::to_string(d.identity.inode) + '\n';
    }
    return out + "stats " + std::to_string(reader.Stats());
  };
  for (const auto& [ignoreTypes, foldersAhead, withDetails] :
       {std::tuple{true, false, false}, std::tuple{true, true, true}, std::tuple{false, true, true},
        std::tuple{false, false, true}}) {
    IgnoreListedEntryTypes(ignoreTypes);
    const std::string oneAtATime = read(foldersAhead, withDetails);
    CountEveryStatAsSlow(true);
    const std::string ahead = read(foldersAhead, withDetails);
    CountEveryStatAsSlow(false);
    IgnoreListedEntryTypes(false);
    EXPECT_EQ(ahead, oneAtATime) << "types ignored " << ignoreTypes << ", folders ahead "
                                 << foldersAhead << ", details " << withDetails;
  }
#endif
}

// One reader, its stats made ahead in one folder and then, fast again, one
// at a time in a folder laid out alike: the entries there, which sit where
// those of the first did in the reader's buffer, get their own details.
// Whether the second folder's stats count as fast depends on the machine's
// load at the time, so the pair is read a few times.
TEST(DirReader, StatsMadeAheadStayWithTheirFolder) {
#ifdef _WIN32
  GTEST_SKIP() << "A Windows search gives the details with the names: no stat to make ahead";
#else
  TempDir t;
  for (const char* folder : {"a", "b"})
    for (int i = 0; i < 10; ++i) t.MakeDir(std::string(folder) + "/d" + std::to_string(i));
  DirReader reader;
  reader.DetailsOfFoldersAhead(true);
  for (int round = 0; round < 10; ++round) {
    const bool slow = round % 2 == 0;
    CountEveryStatAsSlow(slow);
    const std::string folder = t.Path() + (slow ? "/a" : "/b");
    ASSERT_TRUE(reader.Open(folder));
    while (reader.Next()) {
      if (reader.Name()[0] == '.') continue;  // as the walker, which asks only of sub-folders
      EntryDetails listed, own;
      ASSERT_TRUE(reader.Details(listed)) << reader.Name();
      ASSERT_TRUE(StatPath(folder + "/" + reader.Name(), own));
      EXPECT_EQ(listed.identity, own.identity) << folder << "/" << reader.Name();
    }
  }
  CountEveryStatAsSlow(false);
#endif
}

TEST(GetPathEntry, ExactPaths) {
  TempDir t;
  std::string dir = t.MakeDir("dir");
  std::string name = "x";
  EntryDetails details;

  ASSERT_TRUE(GetPathEntry(dir, name, details));
  EXPECT_EQ(name, "dir");
  EXPECT_EQ(details.attributes, kAttrDirectory);

  // A path ending in a separator has no entry (as on Windows).
  EXPECT_FALSE(GetPathEntry(dir + kPathDelimiter, name, details));
  EXPECT_FALSE(GetPathEntry(kRootFolder, name, details));
  EXPECT_FALSE(GetPathEntry("", name, details));
  EXPECT_FALSE(GetPathEntry(t.Path() + PlatformPath("/missing"), name, details));

  ASSERT_TRUE(StatPath(dir + kPathDelimiter, details));
  EXPECT_EQ(details.attributes, kAttrDirectory);
  EXPECT_FALSE(StatPath("", details));
}

TEST(GetPathEntry, LinksAndLeadingDots) {
#ifdef _WIN32
  GTEST_SKIP() << kNoSymbolicLinks << ", and Windows hides by attribute, not by the leading dot";
#else
  TempDir t;
  std::string dir = t.MakeDir(".dir");
  std::string link = t.Path() + "/link";
  ASSERT_EQ(symlink(dir.c_str(), link.c_str()), 0);
  std::string name = "x";
  EntryDetails details;

  ASSERT_TRUE(GetPathEntry(dir, name, details));
  EXPECT_EQ(name, ".dir");
  EXPECT_EQ(details.attributes, kAttrDirectory | kAttrHidden);
  EntryDetails dirDetails = details;

  ASSERT_TRUE(GetPathEntry(link, name, details));
  EXPECT_EQ(name, "link");
  EXPECT_EQ(details.attributes, kAttrDirectory | kAttrReparsePoint);
  EXPECT_EQ(details.identity, dirDetails.identity);

  ASSERT_TRUE(StatPath(link, details));
  EXPECT_EQ(details.identity, dirDetails.identity);
  EXPECT_EQ(details.attributes, kAttrDirectory);
  ASSERT_TRUE(StatPath(dir + "/", details));
  EXPECT_EQ(details.attributes, kAttrDirectory | kAttrHidden);
#endif
}

// --- Time conversions ------------------------------------------------------

class FileTimes : public testing::UtcTimeTest {};

constexpr uint64_t k1970 = 116444736000000000ULL;

TEST_F(FileTimes, FromUnixTime) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows gives file times as they are: it has no conversion from POSIX time "
                  "stamps";
#else
  FileTime ft = 1;
  ASSERT_TRUE(UnixTimeToFileTime(0, 0, ft));
  EXPECT_EQ(ft, k1970);
  ASSERT_TRUE(UnixTimeToFileTime(1, 999999999, ft));
  EXPECT_EQ(ft, k1970 + 19999999);
  ASSERT_TRUE(UnixTimeToFileTime(-11644473600, 0, ft));
  EXPECT_EQ(ft, 0u);
  EXPECT_FALSE(UnixTimeToFileTime(-11644473601, 0, ft));
  EXPECT_FALSE(UnixTimeToFileTime(INT64_MAX, 0, ft));
  EXPECT_FALSE(UnixTimeToFileTime(0, -1, ft));
  EXPECT_FALSE(UnixTimeToFileTime(0, 1000000000, ft));
#endif
}

TEST_F(FileTimes, UtcToLocalAddsTheCurrentOffset) {
  UseJapaneseTime();
  FileTime local = 0;
  EXPECT_EQ(CurrentUtcOffsetSeconds(), 9 * 3600);
  ASSERT_TRUE(UtcToLocalFileTime(k1970, local));
  EXPECT_EQ(local, k1970 + 9ULL * 3600 * 10000000);
  EXPECT_FALSE(UtcToLocalFileTime(~uint64_t{0} >> 1, local));  // past the end of the range
  EXPECT_FALSE(UtcToLocalFileTime(uint64_t{1} << 63, local));
}

TEST_F(FileTimes, OffsetFollowsTheTimeZone) {
#ifdef _WIN32
  GTEST_SKIP() << "A Windows program cannot change its time zone: it is the system's";
#else
  FileTime local = 0;
  EXPECT_EQ(CurrentUtcOffsetSeconds(), 0);
  ASSERT_TRUE(UtcToLocalFileTime(k1970, local));
  EXPECT_EQ(local, k1970);

  SetTimeZone("EST5");
  EXPECT_EQ(CurrentUtcOffsetSeconds(), -5 * 3600);
  ASSERT_TRUE(UtcToLocalFileTime(k1970, local));
  EXPECT_EQ(local, k1970 - 5ULL * 3600 * 10000000);
  EXPECT_FALSE(UtcToLocalFileTime(0, local));  // before 1601

  // The cache holds the offset until it is reset or a few seconds pass.
  setenv("TZ", "UTC", 1);
  tzset();
  EXPECT_EQ(CurrentUtcOffsetSeconds(), -5 * 3600);
  ResetUtcOffsetCache();
  EXPECT_EQ(CurrentUtcOffsetSeconds(), 0);
#endif
}

TEST_F(FileTimes, DosDateTime) {
  uint16_t date = 0, time = 0;
  auto at = [](int64_t unixSeconds) {
    return static_cast<FileTime>(unixSeconds + 11644473600LL) * 10000000ULL;
  };
  ASSERT_TRUE(LocalFileTimeToDosDateTime(at(1083827289) + 9999999, date, time));
  EXPECT_EQ(date, (24 << 9) | (5 << 5) | 6);
  EXPECT_EQ(time, (7 << 11) | (8 << 5) | 4);
  ASSERT_TRUE(LocalFileTimeToDosDateTime(at(315532800), date, time));
  EXPECT_EQ(date, (0 << 9) | (1 << 5) | 1);
  EXPECT_EQ(time, 0);
  ASSERT_TRUE(LocalFileTimeToDosDateTime(at(4354819199), date, time));
  EXPECT_EQ(date, (127 << 9) | (12 << 5) | 31);
  EXPECT_EQ(time, (23 << 11) | (59 << 5) | 29);
  EXPECT_FALSE(LocalFileTimeToDosDateTime(at(315532799), date, time));
  EXPECT_FALSE(LocalFileTimeToDosDateTime(at(4354819200), date, time));
  EXPECT_FALSE(LocalFileTimeToDosDateTime(0, date, time));
  EXPECT_FALSE(LocalFileTimeToDosDateTime(uint64_t{1} << 63, date, time));
  // Leap day.
  ASSERT_TRUE(LocalFileTimeToDosDateTime(at(951782400) /* 2000-02-29 */, date, time));
  EXPECT_EQ(date, (20 << 9) | (2 << 5) | 29);
}

}  // namespace
}  // namespace vistrune::platform
