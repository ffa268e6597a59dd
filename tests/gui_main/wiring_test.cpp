// Every menu item, button and double-click of the main window reaches its own
// handler: each is fired as the user fires it (QAction::trigger, mouse clicks
// and double-clicks sent to the window), from the running message loop, and
// what it did is compared with what its handler does. A command connected to
// another command's handler does something else and fails.
#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <functional>

#include "find_window/Unit5.h"
#include "gui_main/main_window_fixture.h"
#include "qt_support/bounded_waits.h"
#include "support/platform_setup.h"

namespace vistrune::testing {
namespace {

using Lines = std::vector<std::string>;

std::string Joined(const Lines& lines) {
  std::string text;
  for (const std::string& line : lines) text += " " + line;
  return text;
}

class WiringTest : public MainWindowTest {
 protected:
  // What fire did to the window in the state every command starts from,
  // one line a kind of effect: the modal windows it opened (closed again at
  // once), "end" when it ended the message loop, the open requests, the
  // message boxes, the file list when it changed, the style when it changed.
  Lines EffectOf(TForm1& form, const std::function<void()>& fire) {
    const Lines files = form.ListBox1->Items();
    const QString style = form.Button3->text();
    Lines effect;
    QTimer closer;
    closer.setInterval(0);
    QObject::connect(&closer, &QTimer::timeout, [&] {
      if (QWidget* window = QApplication::activeModalWidget()) {
        effect.push_back(std::string("window ") + window->metaObject()->className());
        window->close();
      }
    });
    QTimer backInTheLoop;
    backInTheLoop.setSingleShot(true);
    QObject::connect(&backInTheLoop, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    QTimer::singleShot(0, [&] {
      closer.start();
      fire();
      closer.stop();
      backInTheLoop.start(0);
    });
    if (ExecWithWatchdog() == 0) effect.push_back("end");
    if (Form5 && Form5->isVisible()) effect.push_back("window TForm5");
    for (const OpenRequest& request : opened) effect.push_back("open " + request.target);
    for (const Box& box : boxes.Boxes()) effect.push_back("message " + box.text);
    if (form.ListBox1->Items() != files) effect.push_back("files" + Joined(form.ListBox1->Items()));
    if (form.Button3->text() != style)
      effect.push_back("style " + form.Button3->text().toStdString());
    return effect;
  }
};

TEST_F(WiringTest, EveryCommandReachesItsOwnHandler) {
  temp.WriteFile("Movies/Anime/a.avi", "x");
  const std::string clip = Program() + PlatformPath("Anime/a.avi");
  const std::string added = Program() + PlatformPath("Anime/b.avi");
  struct Wire {
    const char* name;
    std::function<void(TForm1&)> fire;
    Lines effect;
  };
  auto trigger = [](QAction* TForm1::*action) {
    return [action](TForm1& form) { (form.*action)->trigger(); };
  };
  auto click = [](QPushButton* TForm1::*button) {
    return [button](TForm1& form) { Click(form.*button); };
  };
  auto doubleClick = [](TListBox* TForm1::*list, int row) {
    return [list, row](TForm1& form) {
      DoubleClick((form.*list)->viewport(), RowCenter(form.*list, row));
    };
  };
  const std::vector<Wire> wires = {
      {"N2 再生", trigger(&TForm1::N2), {"open " + clip}},
      {"Refresh1 更新", trigger(&TForm1::Refresh1), {"files a.avi b.avi"}},
      {"N5 検索", trigger(&TForm1::N5), {"window TForm5"}},
      {"N3 エクスプローラで開く", trigger(&TForm1::N3), {"open " + PlatformPath("Anime/")}},
      {"N1 再生出来ない時は", trigger(&TForm1::N1), {"window TForm2"}},
      {"N4 設定", trigger(&TForm1::N4), {"window TForm4"}},
      {"About1 バージョン情報", trigger(&TForm1::About1), {"window TAboutBox"}},
      {"Exit1 終了", trigger(&TForm1::Exit1), {"end"}},
      {"Button1 START!", click(&TForm1::Button1), {"open " + clip}},
      {"Button2 FileName", click(&TForm1::Button2), {"message a.avi"}},
      {"Button3 >", click(&TForm1::Button3), {"style <"}},
      {"ListBox1 double-click", doubleClick(&TForm1::ListBox1, 0), {"open " + clip}},
      // Its first click lists the folder again.
      {"ListBox2 double-click",
       doubleClick(&TForm1::ListBox2, 0),
       {"message " + Program() + PlatformPath("Anime/"), "files a.avi b.avi"}},
  };
  for (const Wire& wire : wires) {
    SCOPED_TRACE(wire.name);
    TForm1& form = Start();
    ASSERT_EQ(form.ListBox2->Items(), (Lines{"Anime", "Movies"}));
    ClickFolder(0);
    ClickFile(0);
    temp.WriteFile("Movies/Anime/b.avi", "x");  // so that a listing shows
    opened.clear();
    boxes.Clear();
    EXPECT_EQ(EffectOf(form, [&] { wire.fire(form); }), wire.effect);
    std::remove(added.c_str());
  }
}

}  // namespace
}  // namespace vistrune::testing
