// The folder list, the file list and the combo box behave as the platform's
// own list boxes and drop-down combo box do: driven with real mouse
// buttons, modifiers and keys.
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleOptionViewItem>

#include "gui_main/main_window_fixture.h"
#include "support/platform_setup.h"

namespace vistrune::testing {
namespace {

using Lines = std::vector<std::string>;

void PressKey(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key), modifiers);
}

TEST_F(MainWindowTest, RightClickInAListOnlyOpensTheMenu) {
  temp.WriteFile("Movies/Anime/a.avi", "x");
  temp.WriteFile("Movies/Anime/b.avi", "x");
  temp.MakeDir("Movies/Zoo");
  TForm1& form = Start();
  Activate();
  const int anime = Row(form.ListBox2, "Anime");
  ClickFolder(anime);
  ClickFile(0);
  // Added since: a relisting would show it and leave no file chosen.
  temp.WriteFile("Movies/Anime/c.avi", "x");
  form.Button1->setFocus();

  auto expectChoiceKept = [&] {
    EXPECT_EQ(form.ListBox2->ItemIndex(), anime);
    EXPECT_EQ(form.ListBox1->Items(), (Lines{"a.avi", "b.avi"}));
    EXPECT_EQ(form.ListBox1->ItemIndex(), 0);
    EXPECT_EQ(form.focusWidget(), form.Button1);
  };
  // Another folder, the chosen folder, another file.
  const std::vector<std::pair<TListBox*, int>> targets = {
      {form.ListBox2, Row(form.ListBox2, "Zoo")}, {form.ListBox2, anime}, {form.ListBox1, 1}};
  for (const auto& [list, row] : targets) {
    SCOPED_TRACE(list->objectName().toStdString() + " row " + std::to_string(row));
    Click(list->viewport(), RowCenter(list, row), Qt::RightButton);
    EXPECT_TRUE(form.PopupMenu1->isVisible());
    expectChoiceKept();
    QTest::keyClick(form.PopupMenu1, Qt::Key_Escape);
    EXPECT_FALSE(form.PopupMenu1->isVisible());
    expectChoiceKept();
  }

  // "再生" from the menu plays the file chosen before the right-click.
  Click(form.ListBox1->viewport(), RowCenter(form.ListBox1, 1), Qt::RightButton);
  ASSERT_TRUE(form.PopupMenu1->isVisible());
  Click(form.PopupMenu1, form.PopupMenu1->actionGeometry(form.N2).center());
  EXPECT_FALSE(form.PopupMenu1->isVisible());
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].target, Program() + PlatformPath("Anime/a.avi"));
}

TEST_F(MainWindowTest, CtrlWithAClickOrSpaceKeepsTheChosenEntry) {
  temp.WriteFile("Movies/Anime/a.avi", "x");
  TForm1& form = Start();
  Activate();
  const int anime = Row(form.ListBox2, "Anime");
  ClickFolder(anime);
  ClickFile(0);

  ClickFolder(anime, Qt::ControlModifier);
  ClickFile(0, Qt::ControlModifier);
  PressKey(Qt::Key_Space, Qt::ControlModifier);  // the file list has the focus
  EXPECT_EQ(form.ListBox2->ItemIndex(), anime);
  EXPECT_EQ(form.ListBox1->Items(), Lines{"a.avi"});
  EXPECT_EQ(form.ListBox1->ItemIndex(), 0);

  Click(form.Button1);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].target, Program() + PlatformPath("Anime/a.avi"));
}

TEST_F(MainWindowTest, AClickOnTheChosenFolderListsItAgain) {
  temp.WriteFile("Movies/Anime/a.avi", "x");
  TForm1& form = Start();
  const int anime = Row(form.ListBox2, "Anime");
  ClickFolder(anime);
  ASSERT_EQ(form.ListBox1->Items(), Lines{"a.avi"});
  temp.WriteFile("Movies/Anime/b.avi", "x");
  ClickFolder(anime);
  EXPECT_EQ(form.ListBox1->Items(), (Lines{"a.avi", "b.avi"}));
}

TEST_F(MainWindowTest, TypingInTheComboBoxChoosesNoEntryEvenWhenTheTextIsOne) {
  temp.WriteFile("Movies/Anime/a.avi", "x");
  temp.MakeDir("Movies/Zoo");
  WriteIni({"[Style]", "Style=ComboBox"});
  TForm1& form = Start();
  Activate();
  QLineEdit* field = form.ComboBox1->lineEdit();
  Click(field);
  PressKey(Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(QApplication::focusWidget(), "Anime");
  EXPECT_EQ(form.ComboBox1->currentIndex(), -1);
  EXPECT_EQ(form.ListBox1->Items(), Lines{"a.avi"});

  // Enter in the field, then the field loses the focus.
  PressKey(Qt::Key_Return);
  EXPECT_EQ(form.ComboBox1->currentIndex(), -1);
  Click(form.ListBox1->viewport());
  EXPECT_FALSE(field->hasFocus());
  EXPECT_EQ(form.ComboBox1->currentIndex(), -1);

  // "<": no entry is chosen in the folder list; the listing stays.
  Click(form.Button3);
  ASSERT_TRUE(form.InListStyle());
  EXPECT_EQ(form.ListBox2->ItemIndex(), -1);
  EXPECT_EQ(form.ListBox1->Items(), Lines{"a.avi"});

  // A choice from the drop-down list by arrow key does choose.
  Click(form.Button3);
  Click(field);
  PressKey(Qt::Key_Down);
  EXPECT_EQ(form.ComboBox1->currentIndex(), 0);
  EXPECT_EQ(form.ComboBox1->currentText(), "Anime");
  Click(form.Button3);
  EXPECT_EQ(form.ListBox2->ItemIndex(), Row(form.ListBox2, "Anime"));
}

bool IsLineBreak(QChar c) {
  return QStringView(u"\n\v\f\r\u0085\u2028\u2029").contains(c);
}

// shown is name as a list shows it on one row: each line break of name is
// drawn as a visible mark of its own, every other character as it is.
void ExpectOneRow(const QString& shown, const std::string& name) {
  const QString text = QString::fromStdString(name);
  ASSERT_EQ(shown.size(), text.size()) << shown.toStdString();
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (IsLineBreak(text[i])) {
      EXPECT_TRUE(shown[i].isPrint() && !shown[i].isSpace() && !IsLineBreak(shown[i]))
          << "no visible mark at " << i << " in " << shown.toStdString();
    } else {
      EXPECT_EQ(shown[i], text[i]) << i;
    }
  }
}

// The text view shows for row, and the height the row takes.
QString Shown(QAbstractItemView* view, int row) {
  return view->model()->index(row, 0).data(Qt::DisplayRole).toString();
}
int RowHeight(QAbstractItemView* view, int row) {
  QStyleOptionViewItem option;
  option.initFrom(view->viewport());
  return view->itemDelegate()->sizeHint(option, view->model()->index(row, 0)).height();
}

TEST_F(MainWindowTest, ANameWithALineBreakIsShownOnOneRowAndOpenedAsItIs) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows file names cannot hold line breaks, and the configuration file "
                  "holds one name per line: no entry can have one there";
#endif
  const std::string folder = "two\nlines";
  const std::string file = "cr\r\nlf.avi";
  temp.WriteFile("Movies/" + folder + "/" + file, "x");
  temp.WriteFile("Movies/" + folder + "/plain.avi", "x");
  TForm1& form = Start();
  const std::string target = Program() + folder + "/" + file;
  const int row = Row(form.ListBox2, folder);
  ClickFolder(row);
  ASSERT_EQ(form.ListBox1->Items(), (Lines{file, "plain.avi"}));
  ExpectOneRow(Shown(form.ListBox2, row), folder);
  ExpectOneRow(Shown(form.ListBox1, 0), file);
  EXPECT_EQ(RowHeight(form.ListBox1, 0), RowHeight(form.ListBox1, 1));
  EXPECT_EQ(RowHeight(form.ListBox2, row), RowHeight(form.ListBox2, row == 0 ? 1 : 0));
  ClickFile(0);
  Click(form.Button1);

  // In the combo box: its list, and its field showing the chosen folder.
  Click(form.Button3);
  ASSERT_EQ(form.ComboBox1->currentIndex(), row);
  ExpectOneRow(Shown(form.ComboBox1->view(), row), folder);
  ExpectOneRow(form.ComboBox1->lineEdit()->text(), folder);
  EXPECT_EQ(RowHeight(form.ComboBox1->view(), row),
            RowHeight(form.ComboBox1->view(), row == 0 ? 1 : 0));
  Click(form.Button1);

  ASSERT_EQ(opened.size(), 2u);
  EXPECT_EQ(opened[0].target, target);
  EXPECT_EQ(opened[1].target, target);
}

}  // namespace
}  // namespace vistrune::testing
