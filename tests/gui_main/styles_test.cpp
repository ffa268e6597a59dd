// The list style and the narrow combo style, and what moves between them.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "gui_main/main_window_fixture.h"
#include "support/platform_setup.h"
#include "widgets/narrow_text.h"

namespace vistrune::testing {
namespace {

using Lines = std::vector<std::string>;

std::vector<QRect> Geometry(TForm1& form) {
  return {form.rect(),
          form.Label1->geometry(),
          form.ComboBox1->geometry(),
          form.ListBox2->geometry(),
          form.ListBox1->geometry(),
          form.Button1->geometry(),
          form.Button2->geometry(),
          form.Button3->geometry()};
}

Lines ComboItems(TForm1& form) {
  Lines items;
  for (int i = 0; i < form.ComboBox1->count(); ++i)
    items.push_back(form.ComboBox1->itemText(i).toStdString());
  return items;
}

TEST_F(MainWindowTest, EmptyFolderListOnlyChangesTheLayout) {
  TForm1& form = Start();
  form.ListBox2->Clear();
  form.Button3->click();
  EXPECT_EQ(form.ComboBox1->currentText(), "フォルダを選択してください");
  EXPECT_EQ(form.ComboBox1->count(), 0);
  EXPECT_EQ(form.width(), 185);
  form.Button3->click();
  EXPECT_EQ(form.ListBox2->Count(), 0);
  EXPECT_EQ(form.width(), 370);
}

TEST_F(MainWindowTest, ComboStyleLayout) {
  TForm1& form = Start();
  form.Button3->click();
  EXPECT_EQ(form.Button3->text(), "<");
  EXPECT_EQ(form.size(), QSize(185, 198));
  EXPECT_EQ(form.ComboBox1->geometry(), QRect(0, 0, 185, 20));
  EXPECT_EQ(form.ListBox1->geometry(), QRect(0, 20, 185, 153));
  EXPECT_EQ(form.Button2->geometry(), QRect(20, 173, 82, 25));
  EXPECT_EQ(form.Button1->geometry(), QRect(102, 173, 83, 25));
  EXPECT_TRUE(form.ComboBox1->isVisible() && form.ComboBox1->isEnabled());
  EXPECT_FALSE(form.ListBox2->isVisible() || form.ListBox2->isEnabled());
  EXPECT_FALSE(form.Label1->isVisible() || form.Label1->isEnabled());
  EXPECT_TRUE(form.ComboBox1->isEditable());
  EXPECT_EQ(form.ComboBox1->maxVisibleItems(), 8);
}

TEST_F(MainWindowTest, StartInComboStyleShowsThePromptAndTheSortedFolders) {
  temp.MakeDir("Movies/b");
  temp.MakeDir("Movies/A");
  WriteIni({"[Style]", "Style=ComboBox"});
  TForm1& form = Start();
  EXPECT_FALSE(form.InListStyle());
  EXPECT_EQ(ComboItems(form), (Lines{"A", "b", "Movies"}));
  EXPECT_EQ(form.ComboBox1->currentIndex(), -1);
  EXPECT_EQ(form.ComboBox1->currentText(), "フォルダを選択してください");
  EXPECT_EQ(form.ListBox2->Count(), 0);
  EXPECT_EQ(form.ListBox1->Count(), 0);
}

TEST_F(MainWindowTest, SwitchingCarriesTheChoiceAndLeavesTheFileListAlone) {
  temp.WriteFile("Movies/Anime/2004/clip.avi", "x");
  temp.MakeDir("Movies/Zoo");
  TForm1& form = Start();
  const std::vector<QRect> design = Geometry(form);
  const Lines entries = form.ListBox2->Items();
  ClickFolder(1);  // Anime/2004
  ClickFile(0);
  ASSERT_EQ(form.ListBox1->Items(), Lines{"clip.avi"});

  form.Button3->click();
  EXPECT_EQ(form.ComboBox1->currentText(), ToQString(PlatformPath("Anime/2004")));
  EXPECT_EQ(form.ComboBox1->currentIndex(), 1);
  EXPECT_EQ(form.ListBox1->Items(), Lines{"clip.avi"});
  EXPECT_EQ(form.ListBox1->ItemIndex(), 0);

  form.Button3->click();
  EXPECT_EQ(form.ListBox2->Items(), entries);
  EXPECT_EQ(form.ListBox2->ItemIndex(), 1);
  EXPECT_EQ(form.ListBox1->Items(), Lines{"clip.avi"});
  EXPECT_EQ(Geometry(form), design);
}

TEST_F(MainWindowTest, BackToListStyleSelectsOnlyAChosenItem) {
  temp.MakeDir("Movies/Anime");
  temp.MakeDir("Movies/Zoo");
  TForm1& form = Start();

  form.Button3->click();  // the prompt shows
  form.Button3->click();
  EXPECT_EQ(form.ListBox2->ItemIndex(), -1);

  form.Button3->click();
  form.ComboBox1->setCurrentIndex(2);
  emit form.ComboBox1->activated(2);
  form.Button3->click();
  EXPECT_EQ(form.ListBox2->ItemIndex(), 2);

  form.Button3->click();
  form.ComboBox1->setCurrentIndex(2);
  QTest::keyClicks(form.ComboBox1->lineEdit(), "x");  // typing unchooses the item
  EXPECT_EQ(form.ComboBox1->currentIndex(), -1);
  form.Button3->click();
  EXPECT_EQ(form.ListBox2->ItemIndex(), -1);
}

TEST_F(MainWindowTest, EntriesEqualButForCaseSelectTheFirst) {
  // One of them a fixed folder's display name: Windows' file names ignore
  // letter case, so abc and ABC cannot both be folders there.
  temp.MakeDir("Movies/abc");
  const std::string fixed = temp.MakeDir("elsewhere");
  WriteIni({"[Style]", "Style=ListBox", "[FixedFolder Setting]", "count=1", fixed, "[Name]",
            fixed + "=ABC", "[Name2]", "ABC=" + fixed});
  TForm1& form = Start();
  ASSERT_EQ(form.ListBox2->Count(), 3);
  form.ListBox2->SetItemIndex(1);
  form.Button3->click();
  EXPECT_EQ(form.ComboBox1->currentIndex(), 0);
}

}  // namespace
}  // namespace vistrune::testing
