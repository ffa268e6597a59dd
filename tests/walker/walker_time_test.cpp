// Time stamps in the walker's record: two-second resolution, 1980..2107
// local only, the current offset from UTC; and the unit's internal helpers.
#include <gtest/gtest.h>
#include <time.h>

#include <map>
#include <string>

#include "folder_walker/SearchFile.h"
#include "platform/dir_reader.h"
#include "platform/paths.h"
#include "support/platform_setup.h"
#include "support/temp_dir.h"

namespace vistrune {
namespace {

using search_file_internal::DosDateTimeToDateTime;
using search_file_internal::FileTimeToDateTime;
using search_file_internal::IsSubFolderEntry;
using testing::PlatformPath;
using testing::SetFileTimes;
using testing::TempDir;
using testing::UseJapaneseTime;

#ifndef _WIN32
using testing::SetTimeZone;
#endif

class TimeTest : public testing::UtcTimeTest {};

// Seconds since 1970-01-01 00:00 UTC of a local time given as seconds since
// 1970-01-01 00:00 local time, by the offset in force now.
int64_t FromLocal(int64_t localSeconds) {
  return localSeconds - platform::CurrentUtcOffsetSeconds();
}

constexpr double kSecond = 1.0 / 86400.0;

double At(double days, int h, int m, int s) {
  return days + (h * 3600 + m * 60 + s) * kSecond;
}

// Sets the times of path, given as local times.
void SetLocalTimes(const std::string& path, int64_t mtime, int64_t atime) {
  ASSERT_TRUE(SetFileTimes(path, {FromLocal(mtime)}, {FromLocal(atime)})) << path;
}

std::map<std::string, TSearchFileData> WalkData(const std::string& base) {
  std::map<std::string, TSearchFileData> out;
  TSearchDir walker;
  walker.BaseDir = base;
  // Only the first level, and no folder below the start is opened: reading a
  // folder may update its access time.
  walker.OnFind = [&](TSearchDir*, const std::string& Name, const TSearchFileData& Data,
                      bool& IgnoreSubDir, bool&) {
    out[Data.LongName] = Data;
    IgnoreSubDir = Name != base;
  };
  EXPECT_TRUE(walker.Search());
  return out;
}

// The file time of a local time given as seconds since 1970-01-01 00:00
// local time.
uint64_t FileTimeOfLocal(int64_t localSeconds) {
  return static_cast<uint64_t>(FromLocal(localSeconds) + 11644473600LL) * 10000000ULL;
}

TEST_F(TimeTest, OddSecondsDropAndOutOfRangeIsInvalid) {
  TempDir t;
  SetLocalTimes(t.MakeDir("odd"), 1083827289 /* 2004-05-06 07:08:09 */, 170812800 /* 1975-06-01 */);
  SetLocalTimes(t.MakeDir("late"), 4417977600 /* 2110-01-01 */,
                4354819199 /* 2107-12-31 23:59:59 */);
  SetLocalTimes(t.MakeDir("edge"), 315532800 /* 1980-01-01 00:00:00 */,
                315532799 /* 1979-12-31 23:59:59 */);
  auto data = WalkData(t.Path());
  ASSERT_EQ(data.size(), 4u);

  const TSearchFileData& odd = data["odd"];
  ASSERT_TRUE(odd.LastWriteTimeValid);
  EXPECT_DOUBLE_EQ(odd.LastWriteTime, At(38113, 7, 8, 8));
  EXPECT_FALSE(odd.LastAccessTimeValid);

  const TSearchFileData& late = data["late"];
  EXPECT_FALSE(late.LastWriteTimeValid);
  ASSERT_TRUE(late.LastAccessTimeValid);
  EXPECT_DOUBLE_EQ(late.LastAccessTime, At(75971, 23, 59, 58));

  const TSearchFileData& edge = data["edge"];
  ASSERT_TRUE(edge.LastWriteTimeValid);
  EXPECT_DOUBLE_EQ(edge.LastWriteTime, 29221.0);
  EXPECT_FALSE(edge.LastAccessTimeValid);
}

TEST_F(TimeTest, CreationTimeIsNowWhereTheFileSystemKeepsIt) {
  TempDir t;
  t.MakeDir("new");
  auto data = WalkData(t.Path());
  const TSearchFileData& d = data["new"];
  platform::EntryDetails details;
  ASSERT_TRUE(platform::StatPath(t.Path() + PlatformPath("/new"), details));
  EXPECT_EQ(d.CreationTimeValid, details.creationTimeValid);
  if (d.CreationTimeValid) {
    const int64_t localNow = time(nullptr) + platform::CurrentUtcOffsetSeconds();
    double now = static_cast<double>(localNow) / 86400.0 + 25569.0;
    EXPECT_NEAR(d.CreationTime, now, 10 * kSecond);
  }
}

TEST_F(TimeTest, OffsetEastOfGreenwichIsApplied) {
  TempDir t;
  ASSERT_TRUE(SetFileTimes(t.MakeDir("east"), {4354804800} /* 2107-12-31 20:00 UTC */,
                           {315504000} /* 1979-12-31 16:00 UTC */));

  UseJapaneseTime();
  auto east = WalkData(t.Path())["east"];
  EXPECT_FALSE(east.LastWriteTimeValid);  // 2108-01-01 05:00 local
  ASSERT_TRUE(east.LastAccessTimeValid);  // 1980-01-01 01:00 local
  EXPECT_DOUBLE_EQ(east.LastAccessTime, At(29221, 1, 0, 0));
}

TEST_F(TimeTest, OffsetWestOfGreenwichIsApplied) {
#ifdef _WIN32
  GTEST_SKIP() << "A Windows program cannot change its time zone, and the system's is east of "
                  "Greenwich (Asia/Tokyo)";
#else
  TempDir t;
  ASSERT_TRUE(SetFileTimes(t.MakeDir("west"), {315543600} /* 1980-01-01 03:00 UTC */,
                           {1083827289} /* 2004-05-06 07:08:09 UTC */));

  SetTimeZone("EST5");
  auto west = WalkData(t.Path())["west"];
  EXPECT_FALSE(west.LastWriteTimeValid);  // 1979-12-31 22:00 local
  ASSERT_TRUE(west.LastAccessTimeValid);
  EXPECT_DOUBLE_EQ(west.LastAccessTime, At(38113, 2, 8, 8));
#endif
}

TEST_F(TimeTest, StartFolderCarriesItsTimes) {
  TempDir t;
  const std::string s = t.MakeDir("S");
  SetLocalTimes(s, 1083827289, 1083827289);
  auto data = WalkData(s);
  ASSERT_EQ(data.size(), 1u);
  const TSearchFileData& d = data["S"];
  EXPECT_TRUE(d.IsDirectory);
  ASSERT_TRUE(d.LastWriteTimeValid);
  EXPECT_DOUBLE_EQ(d.LastWriteTime, At(38113, 7, 8, 8));
}

TEST_F(TimeTest, FileTimeToDateTimeKnownValues) {
  bool valid = false;
  TDateTime dt = -1;
  FileTimeToDateTime(FileTimeOfLocal(946684800) /* 2000-01-01 00:00:00 */, valid, dt);
  EXPECT_TRUE(valid);
  EXPECT_DOUBLE_EQ(dt, 36526.0);

  FileTimeToDateTime(FileTimeOfLocal(946641601) + 9999999 /* 1999-12-31 12:00:01.9999999 */, valid,
                     dt);
  EXPECT_TRUE(valid);
  EXPECT_DOUBLE_EQ(dt, 36525.5);

  dt = 123.0;
  FileTimeToDateTime(0, valid, dt);
  EXPECT_FALSE(valid);
  EXPECT_EQ(dt, 123.0);  // not written
  FileTimeToDateTime(uint64_t{1} << 63, valid, dt);
  EXPECT_FALSE(valid);
  FileTimeToDateTime(~uint64_t{0}, valid, dt);
  EXPECT_FALSE(valid);
  FileTimeToDateTime(FileTimeOfLocal(315532799), valid, dt);
  EXPECT_FALSE(valid);
  FileTimeToDateTime(FileTimeOfLocal(4354819199) + 9999999, valid, dt);
  EXPECT_TRUE(valid);
  EXPECT_DOUBLE_EQ(dt, At(75971, 23, 59, 58));
  FileTimeToDateTime(FileTimeOfLocal(4354819200), valid, dt);
  EXPECT_FALSE(valid);
}

uint32_t Dos(unsigned y, unsigned mo, unsigned d, unsigned h, unsigned mi, unsigned s2) {
  return ((y - 1980) << 25) | (mo << 21) | (d << 16) | (h << 11) | (mi << 5) | s2;
}

TEST(DosDateTime, ValidValues) {
  TDateTime dt = 0;
  ASSERT_TRUE(DosDateTimeToDateTime(Dos(2004, 5, 6, 7, 8, 4), dt));
  EXPECT_DOUBLE_EQ(dt, At(38113, 7, 8, 8));
  ASSERT_TRUE(DosDateTimeToDateTime(Dos(2004, 2, 29, 0, 0, 0), dt));
  ASSERT_TRUE(DosDateTimeToDateTime(Dos(2000, 2, 29, 23, 59, 29), dt));
  EXPECT_DOUBLE_EQ(dt, At(36585, 23, 59, 58));
  ASSERT_TRUE(DosDateTimeToDateTime(Dos(2107, 12, 31, 0, 0, 0), dt));
  EXPECT_DOUBLE_EQ(dt, 75971.0);
}

TEST(DosDateTime, InvalidCalendarValues) {
  TDateTime dt = 7.0;
  for (uint32_t v :
       {Dos(2004, 0, 1, 0, 0, 0), Dos(2004, 13, 1, 0, 0, 0), Dos(2004, 1, 0, 0, 0, 0),
        Dos(2004, 4, 31, 0, 0, 0), Dos(2001, 2, 29, 0, 0, 0), Dos(2100, 2, 29, 0, 0, 0),
        Dos(2004, 1, 1, 24, 0, 0), Dos(2004, 1, 1, 0, 60, 0), Dos(2004, 1, 1, 0, 0, 30),
        Dos(2004, 1, 1, 0, 0, 31), 0u}) {
    EXPECT_FALSE(DosDateTimeToDateTime(v, dt)) << std::hex << v;
    EXPECT_EQ(dt, 7.0);
  }
}

TEST(SubFolderEntry, DirectoryAttributeAndNotDots) {
  EXPECT_TRUE(IsSubFolderEntry(platform::kAttrDirectory, "a"));
  EXPECT_TRUE(IsSubFolderEntry(platform::kAttrDirectory | platform::kAttrHidden, ".a"));
  EXPECT_TRUE(IsSubFolderEntry(platform::kAttrDirectory, "..."));
  EXPECT_FALSE(IsSubFolderEntry(platform::kAttrDirectory, "."));
  EXPECT_FALSE(IsSubFolderEntry(platform::kAttrDirectory, ".."));
  EXPECT_FALSE(IsSubFolderEntry(platform::kAttrArchive, "a"));
  EXPECT_FALSE(IsSubFolderEntry(0, "a"));
}

}  // namespace
}  // namespace vistrune
