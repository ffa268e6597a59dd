// platform/paths.h and platform/encoding.h on Windows, on the Japanese system
// (ANSI code page 932).
#include "platform/paths.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/encoding.h"
#include "support/temp_dir.h"

namespace vistrune::platform {
namespace {

using vistrune::testing::TempDir;

// 表 and ソ: their second bytes are 0x5C, the byte of the backslash.
const std::string kHyo = "\x95\x5c";
const std::string kSo = "\x83\x5c";
constexpr size_t kNone = std::string::npos;

TEST(AnsiCodePage, Is932) {
  // The Windows tests are compiled for code page 932 and read the system's
  // text as such; under Wine the code page follows LC_ALL=ja_JP.UTF-8.
  ASSERT_EQ(GetACP(), 932u);
}

TEST(Delimiters, WholeCharactersOfTheAnsiCodePage) {
  struct Row {
    std::string path;
    bool endsWithDelimiter;
    size_t lastDelimiter;  // of "\" and ":"
  };
  const Row rows[] = {
      {"C:\\", true, 2},
      {"C:" + kHyo, false, 1},
      {"C:\\a\\" + kHyo, false, 4},
      {"C:\\a\\" + kHyo + "\\", true, 7},
      {kSo + kHyo, false, kNone},
      {"\\\x95", false, 0},   // a lead byte at the end stands alone
      {"\xb1\\", true, 1},    // ｱ: a single-byte katakana, no lead byte
      {"\x95\\\\", true, 2},  // 表 and then a separator
      {std::string(), false, kNone},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(EndsWithDelimiter(row.path), row.endsWithDelimiter) << row.path;
    EXPECT_EQ(LastDelimiter(row.path, "\\:"), row.lastDelimiter) << row.path;
  }
}

TEST(ExpandPath, ResolvesWholeCharactersAgainstTheCurrentFolder) {
  TempDir t;
  char saved[MAX_PATH];
  ASSERT_GT(GetCurrentDirectoryA(MAX_PATH, saved), 0u);
  ASSERT_TRUE(SetCurrentDirectoryA(t.Path().c_str()));
  const std::string here = t.Path() + "\\";
  struct Row {
    std::string path, expected;
  };
  const Row rows[] = {
      {"a", here + "a"},
      {"a\\..\\b\\", here + "b\\"},
      {kHyo, here + kHyo},
      {kHyo + "\\", here + kHyo + "\\"},
      {kHyo + "\\..\\x", here + "x"},  // ".." takes 表 away whole
      {std::string("C:\\a\0b", 6), "C:\\a"},
      {"C:\\" + std::string(kMaxFullPath - 3, 'a'), "C:\\" + std::string(kMaxFullPath - 3, 'a')},
      {"C:\\" + std::string(kMaxFullPath - 2, 'a'), "<fail>"},
      {"", "<fail>"},
  };
  for (const Row& row : rows) {
    std::string full = "unchanged";
    const bool expanded = ExpandPath(row.path, full);
    EXPECT_EQ(expanded ? full : "<fail>", row.expected) << row.path;
    if (!expanded) {
      EXPECT_EQ(full, "");
    }
  }
  SetCurrentDirectoryA(saved);
}

TEST(Attributes, AreTheSystemsWordAndDecideExistence) {
  TempDir t;
  const std::string dir = t.MakeDir("d");
  const std::string file = t.WriteFile("f.avi", "x");
  ASSERT_TRUE(SetFileAttributesA(
      file.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  uint32_t a = 0;
  ASSERT_TRUE(GetAttributes(file, a));
  EXPECT_EQ(a & (kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrDirectory),
            kAttrReadOnly | kAttrHidden | kAttrSystem);
  ASSERT_TRUE(GetAttributes(dir + "\\", a));
  EXPECT_EQ(a & (kAttrDirectory | kAttrReadOnly), kAttrDirectory);
  a = 12345;
  EXPECT_FALSE(GetAttributes(t.Path() + "\\missing", a));
  EXPECT_FALSE(GetAttributes("", a));
  EXPECT_EQ(a, 12345u);

  EXPECT_TRUE(DirectoryExists(dir));
  EXPECT_TRUE(DirectoryExists(dir + "\\"));
  EXPECT_FALSE(DirectoryExists(file));
  EXPECT_TRUE(FileExists(file));
  EXPECT_FALSE(FileExists(file + "\\"));
  EXPECT_FALSE(FileExists(dir));
  EXPECT_FALSE(FileExists(t.Path() + "\\missing"));
}

TEST(SystemPaths, ExecutableAndWindowsDirectory) {
  const std::string exe = ExecutablePath();
  ASSERT_GT(exe.size(), 2u);
  EXPECT_EQ(exe.substr(exe.size() - 26), "\\test_platform_windows.exe");
  EXPECT_TRUE(FileExists(exe));
  std::string full;
  ASSERT_TRUE(ExpandPath(exe, full));
  EXPECT_EQ(full, exe);

  const std::string windows = WindowsDirectoryPath();
  ASSERT_FALSE(windows.empty());
  EXPECT_TRUE(DirectoryExists(windows));
  EXPECT_FALSE(EndsWithDelimiter(windows));  // not a drive root
  char root[MAX_PATH];
  ASSERT_GT(GetEnvironmentVariableA("SystemRoot", root, MAX_PATH), 0u);
  EXPECT_EQ(lstrcmpiA(windows.c_str(), root), 0) << windows << " " << root;
}

TEST(Encoding, NarrowIsCodePage932Unchanged) {
  const std::string good[] = {"アニメ" + kHyo + kSo, "\xf0\x40" /* user-defined */, "\x80", ""};
  for (const std::string& text : good) {
    std::string cp932 = "old";
    EXPECT_TRUE(NarrowToCp932(text, cp932)) << text;
    EXPECT_EQ(cp932, text);
    EXPECT_EQ(Cp932ToNarrow(text), text);
  }
  // Not well formed: a lone lead byte, a pair that maps to nothing, bytes
  // that start no character. Reading them back is still byte for byte.
  const std::string bad[] = {"a\x83", "\x83\x0a", "\x85\x40", "\xff", "\xa0"};
  for (const std::string& text : bad) {
    std::string cp932 = "old";
    EXPECT_FALSE(NarrowToCp932(text, cp932)) << text;
    EXPECT_EQ(cp932, "");
    EXPECT_EQ(Cp932ToNarrow(text), text);
  }
}

TEST(Encoding, Utf8TextsBecomeCodePage932) {
  // "ファイル " in UTF-8, then in code page 932.
  EXPECT_EQ(Utf8ToNarrow("\xe3\x83\x95\xe3\x82\xa1\xe3\x82\xa4\xe3\x83\xab "),
            "\x83\x74\x83\x40\x83\x43\x83\x8b ");
  EXPECT_EQ(Utf8ToNarrow("I/O (32)"), "I/O (32)");
  EXPECT_EQ(Utf8ToNarrow(""), "");
}

}  // namespace
}  // namespace vistrune::platform
