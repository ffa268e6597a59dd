// The window in use while the start-up walk, held back on purpose, goes on:
// shown at once, folders joining the list in batches, a choice that stays
// on its entry, closing and 終了 during the walk.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTimer>
#include <condition_variable>
#include <mutex>

#include "find_window/Unit5.h"
#include "gui_main/main_window_fixture.h"
#include "platform/paths.h"
#include "qt_support/bounded_waits.h"
#include "support/wait_limit.h"

namespace vistrune::testing {
namespace {

using Lines = std::vector<std::string>;

// Holds the walk back: each folder below the program folder waits on the
// walk's thread until the test lets it through.
class WalkGate {
 public:
  void Allow(int folders) {
    const std::lock_guard lock(mutex_);
    allowed_ += folders;
    changed_.notify_all();
  }
  void Open() {
    const std::lock_guard lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  int Passed() {
    const std::lock_guard lock(mutex_);
    return passed_;
  }
  // Waits, on the walk's thread, until the test lets one more folder
  // through; lets it through anyway, failing the test, at the wait limit.
  void Pass() {
    std::unique_lock lock(mutex_);
    EXPECT_TRUE(WaitUntil(
        changed_, lock, [this] { return open_ || passed_ < allowed_; },
        "the test to let the next folder through"));
    ++passed_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int allowed_ = 0;
  int passed_ = 0;
  bool open_ = false;
};

class HeldWalkTest : public MainWindowTest {
 protected:
  HeldWalkTest() {
    StartupWalk::BeforeReport = [this] { gate.Pass(); };
    // Twenty folders beside the two equal but for case to a fixed folder's
    // name, and a video in the program folder itself.
    for (int i = 0; i < 20; ++i) temp.MakeDir("Movies/f" + std::to_string(100 + i));
    temp.MakeDir("Movies/anime/x");
    temp.WriteFile("Movies/m.avi", "x");
  }
  ~HeldWalkTest() override {
    gate.Open();
    EndForm();
    StartupWalk::BeforeReport = nullptr;
  }

  void WriteIniWithStyle(const std::string& style) {
    WriteIni({"[Style]", "Style=" + style, "[FixedFolder Setting]", "count=2", "/p/one", "/p/two",
              "[Name]", "/p/one=Anime", "/p/two=zz", "[Name2]"});
  }

  // What the synchronous start listed: the walked folders before a fixed
  // folder equal to one of them but for letter case.
  static Lines FullList() {
    Lines list{"anime", "Anime", std::string("anime") + platform::kPathDelimiter + "x"};
    for (int i = 0; i < 20; ++i) list.push_back(std::string("f").append(std::to_string(100 + i)));
    list.insert(list.end(), {"Movies", "zz"});
    return list;
  }

  WalkGate gate;
};

TEST_F(HeldWalkTest, WindowShowsAtOnceAndTheFoldersJoinAroundTheChoice) {
  WriteIniWithStyle("ListBox");
  TForm1& form = StartWalking();
  EXPECT_TRUE(form.isVisible());
  EXPECT_TRUE(form.Walking());
  EXPECT_EQ(form.ListBox2->Items(), (Lines{"Anime", "Movies", "zz"}));
  EXPECT_EQ(form.Label1->text(), "フォルダリスト (1)");
  EXPECT_EQ(form.cursor().shape(), Qt::BusyCursor);

  ClickFolder(1);
  EXPECT_EQ(form.ListBox1->Items(), Lines{"m.avi"});
  gate.Allow(12);
  ASSERT_TRUE(WaitUntil([&] { return form.ListBox2->Count() == 15; }, "15 entries in the list"));
  EXPECT_EQ(form.ListBox2->Item(form.ListBox2->ItemIndex()), "Movies");
  EXPECT_EQ(form.Label1->text(), "フォルダリスト (13)");

  gate.Open();
  WaitForFolderList();
  EXPECT_EQ(form.ListBox2->Items(), FullList());
  EXPECT_EQ(form.ListBox2->Item(form.ListBox2->ItemIndex()), "Movies");
  EXPECT_EQ(form.ListBox1->Items(), Lines{"m.avi"});
  EXPECT_EQ(form.Label1->text(), "フォルダリスト");
  EXPECT_EQ(form.cursor().shape(), Qt::ArrowCursor);
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(HeldWalkTest, InComboStyleTheFoldersJoinTheComboBoxAroundTheChoice) {
  WriteIniWithStyle("ComboBox");
  TForm1& form = StartWalking();
  ASSERT_FALSE(form.InListStyle());
  ASSERT_EQ(form.ComboBox1->count(), 3);
  form.ComboBox1->setCurrentIndex(1);
  emit form.ComboBox1->activated(1);
  EXPECT_EQ(form.ListBox1->Items(), Lines{"m.avi"});

  gate.Open();
  WaitForFolderList();
  Lines combo;
  for (int i = 0; i < form.ComboBox1->count(); ++i)
    combo.push_back(form.ComboBox1->itemText(i).toStdString());
  EXPECT_EQ(combo, FullList());
  EXPECT_EQ(form.ComboBox1->currentText(), "Movies");
  EXPECT_EQ(form.ComboBox1->itemText(form.ComboBox1->currentIndex()), "Movies");
  // Back in list style the choice is still the same entry.
  form.Button3->click();
  EXPECT_EQ(form.ListBox2->Items(), FullList());
  EXPECT_EQ(form.ListBox2->Item(form.ListBox2->ItemIndex()), "Movies");
}

TEST_F(HeldWalkTest, FoundVideosGrowAsTheWalkReadsFolders) {
  temp.WriteFile("Movies/anime/x/clip.avi", "x");
  WriteIniWithStyle("ListBox");
  TForm1& form = StartWalking();
  form.N5->trigger();
  ASSERT_NE(Form5, nullptr);
  QTest::keyClicks(Form5->Edit1, "avi");
  // The program folder's videos come once its sub-folders are reported;
  // anime/x is read only once it is reported itself.
  gate.Allow(21);
  const QAbstractItemModel* results = Form5->ListBox1->model();
  ASSERT_TRUE(WaitUntil([&] { return results->rowCount() == 1; }, "the program folder's video"));
  EXPECT_TRUE(form.Walking());
  EXPECT_EQ(results->data(results->index(0, 0)).toString(), "m.avi  —  Movies");
  // A folder read later takes its place before it in the list's order.
  gate.Open();
  WaitForFolderList();
  ASSERT_TRUE(WaitUntil([] { return !Form5->Indexing(); }, "the index to be complete"));
  ASSERT_EQ(results->rowCount(), 2);
  EXPECT_EQ(results->data(results->index(0, 0)).toString(),
            QString::fromStdString("clip.avi  —  anime" + std::string(1, platform::kPathDelimiter) +
                                   "x"));
  EXPECT_EQ(results->data(results->index(1, 0)).toString(), "m.avi  —  Movies");
}

TEST_F(HeldWalkTest, ClosingDuringTheWalkSavesAsAlwaysAndEndsTheWalk) {
  WriteIniWithStyle("ListBox");
  gate.Allow(2);
  TForm1& form = StartWalking();
  // Closed once the two folders let through have been reported.
  ASSERT_TRUE(WaitUntil([&] { return gate.Passed() == 2; }, "two folders let through"));
  form.move(150, 160);
  EXPECT_TRUE(form.close());
  EXPECT_EQ(IniLines(), (Lines{"[Style]", "Style=ListBox", "[FixedFolder Setting]", "count=2",
                               "/p/one", "/p/two", "[Name]", "/p/one=Anime", "/p/two=zz", "[Name2]",
                               "[Form]", "Pos.Left=150", "Pos.Top=160"}));
  // Let the walk run: it ends at the next folder instead.
  gate.Open();
  WaitForFolderList();
  EXPECT_LE(gate.Passed(), 3);
  EXPECT_LT(form.ListBox2->Count(), 3 + 3);
}

TEST_F(HeldWalkTest, ExitDuringTheWalkSavesNothingAndEndsTheWalk) {
  WriteIniWithStyle("ListBox");
  const Lines before = IniLines();
  TForm1& form = StartWalking();
  form.move(70, 80);
  QTimer::singleShot(0, form.Exit1, &QAction::trigger);
  EXPECT_EQ(ExecWithWatchdog(), 0);
  gate.Open();
  EndForm();
  EXPECT_LE(gate.Passed(), 1);
  EXPECT_EQ(IniLines(), before);
}

}  // namespace
}  // namespace vistrune::testing
