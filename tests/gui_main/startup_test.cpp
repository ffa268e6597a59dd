// Start-up, the folder list, and what closing the window saves.
#include <sys/stat.h>

#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "config/config.h"
#include "gui_main/main_window_fixture.h"
#include "qt_support/bounded_waits.h"
#include "support/platform_setup.h"
#include "widgets/narrow_text.h"

namespace vistrune::testing {
namespace {

using Lines = std::vector<std::string>;

TEST_F(MainWindowTest, FolderListHoldsTheTreeSortedWithTheFixedFolders) {
  temp.MakeDir("Movies/A/x");
  temp.MakeDir("Movies/B");
  temp.WriteFile("Movies/not-a-folder.avi", "x");
  const std::string fixed = temp.MakeDir("elsewhere");
  const std::string other = temp.MakeDir("other");
  WriteIni({"[Style]", "Style=ListBox", "[FixedFolder Setting]", "count=3", fixed, "/gone", other,
            "[Name]", fixed + "=アニメ", other + "=b", "[Name2]", "アニメ=" + fixed, "b=" + other});
  TForm1& form = Start();

  // Letter case is ignored; entries equal but for case (a fixed folder's
  // display name here: Windows' file names ignore case, so b and B cannot
  // both be folders there) may come in either order, so they are compared
  // as a pair.
  const auto& items = form.ListBox2->Items();
  ASSERT_EQ(items.size(), 7u);
  EXPECT_EQ(items[0], "/gone");  // no Name key: the path itself
  EXPECT_EQ(items[1], "A");
  EXPECT_EQ(items[2], PlatformPath("A/x"));
  EXPECT_TRUE((items[3] == "b" && items[4] == "B") || (items[3] == "B" && items[4] == "b"));
  EXPECT_EQ(items[5], "Movies");
  EXPECT_EQ(items[6], Narrow("アニメ"));
  EXPECT_EQ(HomeFolderName, "Movies");
  EXPECT_EQ(FixedFolderCount, 3);
  EXPECT_EQ(AppPath, Program());
  EXPECT_TRUE(form.InListStyle());
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(MainWindowTest, HomeEntryKeepsDotsOfTheFolderName) {
  SetProgramFolder("Clips.2004.txt");
  TForm1& form = Start();
  EXPECT_EQ(HomeFolderName, "Clips.2004.txt");
  EXPECT_EQ(form.ListBox2->Items(), Lines{"Clips.2004.txt"});
}

TEST_F(MainWindowTest, CountBeyondTheLinesShowsTheListErrorAndTheWindowStillOpens) {
  temp.MakeDir("Movies/A");
  WriteIni({"[Style]", "Style=ComboBox", "[FixedFolder Setting]", "count=3", "/one"});
  TForm1& form = Start();
  EXPECT_EQ(boxes.Errors(), Lines{Narrow("リストのインデックスが範囲を超えています (5)")});
  // The folders found so far are listed; the rest of start-up was skipped,
  // so the window stays in list style.
  EXPECT_EQ(form.ListBox2->Items(), (Lines{"/one", "A", "Movies"}));
  EXPECT_TRUE(form.InListStyle());
  EXPECT_TRUE(form.isVisible());
  // The file list sorts even so.
  EXPECT_TRUE(form.ListBox1->Sorted());
}

TEST_F(MainWindowTest, NegativeOrHugeCountsReadNoPathLinesOrStopAtTheEnd) {
  WriteIni({"[Style]", "Style=ListBox", "[FixedFolder Setting]", "count=-2147483648"});
  Start();
  EXPECT_EQ(Form().ListBox2->Items(), Lines{"Movies"});
  EXPECT_TRUE(boxes.Errors().empty());

  WriteIni({"[Style]", "Style=ListBox", "[FixedFolder Setting]", "count=2147483647", "/a"});
  Start();
  EXPECT_EQ(boxes.Errors(), Lines{Narrow("リストのインデックスが範囲を超えています (5)")});
}

TEST_F(MainWindowTest, StartsInComboStyleUnlessLineOneIsTheListStyleLine) {
  struct Case {
    Lines ini;
    bool listStyle;
  };
  const Case cases[] = {
      {{"[Style]", "Style=ListBox"}, true},
      {{"[Style]", "Style=ComboBox"}, false},
      {{"[Style]", "style=listbox"}, false},
      {{"[Form]", "Pos.Left=10", "Pos.Top=20", "[Style]", "Style=ListBox"}, false},
  };
  for (const Case& c : cases) {
    WriteIni(c.ini);
    EXPECT_EQ(Start().InListStyle(), c.listStyle) << c.ini[1];
  }
}

TEST_F(MainWindowTest, PositionIsReadAtStartAndWrittenAtClose) {
  WriteIni({"[Style]", "Style=ListBox", "[FixedFolder Setting]", "count=0", "[Name]", "[Name2]",
            "[Form]", "Pos.Left=-8", "Pos.Top=$20"});
  TForm1& form = Start();
  EXPECT_EQ(form.Left(), -8);
  EXPECT_EQ(form.Top(), 32);

  form.move(150, 160);
  EXPECT_TRUE(form.close());
  EXPECT_EQ(IniLines(), (Lines{"[Style]", "Style=ListBox", "[FixedFolder Setting]", "count=0",
                               "[Name]", "[Name2]", "[Form]", "Pos.Left=150", "Pos.Top=160"}));
}

TEST_F(MainWindowTest, CloseWritesTheStyleInPlaceAndAppendsTheFormSection) {
  WriteIni({"[Style]", "Style=ListBox", "[FixedFolder Setting]", "count=1", "/v", "[Name]", "/v=V",
            "[Name2]", "V=/v"});
  TForm1& form = Start();
  form.Button3->click();
  form.move(218, 249);
  EXPECT_TRUE(form.close());
  EXPECT_EQ(IniLines(),
            (Lines{"[Style]", "Style=ComboBox", "[FixedFolder Setting]", "count=1", "/v", "[Name]",
                   "/v=V", "[Name2]", "V=/v", "[Form]", "Pos.Left=218", "Pos.Top=249"}));
}

TEST_F(MainWindowTest, CloseWithoutAFileCreatesTheFullLayoutSoTheNextStartKeepsTheStyle) {
  TForm1& form = Start();
  form.move(30, 40);
  EXPECT_TRUE(form.close());
  EXPECT_EQ(IniLines(), (Lines{"[Style]", "Style=ListBox", "[FixedFolder Setting]", "count=0",
                               "[Name]", "[Name2]", "[Form]", "Pos.Left=30", "Pos.Top=40"}));
  EXPECT_TRUE(Start().InListStyle());
}

TEST_F(MainWindowTest, ExitEndsWithoutSaving) {
  TForm1& form = Start();
  form.move(70, 80);
  // In the running message loop, as the user would choose it.
  QTimer::singleShot(0, form.Exit1, &QAction::trigger);
  EXPECT_EQ(ExecWithWatchdog(), 0);
  EXPECT_FALSE(IniExists());
  // The window is torn down without its close step when the program ends.
  EXPECT_TRUE(form.close());
  EXPECT_FALSE(IniExists());
}

TEST_F(MainWindowTest, FailedWriteAtCloseShowsTheErrorAndKeepsTheWindowOpen) {
  WriteIni({"[Style]", "Style=ListBox", "[FixedFolder Setting]", "count=0", "[Name]", "[Name2]"});
  const std::string ini = Program() + "Vistrune.ini";
  ASSERT_EQ(chmod(ini.c_str(), 0444), 0);
  const std::string before = ReadFileBytes(ini);
  TForm1& form = Start();
  EXPECT_FALSE(form.close());
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(boxes.Errors(), Lines{ini + Narrow(" に書き込めません.")});
  EXPECT_EQ(ReadFileBytes(ini), before);

  // Once the file can be written again, closing again saves.
  ASSERT_EQ(chmod(ini.c_str(), 0644), 0);
  EXPECT_TRUE(form.close());
  EXPECT_EQ(IniLines().size(), 9u);
}

TEST_F(MainWindowTest, WindowHasTheDesignedControls) {
  TForm1& form = Start();
  EXPECT_EQ(form.windowTitle(), "Vistrune Z");
  EXPECT_EQ(form.Left(), 218);
  EXPECT_EQ(form.Top(), 249);
  EXPECT_EQ(form.size(), QSize(370, 198));
  EXPECT_EQ(form.minimumSize(), form.maximumSize());
  EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(form.Label1->text(), "フォルダリスト");
  EXPECT_EQ(form.ListBox2->geometry(), QRect(0, 20, 185, 153));
  EXPECT_EQ(form.ListBox1->geometry(), QRect(185, 20, 185, 153));
  EXPECT_EQ(form.Button1->text(), "START!");
  EXPECT_EQ(form.Button2->text(), "FileName");
  EXPECT_EQ(form.Button3->text(), ">");
  EXPECT_FALSE(form.ComboBox1->isVisible());
  EXPECT_EQ(form.ComboBox1->currentText(), "フォルダを選択してください");
  QStringList menu;
  for (QAction* action : form.PopupMenu1->actions()) menu << action->objectName() + action->text();
  EXPECT_EQ(menu,
            (QStringList{"N2再生", "Refresh1更新", "N5検索", "N3エクスプローラで開く",
                         "N1再生出来ない時は", "N4設定", "About1バージョン情報", "Exit1終了"}));
  // Both lists scroll sideways to twice the file list's visible width.
  EXPECT_EQ(form.ListBox2->HorizontalExtent(), 2 * form.ListBox1->contentsRect().width());
  EXPECT_EQ(form.ListBox1->HorizontalExtent(), form.ListBox2->HorizontalExtent());
}

}  // namespace
}  // namespace vistrune::testing
