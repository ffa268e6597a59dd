// The whole rewrite of Vistrune.ini, the keyed writes of the main window's
// close that follow it, and the safety of replacing the file.
#include <signal.h>
#include <unistd.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <vector>

#include "config_fixture.h"

namespace vistrune {
namespace {

const std::string kWorkedExample =
    "[Style]\r\n"
    "Style=ListBox\r\n"
    "[FixedFolder Setting]\r\n"
    "count=2\r\n"
    "D:\\Video\\Anime\r\n"
    "E:\\Clips\r\n"
    "[Name]\r\n"
    "\x44\x3A\x5C\x56\x69\x64\x65\x6F\x5C\x41\x6E\x69\x6D\x65\x3D\x83\x41\x83\x6A\x83\x81\x0D\x0A"
    "E:\\Clips=Clips\r\n"
    "[Name2]\r\n"
    "\x83\x41\x83\x6a\x83\x81=D:\\Video\\Anime\r\n"
    "Clips=E:\\Clips\r\n";

// Runs f and returns the code of the EInOutError it raises, checking the
// message that goes with it; 0 when it raises nothing.
template <typename F>
int InOutErrorCode(F f) {
  try {
    f();
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.what(), InOutErrorMessage(e.Code()));
    return e.Code();
  }
  return 0;
}

class RewriteTest : public ConfigTest {
 protected:
  void RewriteWorkedExample() {
    ini_.Rewrite("ListBox", {"D:\\Video\\Anime", "E:\\Clips"}, {"アニメ", "Clips"});
  }
};

TEST_F(RewriteTest, WorkedExampleThenMainWindowClose) {
  RewriteWorkedExample();
  EXPECT_EQ(IniBytes(), kWorkedExample);

  ini_.WriteInteger("Form", "Pos.Left", 218);
  ini_.WriteInteger("Form", "Pos.Top", 249);
  ini_.WriteString("Style", "Style", "ComboBox");
  std::string expected = kWorkedExample;
  expected.replace(expected.find("ListBox"), 7, "ComboBox");
  expected += "[Form]\r\nPos.Left=218\r\nPos.Top=249\r\n";
  EXPECT_EQ(IniBytes(), expected);

  EXPECT_EQ(ini_.ReadInteger("Form", "Pos.Left", 0), 218);
  EXPECT_EQ(ini_.ReadInteger("Form", "Pos.Top", 0), 249);
  EXPECT_EQ(ini_.ReadInteger("FixedFolder Setting", "count", 0), 2);
  StringList lines = ini_.LoadLines();
  EXPECT_EQ(lines.Get(1), "Style=ComboBox");
  EXPECT_EQ(ini_.ReadString("Name", lines.Get(4), lines.Get(4)), "アニメ");
  EXPECT_EQ(ini_.ReadString("Name", lines.Get(5), lines.Get(5)), "Clips");
  EXPECT_EQ(ini_.ReadString("Name2", "アニメ", ""), "D:\\Video\\Anime");
}

TEST_F(RewriteTest, TheVideoSectionFollowsTheFixedLayoutAndIsCheckedLikeTheEntries) {
  const std::string expected = kWorkedExample + "[Video]\r\nExtensions=.mp4 MKV,\r\n";
  ini_.Rewrite("ListBox", {"D:\\Video\\Anime", "E:\\Clips"}, {"アニメ", "Clips"}, ".mp4 MKV,");
  EXPECT_EQ(IniBytes(), expected);
  EXPECT_EQ(InOutErrorCode([this] { ini_.Rewrite("ListBox", {}, {}, ".mp4\r\n[Name2]"); }), 87);
  EXPECT_EQ(IniBytes(), expected);
}

TEST_F(RewriteTest, NoFixedFoldersGiveSixLinesAndDropEverythingElse) {
  WriteIni("[Form]\r\nPos.Left=1\r\n" + std::string(100000, 'x'));
  ini_.Rewrite("ComboBox", {}, {});
  EXPECT_EQ(
      IniBytes(),
      "[Style]\r\nStyle=ComboBox\r\n[FixedFolder Setting]\r\ncount=0\r\n[Name]\r\n[Name2]\r\n");
}

TEST_F(RewriteTest, EqualsSignsAndEmptyNamesResolveAsTheLayoutImplies) {
  ini_.Rewrite("ListBox", {"D:\\a=b", "E:\\x", "E:\\Clips"}, {"ab", "a=b", ""});
  EXPECT_EQ(ini_.ReadString("Name", "D:\\a=b", "D:\\a=b"), "D:\\a=b");
  EXPECT_EQ(ini_.ReadString("Name2", "ab", ""), "D:\\a=b");
  EXPECT_EQ(ini_.ReadString("Name", "E:\\x", ""), "a=b");
  EXPECT_EQ(ini_.ReadString("Name2", "a=b", "<default>"), "<default>");
  EXPECT_EQ(ini_.ReadString("Name", "E:\\Clips", "E:\\Clips"), "");
}

TEST_F(RewriteTest, RefusesEntriesThatCannotBeStoredBeforeTouchingTheFile) {
#ifdef _WIN32
  GTEST_SKIP() << "With the ANSI code page 932 the narrow encoding is code page 932 itself, "
                  "where the yen sign is the backslash and the wave dash the full-width tilde: "
                  "nothing to refuse (config_win32_test.cpp checks what Windows refuses)";
#else
  WriteIni(kWorkedExample);
  EXPECT_EQ(InOutErrorCode([this] { ini_.Rewrite("ListBox", {"D:\\x"}, {"\xf0\x9f\x98\x80"}); }),
            1113);
  EXPECT_EQ(InOutErrorCode([this] { ini_.Rewrite("ListBox", {"D:\\¥"}, {"x"}); }), 1113);
  EXPECT_EQ(InOutErrorCode([this] { ini_.Rewrite("ListBox", {"D:\\x\r\n[Name]"}, {"x"}); }), 87);
  EXPECT_EQ(InOutErrorCode([this] { ini_.Rewrite("List\nBox", {}, {}); }), 87);
  EXPECT_EQ(InOutErrorCode([this] { ini_.Rewrite("ListBox", {"D:\\x"}, {}); }), 87);
  EXPECT_EQ(IniBytes(), kWorkedExample);
#endif
}

TEST_F(RewriteTest, ReadOnlyFileFailsForRootToo) {
  WriteIni(kWorkedExample);
  chmod(ini_.Path().c_str(), 0444);
  EXPECT_EQ(InOutErrorCode([this] { ini_.Rewrite("ComboBox", {}, {}); }), 5);
  EXPECT_EQ(InOutErrorMessage(5), "ファイルへのアクセスが拒否されました");
  EXPECT_EQ(IniBytes(), kWorkedExample);
  EXPECT_EQ(IniMode(), 0444u);
}

TEST_F(RewriteTest, FailedReplacementLeavesNoTraceAndOldContent) {
  dir_.MakeDir("Vistrune.ini");
  EXPECT_EQ(InOutErrorCode([this] { RewriteWorkedExample(); }), 5);
  EXPECT_EQ(testing::FolderEntries(dir_.Path()), std::vector<std::string>{"Vistrune.ini"});

  ini_ = ConfigFile(dir_.Slash() + "missing/Vistrune.ini");
  EXPECT_EQ(InOutErrorCode([this] { RewriteWorkedExample(); }), 3);
  EXPECT_EQ(InOutErrorMessage(3), "不正なファイル名です");
}

TEST_F(RewriteTest, WriteFailingHalfwayKeepsTheOldFile) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows has no per-process file-size limit (RLIMIT_FSIZE) to stop a write "
                  "halfway";
#else
  const std::string before = "[Style]\r\nStyle=ListBox\r\n";
  WriteIni(before);
  // A file-size limit makes the write stop after 16 bytes of the temporary file.
  struct rlimit saved {};
  getrlimit(RLIMIT_FSIZE, &saved);
  sighandler_t savedHandler = signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 16;
  setrlimit(RLIMIT_FSIZE, &small);
  int code = InOutErrorCode([this] { RewriteWorkedExample(); });
  bool keyedFailed = false;
  try {
    ini_.WriteString("Style", "Style", std::string(100, 'x'));
  } catch (const EIniFileException&) {
    keyedFailed = true;
  }
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, savedHandler);

  EXPECT_EQ(code, 223);
  EXPECT_TRUE(keyedFailed);
  EXPECT_EQ(IniBytes(), before);
  EXPECT_EQ(testing::FolderEntries(dir_.Path()), std::vector<std::string>{"Vistrune.ini"});
#endif
}

TEST_F(RewriteTest, KeepsPermissionsAndLinksAndClearsLeftovers) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows has no POSIX permission bits, and symbolic links need a privilege "
                  "(config_win32_test.cpp checks the attributes kept and the leftovers cleared)";
#else
  WriteIni("old");
  chmod(ini_.Path().c_str(), 0640);
  dir_.WriteFile("Vistrune.ini.tmp-a1B2c3", "left over");
  dir_.WriteFile("Vistrune.ini.tmp-toolong", "not ours");
  RewriteWorkedExample();
  EXPECT_EQ(IniBytes(), kWorkedExample);
  EXPECT_EQ(IniMode(), 0640u);
  EXPECT_EQ(testing::FolderEntries(dir_.Path()),
            (std::vector<std::string>{"Vistrune.ini", "Vistrune.ini.tmp-toolong"}));

  const std::string real = dir_.WriteFile("elsewhere/real.ini", "old");
  unlink(ini_.Path().c_str());
  ASSERT_EQ(symlink(real.c_str(), ini_.Path().c_str()), 0);
  ini_.WriteString("S", "k", "v");
  EXPECT_EQ(testing::ReadFileBytes(real), "old\r\n[S]\r\nk=v\r\n");
  struct stat st {};
  ASSERT_EQ(lstat(ini_.Path().c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
#endif
}

TEST(InOutErrorTest, MessagesFollowTheCodeTable) {
  const std::pair<int, std::string> rows[] = {{2, "ファイルが見つかりません"},
                                              {3, "不正なファイル名です"},
                                              {4, "オープンしたファイルが多すぎます"},
                                              {5, "ファイルへのアクセスが拒否されました"},
                                              {100, "ファイルの末尾以降を読み込みました"},
                                              {101, "ディスクがいっぱいです"},
                                              {106, "入力値が数値ではありません"},
                                              {32, "I/O エラー (32)"},
                                              {112, "I/O エラー (112)"},
                                              {-1, "I/O エラー (-1)"}};
  for (const auto& [code, message] : rows) {
    EInOutError error(code);
    EXPECT_EQ(error.Code(), code);
    EXPECT_EQ(error.what(), message);
  }
}

}  // namespace
}  // namespace vistrune
