// Line access to Vistrune.ini: how bytes split into lines, and the failures
// of reading the list and taking a line from it.
#include <vector>

#include "config_fixture.h"

namespace vistrune {
namespace {

using LineAccessTest = ConfigTest;

TEST_F(LineAccessTest, SplitsAtEveryKindOfLineEnd) {
#ifdef _WIN32
  GTEST_SKIP() << "With the ANSI code page 932 the narrow encoding is code page 932 itself: "
                  "bytes that form no character come back as they are, not as U+FFFD "
                  "(config_win32_test.cpp checks that)";
#else
  struct Row {
    std::string bytes;
    std::vector<std::string> lines;
  };
  const Row rows[] = {
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\nb", {"a", "b"}},
      {"a\rb\r", {"a", "b"}},
      {"a\n\rb", {"a", "", "b"}},
      {"a\r\rb", {"a", "", "b"}},
      {"a\n\nb", {"a", "", "b"}},
      {"a\r\n\r\n", {"a", ""}},
      {"\r\n", {""}},
      {"", {}},
      {std::string("a\r\nb\0c\r\nd", 9), {"a", "b"}},
      {std::string(4, '\0'), {}},
      {" Style=ListBox \t\r\nstyle=listbox", {" Style=ListBox \t", "style=listbox"}},
      {"\x83\x41\x83\x6a\x83\x81\r\n\x83\x5d\x95\x5c\r\n", {"アニメ", "ゾ表"}},
      {"\x83\r\nA\x85\x40\x80\xa0", {"\uFFFD", "A\uFFFD\uFFFD\uFFFD"}},
  };
  for (const Row& row : rows) {
    WriteIni(row.bytes);
    EXPECT_EQ(ini_.LoadLines().Items(), row.lines) << ::testing::PrintToString(row.bytes);
  }
#endif
}

TEST_F(LineAccessTest, ReadsAFileOfManyMegabytes) {
  std::string bytes;
  for (int i = 0; i < 200000; ++i)
    bytes += "D:\\Video\\folder number " + std::to_string(i) + "\r\n";
  WriteIni(bytes + "[S]\r\nk=found\r\n");
  StringList lines = ini_.LoadLines();
  ASSERT_EQ(lines.Count(), 200002);
  EXPECT_EQ(lines.Get(199999), "D:\\Video\\folder number 199999");
  EXPECT_EQ(ini_.ReadString("S", "k", ""), "found");
}

TEST_F(LineAccessTest, IndexBeyondTheListFailsWithItsIndex) {
  WriteIni("[Style]\r\n");
  StringList lines = ini_.LoadLines();
  EXPECT_EQ(lines.Get(0), "[Style]");
  for (int index : {1, -1, 2147483647}) {
    try {
      lines.Get(index);
      ADD_FAILURE() << "no failure for index " << index;
    } catch (const EStringListError& e) {
      EXPECT_EQ(e.Index(), index);
      EXPECT_EQ(e.what(),
                "リストのインデックスが範囲を超えています (" + std::to_string(index) + ")");
    }
  }
}

TEST_F(LineAccessTest, FileThatCannotBeReadFailsWithItsPath) {
  const std::string message = "ファイル " + ini_.Path() + " は開けません";
  try {
    ini_.LoadLines();
    ADD_FAILURE() << "a missing file was read";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.what(), message);
  }
  dir_.MakeDir("Vistrune.ini");
  EXPECT_FALSE(ini_.Exists());
  EXPECT_THROW(ini_.LoadLines(), EFOpenError);
}

}  // namespace
}  // namespace vistrune
