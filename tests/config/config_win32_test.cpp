// Vistrune.ini on Windows: the read-only attribute, a file that another
// program holds open, what a replacement keeps and clears, and text that is
// code page 932 already.
#include <windows.h>

#include <thread>
#include <vector>

#include "config_fixture.h"
#include "platform/file_io.h"
#include "support/shared_writes.h"
#include "support/wait_limit.h"

namespace vistrune {
namespace {

const std::string kBefore = "[Style]\r\nStyle=ListBox\r\n";

// Runs f and returns the code of the EInOutError it raises; 0 for none.
template <typename F>
int InOutErrorCode(F f) {
  try {
    f();
  } catch (const EInOutError& e) {
    return e.Code();
  }
  return 0;
}

class ConfigWindowsTest : public ConfigTest {
 protected:
  void RewriteEmpty() { ini_.Rewrite("ComboBox", {}, {}); }
};

TEST_F(ConfigWindowsTest, ReadOnlyAttributeRefusesEveryWriteAndStays) {
  WriteIni(kBefore);
  ASSERT_TRUE(SetFileAttributesA(ini_.Path().c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(InOutErrorCode([this] { RewriteEmpty(); }), 5);
  try {
    ini_.WriteString("Style", "Style", "ComboBox");
    ADD_FAILURE() << "a read-only file was written";
  } catch (const EIniFileException& e) {
    // The path and " に書き込めません", all in code page 932.
    EXPECT_EQ(e.what(),
              ini_.Path() + "\x20\x82\xc9\x8f\x91\x82\xab\x8d\x9e\x82\xdf\x82\xdc\x82\xb9\x82\xf1");
  }
  EXPECT_EQ(IniBytes(), kBefore);
  EXPECT_TRUE(GetFileAttributesA(ini_.Path().c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(testing::FolderEntries(dir_.Path()), std::vector<std::string>{"Vistrune.ini"});
}

TEST_F(ConfigWindowsTest, AFileAnotherProgramHoldsOpen) {
  WriteIni(kBefore);
  // Each write waits this long for the other program to let go.
  const testing::ChangeLockPatienceFor patience(300);
  // Open for reading, others allowed to read only: it reads, it is not written.
  HANDLE other = CreateFileA(ini_.Path().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ini_.ReadString("Style", "Style", ""), "ListBox");
  EXPECT_EQ(ini_.LoadLines().Count(), 2);
  EXPECT_EQ(InOutErrorCode([this] { RewriteEmpty(); }), 32);
  EXPECT_THROW(ini_.WriteString("Style", "Style", "ComboBox"), EIniFileException);
  CloseHandle(other);

  // Open for writing: not even read while it is.
  other = CreateFileA(ini_.Path().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ini_.ReadString("Style", "Style", "<default>"), "<default>");
  EXPECT_THROW(ini_.LoadLines(), EFOpenError);
  CloseHandle(other);

  EXPECT_EQ(IniBytes(), kBefore);
  EXPECT_EQ(testing::FolderEntries(dir_.Path()), std::vector<std::string>{"Vistrune.ini"});
  EXPECT_EQ(InOutErrorCode([this] { RewriteEmpty(); }), 0);  // free again
}

TEST_F(ConfigWindowsTest, ReplacementKeepsHiddenAndSystemAndClearsLeftovers) {
  WriteIni("old");
  ASSERT_TRUE(
      SetFileAttributesA(ini_.Path().c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  dir_.WriteFile("Vistrune.ini.tmp-a1B2c3", "left over");
  dir_.WriteFile("Vistrune.ini.tmp-toolong", "not ours");
  ini_.Rewrite("ListBox", {"D:\\表"}, {"表"});
  EXPECT_EQ(IniBytes(),
            "[Style]\r\nStyle=ListBox\r\n[FixedFolder Setting]\r\ncount=1\r\nD:\\\x95\x5c\r\n"
            "[Name]\r\nD:\\\x95\x5c=\x95\x5c\r\n[Name2]\r\n\x95\x5c=D:\\\x95\x5c\r\n");
  const DWORD attributes = GetFileAttributesA(ini_.Path().c_str());
  EXPECT_EQ(attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
            DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM});
  EXPECT_EQ(testing::FolderEntries(dir_.Path()),
            (std::vector<std::string>{"Vistrune.ini", "Vistrune.ini.tmp-toolong"}));
}

// A thread that ends while it holds the change lock, as a copy of the program
// that is killed does, leaves the lock to the next change.
TEST_F(ConfigWindowsTest, LockOfAThreadThatEndedIsTakenOver) {
  std::thread([this] {
    // Never released: the thread ends holding it.
    const auto* lock = new platform::FileChangeLock(ini_.Path());
    EXPECT_EQ(lock->Code(), platform::kFileOk);
  }).join();
  const testing::ChangeLockPatienceFor patience(testing::kWaitLimitSeconds * 1000);
  ini_.WriteString("Form", "Pos.Left", "5");
  EXPECT_EQ(ini_.ReadString("Form", "Pos.Left", ""), "5");
}

TEST_F(ConfigWindowsTest, CodePage932TextPassesAsItIsOrIsRefused) {
  // Bytes that form no character come back as they are.
  WriteIni("[S]\r\nlead=\x83\r\nunmapped=\x85\x40x\r\n");
  EXPECT_EQ(ini_.ReadString("S", "lead", ""), "\x83");
  EXPECT_EQ(ini_.ReadString("S", "unmapped", ""), "\x85\x40x");
  EXPECT_EQ(ini_.LoadLines().Items(),
            (std::vector<std::string>{"[S]", "lead=\x83", "unmapped=\x85\x40x"}));

  // They are not written: a section name ending in a lone lead byte would
  // take its "]" for a second byte and never be found again.
  const std::string before = IniBytes();
  const std::vector<std::string> refused[] = {
      {"S\x83", "k", "v"}, {"S", "k", "\x85\x40"}, {"S", "k\x83", "v"}};
  for (const auto& row : refused) {
    EXPECT_THROW(ini_.WriteString(row[0], row[1], row[2]), EIniFileException) << row[0] << row[1];
  }
  EXPECT_EQ(InOutErrorCode([this] { ini_.Rewrite("ListBox", {"D:\\x"}, {"\x83"}); }), 1113);
  EXPECT_EQ(InOutErrorCode([this] { ini_.Rewrite("ListBox", {"D:\\x\r\n"}, {"x"}); }), 87);
  EXPECT_EQ(IniBytes(), before);
}

}  // namespace
}  // namespace vistrune
