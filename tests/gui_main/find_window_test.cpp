// The find window: how texts are folded and matched, and the window opened
// from the main window, finding as the user types, playing a result and
// showing it in the main window.
#include <QApplication>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>

#include "find_window/Unit5.h"
#include "gui_main/main_window_fixture.h"
#include "library/video_index.h"
#include "qt_support/bounded_waits.h"
#include "support/platform_setup.h"
#include "widgets/narrow_text.h"
#include "widgets/search_text.h"

namespace vistrune::testing {
namespace {

using Lines = std::vector<std::string>;

TEST(FindMatching, EveryWordOccursInTheEntryAndNameFoldedAlike) {
  struct Row {
    const char* entry;
    const char* name;
    const char* query;
    bool found;
  };
  const Row rows[] = {
      {"Anime", "Clip.AVI", "anime CLIP", true},
      {"ＡＢＣ", "x.avi", "abc", true},
      {"abc", "x.avi", "ＡＢＣ", true},
      {"Movies", "Ｃｌｉｐ.avi", "clip", true},
      {"ｸﾘｯﾌﾟ", "x.avi", "クリップ", true},
      {"Movies", "クリップ.avi", "ｸﾘｯﾌﾟ", true},
      {"アニメ", "x.avi", "あにめ", true},
      {"Movies", "がっこう.avi", "ガッコウ", true},
#ifndef _WIN32
      // Characters that compose with the one before them (code page 932,
      // the names' encoding on Windows, holds neither).
      {"Movies", "か\u3099っこう.avi", "ガッコウ", true},
      {"Movies", "\u1100\u1161.avi", "\uac00", true},
      {"Movies", "\uac00\u11a8.avi", "\uac01", true},
#endif
      // The entry may hold every word, whatever the name; but every word counts.
      {"Anime", "x.avi", "anime", true},
      {"Anime", "x.avi", "anime clip", false},
      {"Anime", "clip.avi", "clip　anime", true},
      {"Anime", "clip.avi", "anime clap", false},
      {"Anime", "clip.avi", "", false},
      {"Anime", "clip.avi", "　 ", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.entry) + " " + row.name + " [" + row.query + "]");
    VideoIndex index;
    index.AddFolder(0, Narrow(row.entry), {Narrow(row.name)}, SearchKey);
    std::vector<VideoIndex::Hit> hits;
    index.Find(SearchWords(QString::fromUtf8(row.query)), 0, hits);
    EXPECT_EQ(hits.size(), row.found ? 1u : 0u);
  }
}

class FindWindowTest : public MainWindowTest {
 protected:
  // Opens the find window from the main window's menu, once its index is
  // complete.
  TForm5& OpenFind(TForm1& form) {
    form.N5->trigger();
    EXPECT_TRUE(WaitUntil([] { return Form5 && !Form5->Indexing(); }, "the index to be complete"));
    return *Form5;
  }
  static Lines Results(TForm5& find) {
    Lines results;
    const QAbstractItemModel* model = find.ListBox1->model();
    for (int row = 0; row < model->rowCount(); ++row)
      results.push_back(model->data(model->index(row, 0)).toString().toStdString());
    return results;
  }
};

TEST_F(FindWindowTest, OpensFromTheMenuAndCtrlFAndFindsAsTheUserTypes) {
  for (const char* name : {"Movies/Anime/Clip one.avi", "Movies/Anime/other.wmv",
                           "Movies/clip two.mpg", "Movies/アニメ/くりっぷ.avi"})
    temp.WriteFile(Narrow(name), "x");
  TForm1& form = Start();
  TForm5& find = OpenFind(form);
  EXPECT_TRUE(find.isVisible());
  EXPECT_TRUE(Results(find).empty());
  QTest::keyClicks(find.Edit1, "clip");
  EXPECT_EQ(Results(find), (Lines{"Clip one.avi  —  Anime", "clip two.mpg  —  Movies"}));
  QTest::keyClicks(find.Edit1, " one");
  EXPECT_EQ(Results(find), Lines{"Clip one.avi  —  Anime"});
  EXPECT_EQ(find.Label1->text(), "1 件");

  QTest::keyClick(find.Edit1, Qt::Key_Escape);
  EXPECT_FALSE(find.isVisible());
  Activate();
  ASSERT_TRUE(WaitUntil([&] { return QApplication::activeWindow() == &form; },
                        "the main window to be the active one"));
  QTest::keyClick(&form, Qt::Key_F, Qt::ControlModifier);
  EXPECT_EQ(Form5, &find);
  EXPECT_TRUE(find.isVisible());
  EXPECT_EQ(find.Edit1->text(), "clip one");
}

TEST_F(FindWindowTest, EnterPlaysTheNameByItsOwnBytes) {
  const std::string name = Narrow("-x $HOME 'q'; & 表ソ.avi");
  temp.WriteFile("Movies/Anime/" + name, "x");
  TForm5& find = OpenFind(Start());
  // Typed through the input method, which hands the edit box the text.
  QInputMethodEvent typed;
  typed.setCommitString("表ソ");
  QApplication::sendEvent(find.Edit1, &typed);
  QTest::keyClick(find.Edit1, Qt::Key_Return);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].verb, "open");
  EXPECT_EQ(opened[0].target, Program() + PlatformPath("Anime/") + name);
  EXPECT_EQ(opened[0].workingDirectory, Program());
}

TEST_F(FindWindowTest, ShowFolderChoosesAndListsTheFolderInEitherStyle) {
  temp.WriteFile("Movies/Anime/a.avi", "x");
  temp.WriteFile("Movies/Anime/b.avi", "x");
  temp.WriteFile("Movies/b.avi", "x");
  for (const bool listStyle : {true, false}) {
    SCOPED_TRACE(listStyle ? "list style, Ctrl+Enter" : "combo style, フォルダを表示");
    WriteIni({"[Style]", listStyle ? "Style=ListBox" : "Style=ComboBox", "[FixedFolder Setting]",
              "count=0"});
    TForm1& form = Start();
    TForm5& find = OpenFind(form);
    QTest::keyClicks(find.Edit1, "anime b");
    if (listStyle) {
      QTest::keyClick(find.Edit1, Qt::Key_Return, Qt::ControlModifier);
      ASSERT_EQ(form.ListBox2->ItemIndex(), 0);
    } else {
      find.N2->trigger();
      EXPECT_EQ(form.ComboBox1->ItemIndex(), 0);
      EXPECT_EQ(form.ComboBox1->Text(), "Anime");
    }
    EXPECT_EQ(form.ListBox1->Items(), (Lines{"a.avi", "b.avi"}));
    EXPECT_EQ(form.ListBox1->ItemIndex(), 1);
    opened.clear();
    form.Button1->click();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].target, Program() + PlatformPath("Anime/b.avi"));
  }
}

}  // namespace
}  // namespace vistrune::testing
