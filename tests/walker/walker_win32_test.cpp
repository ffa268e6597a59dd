// The folder walker on Windows: separators after double-byte characters,
// drive roots and the Windows directory, the platform's time stamps and
// attributes, and folders whose search pattern is too long.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "charset/cp932.h"
#include "folder_walker/SearchFile.h"
#include "platform/dir_reader.h"
#include "support/temp_dir.h"

namespace vistrune {
namespace {

using testing::TempDir;

// 表 and ソ: their second bytes are 0x5C, the byte of the backslash.
const std::string kHyo = "\x95\x5c";
const std::string kSo = "\x83\x5c";

struct Report {
  std::string name;
  TSearchFileData data;
};

// Walks base; enters only the folders for which enter says so.
std::vector<Report> Walk(const std::string& base, bool& result,
                         const std::function<bool(const std::string&)>& enter) {
  std::vector<Report> reports;
  TSearchDir walker;
  walker.BaseDir = base;
  walker.OnFind = [&](TSearchDir*, const std::string& Name, const TSearchFileData& Data,
                      bool& IgnoreSubDir, bool&) {
    reports.push_back({Name, Data});
    IgnoreSubDir = !enter(Name);
  };
  result = walker.Search();
  return reports;
}

std::vector<std::string> Names(const std::vector<Report>& reports) {
  std::vector<std::string> names;
  for (const Report& r : reports) names.push_back(r.name);
  return names;
}

auto kEverything = [](const std::string&) { return true; };

// Byte positions of the separators in a code page 932 path, walked character
// by character: the second byte of 表 or ソ is no separator.
std::vector<size_t> SeparatorPositions(const std::string& path) {
  std::vector<size_t> positions;
  for (size_t i = 0; i < path.size(); i += cp932::CharLength(path, i))
    if (path[i] == '\\') positions.push_back(i);
  return positions;
}

TEST(WalkerWindows, FoldersEndingInASecondByte5CGetOneSeparator) {
  TempDir t;
  const std::string s = t.MakeDir(kHyo);
  t.MakeDir(kHyo + "/" + kSo + "/a");
  bool result = false;
  EXPECT_EQ(Names(Walk(s, result, kEverything)),
            (std::vector<std::string>{s, s + "\\" + kSo, s + "\\" + kSo + "\\a"}));
  EXPECT_TRUE(result);

  // From the path with its separator: the start keeps it and has no entry.
  auto reports = Walk(s + "\\", result, kEverything);
  EXPECT_EQ(Names(reports),
            (std::vector<std::string>{s + "\\", s + "\\" + kSo, s + "\\" + kSo + "\\a"}));
  EXPECT_EQ(reports[0].data.LongName, "");
  EXPECT_FALSE(reports[0].data.IsDirectory);
  EXPECT_EQ(reports[1].data.LongName, kSo);
  EXPECT_TRUE(reports[1].data.IsDirectory);
}

TEST(WalkerWindows, ShortNamesComeFromThePlatform) {
  TempDir t;
  const std::string s = t.MakeDir("start");
  t.MakeDir("start/A folder with a long name");
  t.MakeDir("start/SHORT");
  bool result = false;
  std::vector<Report> reports = Walk(s, result, kEverything);
  std::sort(reports.begin(), reports.end(),
            [](const Report& a, const Report& b) { return a.name < b.name; });
  ASSERT_EQ(reports.size(), 3u);
  EXPECT_EQ(reports[1].data.LongName, "A folder with a long name");
  EXPECT_NE(reports[1].data.ShortName.find('~'), std::string::npos) << reports[1].data.ShortName;
  EXPECT_LE(reports[1].data.ShortName.size(), 14u);
  EXPECT_EQ(reports[2].data.ShortName, "SHORT");
}

TEST(WalkerWindows, DriveRootWithTheWindowsDirectoryReportedButNotEntered) {
  // As the main window walks when the program sits at the root of drive C:,
  // but kept out of the users' folders too: under Wine they may lead into
  // the home folder of the machine's user.
  const std::string windows = WindowsDirectory();
  ASSERT_FALSE(windows.empty());
  ASSERT_EQ(windows.substr(0, 3), "C:\\");
  bool result = false;
  auto reports = Walk("C:\\", result, [&](const std::string& name) {
    return name != windows && lstrcmpiA(name.c_str(), "C:\\users") != 0;
  });
  EXPECT_TRUE(result);
  ASSERT_GT(reports.size(), 2u);
  EXPECT_EQ(reports[0].name, "C:\\");
  EXPECT_EQ(reports[0].data.LongName, "");  // a drive root has no entry
  size_t windowsReports = 0, deeper = 0;
  for (size_t i = 1; i < reports.size(); ++i) {
    const std::string& name = reports[i].name;
    // Other folders on drive C: may have names ending in 表 or ソ (a real
    // run leaves some), so separators are found character by character.
    const std::vector<size_t> separators = SeparatorPositions(name);
    EXPECT_EQ(name.substr(0, 3), "C:\\") << name;
    ASSERT_FALSE(separators.empty()) << name;
    EXPECT_EQ(std::adjacent_find(separators.begin(), separators.end(),
                                 [](size_t a, size_t b) { return b == a + 1; }),
              separators.end())
        << name;
    EXPECT_NE(separators.back(), name.size() - 1) << name;
    EXPECT_NE(name.rfind(windows + "\\", 0), 0u) << name << " lies in the Windows directory";
    windowsReports += name == windows;
    deeper += separators.size() > 1;
  }
  EXPECT_EQ(windowsReports, 1u);
  EXPECT_GT(deeper, 0u) << "the other folders were entered";
}

// A file time from seconds since 1970, UTC.
FILETIME FileTimeOf(int64_t unixSeconds) {
  const uint64_t ticks = static_cast<uint64_t>(unixSeconds + 11644473600LL) * 10000000ULL;
  return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

TEST(WalkerWindows, RecordsCarryTheSystemsAttributesAndLocalTimes) {
  TempDir t;
  const std::string dir = t.MakeDir("stamped");
  const std::string file = t.WriteFile("clip.avi", "12345");
  ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
  HANDLE handle = CreateFileA(dir.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  const FILETIME access = FileTimeOf(170812800);  // 1975-06-01: before 1980
  const FILETIME write = FileTimeOf(1083827289);  // 2004-05-06 07:08:09 UTC, an odd second
  EXPECT_TRUE(SetFileTime(handle, nullptr, &access, &write));
  CloseHandle(handle);
  // Wine keeps no read-only attribute on folders; the file below has it.
  ASSERT_TRUE(SetFileAttributesA(dir.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));

  // Only the first level: reading a folder may change its access time.
  bool result = false;
  auto reports = Walk(t.Path(), result, [&](const std::string& name) { return name == t.Path(); });
  ASSERT_EQ(reports.size(), 2u);
  const TSearchFileData& d = reports[1].data;
  EXPECT_EQ(d.LongName, "stamped");
  EXPECT_TRUE(d.IsDirectory && d.IsHidden && d.IsSystem);
  EXPECT_FALSE(d.IsReadOnly || d.IsArchive || d.Reserved);
  EXPECT_EQ(d.Size, 0);
  EXPECT_FALSE(d.LastAccessTimeValid);
  ASSERT_TRUE(d.LastWriteTimeValid);
  // 38113 is 2004-05-06; 07:08:08 UTC, the local offset added.
  const double expected =
      38113 +
      static_cast<double>(7 * 3600 + 8 * 60 + 8 + platform::CurrentUtcOffsetSeconds()) / 86400.0;
  EXPECT_NEAR(d.LastWriteTime, expected, 0.1 / 86400);

  // A file as the start: reported once, with its own entry.
  reports = Walk(file, result, kEverything);
  EXPECT_TRUE(result);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].data.Size, 5);
  EXPECT_FALSE(reports[0].data.IsDirectory || reports[0].data.IsHidden);
  EXPECT_TRUE(reports[0].data.IsReadOnly && reports[0].data.IsArchive);

  for (const std::string& nothing : {std::string(), t.Path() + "\\missing", t.Path() + "\\*"}) {
    EXPECT_TRUE(Walk(nothing, result, kEverything).empty()) << nothing;
    EXPECT_FALSE(result);
  }
}

TEST(WalkerWindows, FoldersWhoseSearchPatternIsTooLongYieldNothing) {
  TempDir t;
  // A chain of folders longer than MAX_PATH, made through the wide
  // functions, which take longer paths. The temporary folder's path is ASCII.
  std::wstring path = L"\\\\?\\" + std::wstring(t.Path().begin(), t.Path().end());
  const std::wstring name(60, L'n');
  for (int i = 0; i < 6; ++i) {
    path += L"\\" + name;
    ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
  }
  bool result = false;
  auto reports = Walk(t.Path(), result, kEverything);
  EXPECT_TRUE(result);
  ASSERT_GE(reports.size(), 2u);
  ASSERT_LT(reports.size(), 7u);
  // folder + "\*.*" must fit in MAX_PATH with its NUL; the last folder
  // reported is the first for which it does not.
  for (size_t i = 0; i + 1 < reports.size(); ++i)
    EXPECT_LT(reports[i].name.size() + 4, static_cast<size_t>(MAX_PATH)) << i;
  EXPECT_GE(reports.back().name.size() + 4, static_cast<size_t>(MAX_PATH));
  EXPECT_EQ(reports.back().data.LongName, std::string(60, 'n'));
  EXPECT_TRUE(reports.back().data.IsDirectory);
  // Too long for the temporary folder's removal as well.
  for (int i = 0; i < 6; ++i) {
    RemoveDirectoryW(path.c_str());
    path.resize(path.rfind(L'\\'));
  }
}

}  // namespace
}  // namespace vistrune
