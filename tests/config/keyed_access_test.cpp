// Keyed reads and writes on Vistrune.ini: lookup rules, code page 932 traps,
// integer parsing, and the bytes a keyed write leaves behind.
#include <array>
#include <climits>

#include "config_fixture.h"

namespace vistrune {
namespace {

// アニメ and ヂカメ in code page 932: their second bytes differ only as ASCII
// capitals and small letters do.
const std::string kAnime = "\x83\x41\x83\x6a\x83\x81";

using KeyedReadTest = ConfigTest;

TEST_F(KeyedReadTest, FindsValuesByTheChosenRules) {
  WriteIni(
      "; comment\r\n"
      "before=outside any section\r\n"
      "[Form]\r\n"
      "Pos.Left=218\r\n"
      "[Name]\r\n"
      "D:\\Video\\Anime=" +
      kAnime +
      "\r\n"
      "D:\\a=b=c\r\n"
      "E:\\Clips=\r\n"
      "  spaced key \t= value with blanks  \r\n"
      "dup=first\r\n"
      "dup=second\r\n"
      "\x82\x60=full-width A\r\n"
      "[\x83\x5d]\r\n"  // [ゾ]: its second byte is "]"
      "k=zo\r\n"
      "[ \x81\x5b\x83\x41 ]\r\n"  // [ ーア ]: ー's second byte is "["
      "k=choon\r\n"
      "[Name2]\r\n" +
      kAnime +
      "=D:\\Video\\Anime\r\n"
      "[HD] Movies=/videos/[HD]\r\n"  // a key line, not a section line
      "a=b=E:\\x\r\n"
      "[x]=D:\\bracket\r\n"
      ";semi=D:\\semi\r\n"
      "\x95\x5c=D:\\hyo\r\n"  // 表: its second byte is "\"
      "=empty key\r\n"
      "[Name]\r\n"
      "late=ignored\r\n"
      "dup=third\r\n");
  struct Row {
    std::string section, key, expected;
  };
  const std::string def = "<default>";
  const Row rows[] = {
      {"Form", "Pos.Left", "218"},
      {"form", "pos.left", "218"},
      {"Form", "Pos.Top", def},
      {"NoSuch", "Pos.Left", def},
      {"", "before", def},
      {"Name", "d:\\video\\anime", "アニメ"},
      {"Name", "D:\\a", "b=c"},
      {"Name", "D:\\a=b", def},
      {"Name", "E:\\Clips", ""},
      {"Name", "spaced key", " value with blanks  "},
      {" Name ", " spaced key\t", " value with blanks  "},
      {"Name", "dup", "first"},
      {"Name", "late", def},
      {"Name", "Ａ", "full-width A"},
      {"Name", "ａ", def},
      {"ゾ", "k", "zo"},
      {"ーア", "k", "choon"},
      {"Name2", "アニメ", "D:\\Video\\Anime"},
      {"Name2", "ヂカメ", def},
      {"Name2", "[HD] Movies", "/videos/[HD]"},
      {"Name2", "a", "b=E:\\x"},
      {"Name2", "a=b", def},
      {"Name2", "[x]", "D:\\bracket"},
      {"Name2", ";semi", "D:\\semi"},
      {"Name2", "表", "D:\\hyo"},
      {"Name2", "", "empty key"},
      {"Name2", "\xf0\x9f\x98\x80", def},  // not in code page 932
      {"Name2", "\xff", def},              // not UTF-8
  };
  // One reading of the file, for many look-ups, finds the same.
  const ConfigSnapshot snapshot(ini_);
  for (const Row& row : rows) {
    EXPECT_EQ(ini_.ReadString(row.section, row.key, def), row.expected)
        << "[" << row.section << "] " << row.key;
    EXPECT_EQ(snapshot.ReadString(row.section, row.key, def), row.expected)
        << "one reading: [" << row.section << "] " << row.key;
  }
}

TEST_F(KeyedReadTest, MissingOrUnreadableFileGivesTheDefault) {
  EXPECT_EQ(ini_.ReadString("Form", "Pos.Left", "d"), "d");
  EXPECT_EQ(ini_.ReadInteger("Form", "Pos.Left", 7), 7);
  dir_.MakeDir("Vistrune.ini");
  EXPECT_EQ(ini_.ReadString("Form", "Pos.Left", "d"), "d");
}

TEST_F(KeyedReadTest, LongValuesAreCutToWhole2047Bytes) {
  std::string doubleBytes;
  for (int i = 0; i < 1100; ++i) doubleBytes += "\x83\x41";
  WriteIni("[S]\r\nascii=" + std::string(1 << 20, 'a') + "\r\nkana=" + doubleBytes + "\r\n");
  EXPECT_EQ(ini_.ReadString("S", "ascii", ""), std::string(2047, 'a'));
  std::string expected;
  for (int i = 0; i < 1023; ++i) expected += "ア";
  EXPECT_EQ(ini_.ReadString("S", "kana", ""), expected);
  EXPECT_EQ(ConfigSnapshot(ini_).ReadString("S", "kana", ""), expected);
}

TEST_F(KeyedReadTest, BrokenDoubleByteCharactersReadAsReplacementCharacters) {
#ifdef _WIN32
  GTEST_SKIP() << "With the ANSI code page 932 the narrow encoding is code page 932 itself: "
                  "bytes that form no character come back as they are, not as U+FFFD "
                  "(config_win32_test.cpp checks that)";
#else
  WriteIni("[S]\r\nlead=\x83\r\nunmapped=\x85\x40x\r\nlone=\x83 y\r\n");
  EXPECT_EQ(ini_.ReadString("S", "lead", ""), "\uFFFD");
  EXPECT_EQ(ini_.ReadString("S", "unmapped", ""), "\uFFFDx");
  EXPECT_EQ(ini_.ReadString("S", "lone", ""), "\uFFFD y");
#endif
}

TEST_F(KeyedReadTest, IntegersParseExactly) {
  const std::pair<std::string, int32_t> numbers[] = {{"0x10", 16},
                                                     {"$10", 16},
                                                     {"x10", 16},
                                                     {"X1f", 31},
                                                     {"0X10", 16},
                                                     {"$000000010", 16},
                                                     {" 42", 42},
                                                     {"  -8", -8},
                                                     {"+5", 5},
                                                     {"007", 7},
                                                     {"2147483647", INT32_MAX},
                                                     {"-2147483648", INT32_MIN},
                                                     {"$FFFFFFFF", -1},
                                                     {"$80000000", INT32_MIN}};
  const std::string notNumbers[] = {
      "2x",         "abc", "",   "2147483648", "-2147483649", "99999999999999999999",
      "$1FFFFFFFF", "$",   "0x", "-",          "42 ",         "\t42",
      "-$10",       "$1G"};
  std::string file = "[S]\r\n";
  for (const auto& [text, value] : numbers) file += "n" + text + "=" + text + "\r\n";
  for (const std::string& text : notNumbers) file += "x" + text + "=" + text + "\r\n";
  WriteIni(file);
  for (const auto& [text, value] : numbers)
    EXPECT_EQ(ini_.ReadInteger("S", "n" + text, 777), value) << "\"" << text << "\"";
  for (const std::string& text : notNumbers)
    EXPECT_EQ(ini_.ReadInteger("S", "x" + text, 777), 777) << "\"" << text << "\"";
  EXPECT_EQ(ini_.ReadInteger("S", "missing", -3), -3);
}

using KeyedWriteTest = ConfigTest;

TEST_F(KeyedWriteTest, ChangesOnlyTheBytesConcerned) {
  struct Row {
    const char* name;
    std::string before, section, key, value, after;
  };
  const Row rows[] = {
      {"value replaced in place, file's key text and line ends kept",
       "x\n[form]\r pos.left = 1\n[B]\r\n", "Form", "Pos.Left", "-8",
       "x\n[form]\r pos.left =-8\n[B]\r\n"},
      {"key added at the end of a middle section", "[A]\r\na=1\r\n\r\n[B]\r\nb=2\r\n", "A", "k",
       "v", "[A]\r\na=1\r\n\r\nk=v\r\n[B]\r\nb=2\r\n"},
      {"key added to a last section without a final line end", "[A]\r\na=1", "a", "k", "v",
       "[A]\r\na=1\r\nk=v\r\n"},
      {"section appended after a final line end", "[A]\na=1\n", "B", "k", "v",
       "[A]\na=1\n[B]\r\nk=v\r\n"},
      {"section appended after a last line without line end", "; c", "B", "k", "v",
       "; c\r\n[B]\r\nk=v\r\n"},
      {"empty file", "", "S", "k", "v", "[S]\r\nk=v\r\n"},
      {"file of NUL bytes", std::string(3, '\0'), "S", "k", "v",
       std::string(3, '\0') + "\r\n[S]\r\nk=v\r\n"},
      {"first of two sections", "[A]\r\n[B]\r\n[A]\r\nk=old\r\n", "A", "k", "v",
       "[A]\r\nk=v\r\n[B]\r\n[A]\r\nk=old\r\n"},
      {"first of two keys", "[A]\r\nk=1\r\nk=2\r\n", "A", "k", "v", "[A]\r\nk=v\r\nk=2\r\n"},
      {"key before the first section untouched", "k=0\r\n[A]\r\n", "A", "k", "v",
       "k=0\r\n[A]\r\nk=v\r\n"},
      {"key line in brackets stays in its section", "[N]\r\n[x]=D:\\[y]\r\n[M]\r\n", "N", "k", "v",
       "[N]\r\n[x]=D:\\[y]\r\nk=v\r\n[M]\r\n"},
      {"section named with ゾ", "[\x83\x5d]\r\n[Z]\r\n", "ゾ", "k", "v",
       "[\x83\x5d]\r\nk=v\r\n[Z]\r\n"},
      {"empty value filled", "[A]\r\nk=\r\n", "A", "k", "v", "[A]\r\nk=v\r\n"},
      {"value after a lone lead byte replaced", "[A]\r\nk=\x83", "A", "k", "v", "[A]\r\nk=v"},
  };
  for (const Row& row : rows) {
    WriteIni(row.before);
    ini_.WriteString(row.section, row.key, row.value);
    EXPECT_EQ(IniBytes(), row.after) << row.name;
  }
}

TEST_F(KeyedWriteTest, CloseOnMissingFileGivesKeyedOnlyLayout) {
  for (int round = 0; round < 2; ++round) {
    ini_.WriteInteger("Form", "Pos.Left", round == 0 ? 218 : INT32_MIN);
    ini_.WriteInteger("Form", "Pos.Top", round == 0 ? 249 : -8);
    ini_.WriteString("Style", "Style", round == 0 ? "ListBox" : "ComboBox");
  }
  EXPECT_EQ(IniBytes(),
            "[Form]\r\nPos.Left=-2147483648\r\nPos.Top=-8\r\n[Style]\r\nStyle=ComboBox\r\n");
  EXPECT_EQ(ini_.LoadLines().Get(1), "Pos.Left=-2147483648");
}

TEST_F(KeyedWriteTest, WrittenValuesReadBackUnchanged) {
  const std::string values[] = {" x ", "", "a=b", "[y]", "\tアニメ ", ";c", "表ーゾ～"};
  for (const std::string& value : values) {
    ini_.WriteString("Name2", " key ", value);
    EXPECT_EQ(ini_.ReadString("Name2", " key ", "<default>"), value);
  }
}

TEST_F(KeyedWriteTest, RefusesWhatCannotBeStoredAndWritesNothing) {
#ifdef _WIN32
  GTEST_SKIP() << "With the ANSI code page 932 the narrow encoding is code page 932 itself, "
                  "where the yen sign is the backslash and the wave dash the full-width tilde: "
                  "nothing to refuse (config_win32_test.cpp checks what Windows refuses)";
#else
  const std::string before = "[Style]\r\nStyle=ListBox\r\n";
  const std::string message = ini_.Path() + " に書き込めません";
  const std::array<std::string, 3> rows[] = {
      {"Style", "Style", "\xf0\x9f\x98\x80"},  // not in code page 932
      {"Style", "Style", "¥"},                 // would come back as "\"
      {"Style", "Style", "\u301c"},            // would come back as U+FF5E
      {"Style", "Style", "\xff"},              // not UTF-8
      {"Style", "Style", "a\r\nb"},
      {"Style", "Style", std::string("a\0b", 3)},
      {"Style", "a=b", "v"},
      {"S=T", "Style", "v"},
  };
  WriteIni(before);
  for (const auto& row : rows) {
    try {
      ini_.WriteString(row[0], row[1], row[2]);
      ADD_FAILURE() << "no failure for " << row[0] << "/" << row[1] << "/" << row[2];
    } catch (const EIniFileException& e) {
      EXPECT_EQ(e.what(), message);
    }
    EXPECT_EQ(IniBytes(), before);
  }
#endif
}

TEST_F(KeyedWriteTest, ReadOnlyFileFailsForRootToo) {
  const std::string before = "[Style]\r\nStyle=ListBox\r\n";
  WriteIni(before);
  chmod(ini_.Path().c_str(), 0444);
  try {
    ini_.WriteString("Style", "Style", "ComboBox");
    ADD_FAILURE() << "a read-only file was written";
  } catch (const EIniFileException& e) {
    EXPECT_EQ(e.what(), ini_.Path() + " に書き込めません");
  }
  EXPECT_EQ(IniBytes(), before);
  EXPECT_EQ(IniMode(), 0444u);
}

TEST_F(KeyedWriteTest, FailsWhenTheFileCannotBeReadOrCreated) {
  dir_.MakeDir("Vistrune.ini");
  EXPECT_THROW(ini_.WriteString("S", "k", "v"), EIniFileException);
  ini_ = ConfigFile(dir_.Slash() + "missing/Vistrune.ini");
  EXPECT_THROW(ini_.WriteString("S", "k", "v"), EIniFileException);
  EXPECT_FALSE(ini_.Exists());
}

}  // namespace
}  // namespace vistrune
