// platform/dir_reader.h on Windows: the search's entries, their details and
// short names, single entries, and the system's time conversions.
#include "platform/dir_reader.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>

#include "support/temp_dir.h"

namespace vistrune::platform {
namespace {

using vistrune::testing::TempDir;

const std::string kHyo = "\x95\x5c";  // 表, second byte 0x5C

std::map<std::string, EntryDetails> ReadAll(const std::string& folder) {
  std::map<std::string, EntryDetails> out;
  DirReader reader;
  EXPECT_TRUE(reader.Open(folder)) << folder;
  while (reader.Next()) {
    EXPECT_EQ(std::string(reader.Name()).size(), reader.NameLength());
    EntryDetails& details = out[reader.Name()];
    EXPECT_TRUE(reader.Details(details)) << reader.Name();
    EXPECT_EQ(details.attributes, reader.Attributes());
  }
  EXPECT_FALSE(reader.Next());  // stays at the end
  return out;
}

TEST(DirReader, EntriesWithDetailsAndShortNames) {
  TempDir t;
  const std::string dir = t.MakeDir(kHyo);
  t.MakeDir("A folder name far beyond eight.three");
  t.MakeDir("SHORT");
  const std::string file = t.WriteFile("clip.avi", "12345");
  const std::string big = t.WriteFile("big", "");
  HANDLE handle = CreateFileA(big.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  LARGE_INTEGER size;
  size.QuadPart = (int64_t{1} << 32) + 7;
  EXPECT_TRUE(SetFilePointerEx(handle, size, nullptr, FILE_BEGIN) && SetEndOfFile(handle));
  CloseHandle(handle);
  ASSERT_TRUE(SetFileAttributesA(dir.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));

  // With or without the trailing separator.
  for (const std::string& folder : {t.Path(), t.Slash()}) {
    auto seen = ReadAll(folder);
    ASSERT_EQ(seen.size(), 7u) << folder;  // "." and ".." included
    EXPECT_TRUE(seen["."].attributes & kAttrDirectory);
    EXPECT_EQ(seen[kHyo].attributes & (kAttrDirectory | kAttrHidden | kAttrSystem),
              kAttrDirectory | kAttrHidden | kAttrSystem);
    EXPECT_EQ(seen["clip.avi"].attributes & kAttrDirectory, 0u);
    EXPECT_EQ(seen["clip.avi"].sizeLow, 5u);
    EXPECT_EQ(seen["big"].sizeHigh, 1u);
    EXPECT_EQ(seen["big"].sizeLow, 7u);
    // A name that is no 8.3 name has an alternate one of that form; one
    // that is keeps none.
    const std::string& alternate = seen["A folder name far beyond eight.three"].shortName;
    EXPECT_FALSE(alternate.empty());
    EXPECT_LE(alternate.size(), 12u);
    EXPECT_NE(alternate.find('~'), std::string::npos) << alternate;
    EXPECT_EQ(seen["SHORT"].shortName, "");
    EXPECT_NE(seen["SHORT"].identity, seen[kHyo].identity);
  }

  // The same folder has the same identity however it is reached.
  EntryDetails byStat, byEntry;
  std::string name;
  ASSERT_TRUE(StatPath(dir + "\\", byStat));
  ASSERT_TRUE(GetPathEntry(dir, name, byEntry));
  EXPECT_EQ(name, kHyo);
  EXPECT_NE(byStat.identity, FileIdentity{});
  EXPECT_EQ(byStat.identity, byEntry.identity);
  EXPECT_EQ(byStat.identity, ReadAll(t.Path())[kHyo].identity);
}

TEST(DirReader, WhatCannotBeOpenedAndWhatHasNoEntry) {
  TempDir t;
  const std::string file = t.WriteFile("f", "x");
  DirReader reader;
  EXPECT_FALSE(reader.Open(t.Path() + "\\missing"));
  EXPECT_FALSE(reader.Open(file));
  EXPECT_FALSE(reader.Open(""));
  EXPECT_FALSE(reader.Open(std::string("\0C:\\", 4)));  // not the root of the current drive
  EXPECT_FALSE(reader.Open(t.Path() + "\\" + std::string(300, 'x')));
  EXPECT_FALSE(reader.IsOpen());

  // Single entries: a path that ends in a separator, a drive root, a
  // wildcard and a missing path have none; the existence query still sees
  // the first two.
  std::string name;
  EntryDetails details;
  for (const std::string& path : {t.Slash(), std::string("C:\\"), t.Path() + "\\*",
                                  t.Path() + "\\f?", t.Path() + "\\missing"})
    EXPECT_FALSE(GetPathEntry(path, name, details)) << path;
  EXPECT_TRUE(StatPath(t.Slash(), details));
  EXPECT_TRUE(StatPath("C:\\", details));
  EXPECT_TRUE(details.attributes & kAttrDirectory);
  EXPECT_FALSE(StatPath(t.Path() + "\\*", details));
  EXPECT_FALSE(StatPath("", details));
}

// 100-nanosecond intervals since 1601 of a time given as seconds since 1970.
FileTime At(int64_t unixSeconds) {
  return static_cast<FileTime>(unixSeconds + 11644473600LL) * 10000000ULL;
}

TEST(FileTimes, SystemConversionsAndTheirLimits) {
  TIME_ZONE_INFORMATION zone;
  const DWORD kind = GetTimeZoneInformation(&zone);
  const LONG bias =
      zone.Bias + (kind == TIME_ZONE_ID_DAYLIGHT ? zone.DaylightBias : zone.StandardBias);
  const int64_t offset = CurrentUtcOffsetSeconds();
  EXPECT_EQ(offset, -int64_t{bias} * 60);

  FileTime local = 0;
  ASSERT_TRUE(UtcToLocalFileTime(At(1083827289), local));
  EXPECT_EQ(static_cast<int64_t>(local - At(1083827289)), offset * 10000000);
  // Beyond the range of a file time, either way round.
  const FileTime last = (FileTime{1} << 63) - 1;
  EXPECT_EQ(UtcToLocalFileTime(last, local), offset <= 0);
  EXPECT_EQ(UtcToLocalFileTime(0, local), offset >= 0);
  EXPECT_FALSE(UtcToLocalFileTime(FileTime{1} << 63, local));

  uint16_t date = 0, time = 0;
  ASSERT_TRUE(LocalFileTimeToDosDateTime(At(1083827289), date, time));  // 2004-05-06 07:08:09
  EXPECT_EQ(date, (24 << 9) | (5 << 5) | 6);
  EXPECT_EQ(time, (7 << 11) | (8 << 5) | 4);                           // the odd second drops
  ASSERT_TRUE(LocalFileTimeToDosDateTime(At(315532800), date, time));  // 1980-01-01
  EXPECT_EQ(date, (1 << 5) | 1);
  ASSERT_TRUE(LocalFileTimeToDosDateTime(At(4354819199), date, time));  // 2107-12-31 23:59:59
  EXPECT_EQ(date, (127 << 9) | (12 << 5) | 31);
  EXPECT_FALSE(LocalFileTimeToDosDateTime(At(315532799), date, time));
  EXPECT_FALSE(LocalFileTimeToDosDateTime(At(4354819200), date, time));
  EXPECT_FALSE(LocalFileTimeToDosDateTime(FileTime{1} << 63, date, time));
}

}  // namespace
}  // namespace vistrune::platform
