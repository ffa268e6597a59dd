// The settings window driven as the user drives it: reading Vistrune.ini when
// it is created, editing the fixed folders, and rewriting the file on close.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "library/shared_state.h"
#include "qt_support/box_recorder.h"
#include "qt_support/while_modal.h"
#include "settings_window/Unit4.h"
#include "support/platform_setup.h"
#include "support/temp_dir.h"
#include "widgets/narrow_text.h"

namespace vistrune::testing {
namespace {

using Lines = std::vector<std::string>;

const std::string kNoSuchFolder = Narrow("指定されたフォルダは存在しません");
const std::string kCannotStore = Narrow("設定ファイルに保存できない文字が含まれています");
const std::string kAccessDenied = Narrow("ファイルへのアクセスが拒否されました.");
constexpr std::string_view kAnimeCp932 = "\x83\x41\x83\x6A\x83\x81";  // アニメ

// The lines joined as the file holds them, each ended by CR LF.
std::string Crlf(std::initializer_list<std::string_view> lines) {
  std::string text;
  for (std::string_view line : lines) text.append(line).append("\r\n");
  return text;
}

std::string EmptyLayout(std::string_view style) {
  return Crlf({"[Style]", std::string("Style=").append(style), "[FixedFolder Setting]", "count=0",
               "[Name]", "[Name2]"});
}

const std::string kOneFolder = Crlf({"[Style]", "Style=ListBox", "[FixedFolder Setting]", "count=1",
                                     "/v", "[Name]", "/v=V", "[Name2]", "V=/v"});

class SettingsWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AppPath = dir_.Slash();
    FixedFolderCount = 0;
  }

  std::string IniPath() const { return dir_.Path() + PlatformPath("/Vistrune.ini"); }
  void WriteIni(const std::string& bytes) const { dir_.WriteFile("Vistrune.ini", bytes); }
  std::string Ini() const { return ReadFileBytes(IniPath()); }

  static void PressClose(TForm4& form) {
    form.show();
    form.Button2->click();
  }

  static void PressAdd(TForm4& form, const QString& path, const QString& name) {
    form.Edit1->setText(path);
    form.Edit2->setText(name);
    form.Button1->click();
  }

  // Mouse events on a row of a shown list, in the order given.
  static void Mouse(QListView* list, int row, std::initializer_list<QEvent::Type> types) {
    const QPoint at = list->visualRect(list->model()->index(row, 0)).center();
    for (QEvent::Type type : types) {
      QMouseEvent event(type, at, list->viewport()->mapToGlobal(at), Qt::LeftButton,
                        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                        Qt::NoModifier);
      QApplication::sendEvent(list->viewport(), &event);
    }
  }
  static void Click(QListView* list, int row) {
    Mouse(list, row, {QEvent::MouseButtonPress, QEvent::MouseButtonRelease});
  }

  // Runs ShowSettingsWindow and, inside its modal showing, body on the window
  // on the screen.
  static void WhileShownModally(QWidget* owner, const std::function<void(TForm4&)>& body) {
    WhileModal([owner] { ShowSettingsWindow(owner); },
               [&body](QDialog& dialog) {
                 auto* form = qobject_cast<TForm4*>(&dialog);
                 ASSERT_NE(form, nullptr) << "no settings window is shown modally";
                 body(*form);
               });
  }

  TempDir dir_;
  BoxRecorder boxes_;
};

TEST_F(SettingsWindowTest, OnlyTheExactStyleLinesCheckARadioButton) {
  struct Case {
    std::string file;  // empty: no file at all
    bool combo;
    bool list;
    std::string_view saved;
  };
  const std::vector<Case> cases = {
      {"", false, false, "ListBox"},
      {Crlf({"[Style]", "Style=ComboBox"}), true, false, "ComboBox"},
      {Crlf({"[Style]", "Style=ListBox"}), false, true, "ListBox"},
      {Crlf({"[Style]", "style=combobox"}), false, false, "ListBox"},
      {Crlf({"[Style]", "Style=LISTBOX"}), false, false, "ListBox"},
      {Crlf({"[Style]", "Style=ListBox "}), false, false, "ListBox"},
      {Crlf({"[Form]", "Pos.Left=218", "[Style]", "Style=ComboBox"}), false, false, "ListBox"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    std::remove(IniPath().c_str());
    if (!c.file.empty()) WriteIni(c.file);
    TForm4 form;
    EXPECT_EQ(form.RadioButton1->isChecked(), c.combo);
    EXPECT_EQ(form.RadioButton2->isChecked(), c.list);
    EXPECT_EQ(form.ListBox1->Count(), 0);
    // Both extents are measured on ListBox1, file or no file.
    const int clientWidth = form.ListBox1->contentsRect().width();
    EXPECT_EQ(form.ListBox1->HorizontalExtent(), 4 * clientWidth);
    EXPECT_EQ(form.ListBox2->HorizontalExtent(), 2 * clientWidth);
    PressClose(form);
    EXPECT_EQ(Ini(), EmptyLayout(c.saved));
  }
  EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST_F(SettingsWindowTest, FoldersArePairedInFileOrderAndAnUntouchedCloseRewritesThemAll) {
  // The second folder has no Name entry, the third an empty one; the main
  // window's Form section follows.
  FixedFolderCount = 3;
  const std::string animeName = std::string("/v/anime=").append(kAnimeCp932);
  const std::string animePath = std::string(kAnimeCp932).append("=/v/anime");
  WriteIni(Crlf({"[Style]", "Style=ComboBox", "[FixedFolder Setting]", "count=3", "/v/anime",
                 "/v/clips", "/v/empty", "[Name]", animeName, "/v/empty=", "[Name2]", animePath,
                 "[Form]", "Pos.Left=218"}));

  TForm4 form;
  EXPECT_TRUE(form.RadioButton1->isChecked());
  EXPECT_EQ(form.ListBox1->Items(), (Lines{"/v/anime", "/v/clips", "/v/empty"}));
  EXPECT_EQ(form.ListBox2->Items(), (Lines{Narrow("アニメ"), "/v/clips", ""}));

  PressClose(form);
  EXPECT_EQ(Ini(),
            Crlf({"[Style]", "Style=ComboBox", "[FixedFolder Setting]", "count=3", "/v/anime",
                  "/v/clips", "/v/empty", "[Name]", animeName, "/v/clips=/v/clips",
                  "/v/empty=", "[Name2]", animePath, "/v/clips=/v/clips", "=/v/empty"}));
  EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST_F(SettingsWindowTest, TheFormatsBoxAddsItsSectionAfterTheLayoutOnlyWhileChecked) {
  const std::string defaults = Crlf(
      {"[Video]",
       "Extensions=.mp4 .m4v .mkv .webm .mov .ts .m2ts .mts .flv .3gp .vob .asf .rmvb .ogv .divx"});
  const std::string byHand = Crlf({"[Video]", "Extensions=MKV,,.ts  mp4"});
  struct Case {
    std::string file;
    bool checked;  // as the window opens
    bool toggle;   // the user clicks the box before closing
    std::string saved;
  };
  const std::vector<Case> cases = {
      {kOneFolder, false, false, kOneFolder},
      {kOneFolder, false, true, kOneFolder + defaults},
      {kOneFolder + byHand + Crlf({"[Form]", "Pos.Left=218"}), true, false, kOneFolder + byHand},
      {kOneFolder + byHand, true, true, kOneFolder},
      {kOneFolder + Crlf({"[Video]", "Extensions="}), false, false, kOneFolder},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    WriteIni(c.file);
    TForm4 form;
    form.show();
    EXPECT_EQ(form.CheckBox1->isChecked(), c.checked);
    if (c.toggle) QTest::mouseClick(form.CheckBox1, Qt::LeftButton);
    form.Button2->click();
    EXPECT_EQ(Ini(), c.saved);
  }
  EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST_F(SettingsWindowTest, AReadingErrorIsShownAndLeavesOnlyWholePairs) {
  WriteIni(Crlf({"[Style]"}));
  {
    TForm4 form;
    EXPECT_FALSE(form.RadioButton1->isChecked() || form.RadioButton2->isChecked());
    EXPECT_EQ(form.ListBox1->Count(), 0);
    EXPECT_EQ(form.ListBox1->HorizontalExtent(), 0);  // the rest of the reading was skipped
  }
  FixedFolderCount = 3;
  WriteIni(Crlf({"[Style]", "Style=ListBox", "[FixedFolder Setting]", "count=3", "/a", "/b"}));
  TForm4 form;
  EXPECT_EQ(boxes_.Errors(), (Lines{Narrow("リストのインデックスが範囲を超えています (1)"),
                                    Narrow("リストのインデックスが範囲を超えています (6)")}));
  EXPECT_EQ(form.ListBox1->Items(), (Lines{"/a", "/b"}));
  EXPECT_EQ(form.ListBox2->Items(), (Lines{"/a", "/b"}));

  PressClose(form);
  EXPECT_EQ(Ini(), Crlf({"[Style]", "Style=ListBox", "[FixedFolder Setting]", "count=2", "/a", "/b",
                         "[Name]", "/a=/a", "/b=/b", "[Name2]", "/a=/a", "/b=/b"}));
}

TEST_F(SettingsWindowTest, ReopeningShowsExactlyWhatTheLastSuccessfulSaveWrote) {
  const std::string first = dir_.MakeDir("first");
  const std::string second = dir_.MakeDir("second");
  FixedFolderCount = 1;
  WriteIni(kOneFolder);
  {  // more folders than at start-up
    TForm4 form;
    PressAdd(form, ToQString(first), "First");
    PressAdd(form, ToQString(second), "Second");
    PressClose(form);
  }
  {  // then fewer
    TForm4 form;
    EXPECT_EQ(form.ListBox1->Items(), (Lines{"/v", first, second}));
    EXPECT_EQ(form.ListBox2->Items(), (Lines{"V", "First", "Second"}));
    form.show();
    for (int i = 0; i < 2; ++i) {
      Click(form.ListBox1, 0);
      form.Button3->click();
    }
    PressClose(form);
  }
  {  // a save that fails counts for nothing
    TForm4 form;
    PressAdd(form, ToQString(first), "First");
    ASSERT_EQ(chmod(IniPath().c_str(), 0444), 0);
    PressClose(form);
  }
  ASSERT_EQ(chmod(IniPath().c_str(), 0644), 0);
  TForm4 form;
  EXPECT_EQ(form.ListBox1->Items(), Lines{second});
  EXPECT_EQ(form.ListBox2->Items(), Lines{"Second"});
  EXPECT_EQ(boxes_.Errors(), Lines{kAccessDenied});
}

TEST_F(SettingsWindowTest, EveryCloseRequestSavesButEscapeAndEnterElsewhereAreNoCloseRequests) {
  const std::vector<std::function<void(TForm4&)>> closeRequests = {
      [](TForm4& form) { form.Button2->click(); }, [](TForm4& form) { form.close(); },
      [](TForm4& form) { form.reject(); }, [](TForm4& form) { form.accept(); }};
  for (size_t i = 0; i < closeRequests.size(); ++i) {
    SCOPED_TRACE(i);
    std::remove(IniPath().c_str());
    TForm4 form;
    form.show();
    for (QWidget* target : std::initializer_list<QWidget*>{&form, form.RadioButton1, form.Edit1}) {
      for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(target, &press);
      }
    }
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(Ini().empty());
    closeRequests[i](form);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(Ini(), EmptyLayout("ListBox"));
  }
}

TEST_F(SettingsWindowTest, EnterPressesThePushButtonThatHasTheFocusAndNothingElse) {
  const QString folder = ToQString(dir_.MakeDir("videos"));
  QWidget owner;
  WhileModal([&] { ShowSettingsWindow(&owner); },
             [&](QDialog& dialog) {
               auto* shown = qobject_cast<TForm4*>(&dialog);
               ASSERT_NE(shown, nullptr);
               TForm4& form = *shown;
               auto enterOn = [](QWidget* target, int key = Qt::Key_Return) {
                 target->setFocus(Qt::TabFocusReason);
                 ASSERT_EQ(QApplication::focusWidget(), target);
                 QTest::keyClick(target, static_cast<Qt::Key>(key),
                                 key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
               };
               // In the edit boxes and on a radio button Enter does nothing.
               form.Edit1->setText(folder);
               form.Edit2->setText("V");
               for (QWidget* target : std::initializer_list<QWidget*>{
                        form.Edit1, form.Edit2, form.RadioButton1, form.RadioButton2}) {
                 enterOn(target);
                 enterOn(target, Qt::Key_Enter);
               }
               EXPECT_TRUE(form.isVisible());
               EXPECT_FALSE(form.RadioButton1->isChecked() || form.RadioButton2->isChecked());
               EXPECT_EQ(form.ListBox1->Count(), 0);

               enterOn(form.Button1);  // 追加
               EXPECT_EQ(form.ListBox1->Items(), Lines{ToNarrow(folder)});
               EXPECT_EQ(form.ListBox2->Items(), Lines{"V"});
               Click(form.ListBox1, 0);
               enterOn(form.Button3, Qt::Key_Enter);  // 削除
               EXPECT_EQ(form.ListBox1->Count() + form.ListBox2->Count(), 0);
               EXPECT_TRUE(Ini().empty());
               enterOn(form.Button2);  // 閉じる
               EXPECT_FALSE(form.isVisible());
             });
  EXPECT_EQ(Ini(), EmptyLayout("ListBox"));
  EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST_F(SettingsWindowTest, AReadOnlyFileKeepsTheWindowOpenUntilASaveSucceeds) {
  FixedFolderCount = 1;
  WriteIni(kOneFolder);
  QWidget owner;
  WhileShownModally(&owner, [&](TForm4& form) {
    form.RadioButton1->click();
    ASSERT_EQ(chmod(IniPath().c_str(), 0444), 0);
    form.Button2->click();

    EXPECT_EQ(boxes_.Errors(), Lines{kAccessDenied});
    EXPECT_EQ(QApplication::activeModalWidget(), &form);
    EXPECT_TRUE(form.RadioButton1->isChecked());
    EXPECT_EQ(form.ListBox1->Items(), Lines{"/v"});
    EXPECT_EQ(form.ListBox2->Items(), Lines{"V"});
    EXPECT_EQ(Ini(), kOneFolder);

    ASSERT_EQ(chmod(IniPath().c_str(), 0644), 0);
    form.Button2->click();
  });
  EXPECT_EQ(boxes_.Errors().size(), 1u);
  EXPECT_EQ(Ini(), Crlf({"[Style]", "Style=ComboBox", "[FixedFolder Setting]", "count=1", "/v",
                         "[Name]", "/v=V", "[Name2]", "V=/v"}));
}

TEST_F(SettingsWindowTest, EachShowingIsAFreshInstanceReleasedAfterwards) {
  QWidget owner;
  owner.move(10, 10);
  QPointer<TForm4> shown;
  for (std::string_view style : {"ComboBox", "ListBox"}) {
    WriteIni(Crlf({"[Style]", std::string("Style=").append(style)}));
    WhileShownModally(&owner, [&](TForm4& form) {
      EXPECT_EQ(Form4, &form);
      EXPECT_EQ(form.parentWidget(), &owner);
      EXPECT_EQ(form.pos(), QPoint(363, 58));
      EXPECT_EQ(form.RadioButton1->isChecked(), style == "ComboBox");
      shown = &form;
      form.Button2->click();
    });
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(shown.isNull());
    EXPECT_EQ(Form4, nullptr);
  }
}

TEST_F(SettingsWindowTest, RefusedAdditionsChangeNothing) {
  const QString folder = ToQString(dir_.MakeDir("videos"));
  const QString file = ToQString(dir_.WriteFile("clip.avi", ""));
  // Made through Qt, which reaches every name the file system holds: code
  // page 932 has no Korean, so on Windows the program's own calls cannot.
  const QString korean = ToQString(dir_.Path()) + QDir::separator() + "한";
  ASSERT_TRUE(QDir().mkdir(korean));
  struct Case {
    QString path;
    QString name;
    Lines messages;
  };
  const std::vector<Case> cases = {
      {"", "名前だけ", {}},
      {file, "clip", {kNoSuchFolder}},
      {folder + "/missing", "missing", {kNoSuchFolder}},
      {folder, "😀", {kCannotStore}},
      {korean, "korean", {kCannotStore}},
      {folder, "two\nlines", {kCannotStore}},
      {folder + QChar(u'\0') + "x", "nul", {kCannotStore}},  // the folder before the NUL exists
  };
  TForm4 form;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path.toStdString() + " / " + c.name.toStdString());
    boxes_.Clear();
    PressAdd(form, c.path, c.name);
    EXPECT_EQ(boxes_.Messages(), c.messages);
    EXPECT_EQ(form.ListBox1->Count() + form.ListBox2->Count(), 0);
    EXPECT_EQ(form.Edit1->text(), c.path);
    EXPECT_EQ(form.Edit2->text(), c.name);
  }
}

TEST_F(SettingsWindowTest, AddedFoldersKeepTheSelectionAndAreSavedAsTyped) {
  const std::string folder = dir_.MakeDir(Narrow("ビデオ"));
  // in code page 932
  const std::string saved = dir_.Path() + PlatformPath("/\x83\x72\x83\x66\x83\x49");
  FixedFolderCount = 1;
  WriteIni(kOneFolder);
  TForm4 form;
  form.show();
  Click(form.ListBox1, 0);
  // The same folder twice, the second time with an empty display name.
  for (const char* name : {"Video", ""}) {
    PressAdd(form, ToQString(folder), name);
    EXPECT_TRUE(form.Edit1->text().isEmpty() && form.Edit2->text().isEmpty());
  }
  EXPECT_EQ(form.ListBox1->Items(), (Lines{"/v", folder, folder}));
  EXPECT_EQ(form.ListBox2->Items(), (Lines{"V", "Video", ""}));
  EXPECT_EQ(form.ListBox2->ItemIndex(), 0);

  form.Button2->click();
  EXPECT_EQ(Ini(), Crlf({"[Style]", "Style=ListBox", "[FixedFolder Setting]", "count=3", "/v",
                         saved, saved, "[Name]", "/v=V", saved + "=Video", saved + "=", "[Name2]",
                         "V=/v", "Video=" + saved, "=" + saved}));
  EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST_F(SettingsWindowTest, SelectingDeletingAndShowingAPathWorkOnPairs) {
  const std::string longPath = "/c/a/very/long/path/to/the/videos";
  FixedFolderCount = 3;
  WriteIni(Crlf({"[Style]", "Style=ListBox", "[FixedFolder Setting]", "count=3", "/a", "/b",
                 longPath, "[Name]", "/a=A", "/b=B", longPath + "=C"}));
  TForm4 form;
  form.show();
  QApplication::processEvents();
  for (TListBox* list : {form.ListBox1, form.ListBox2}) {
    EXPECT_EQ(list->horizontalScrollBar()->maximum(),
              list->HorizontalExtent() - list->viewport()->width());
  }

  form.Button3->click();
  EXPECT_EQ(boxes_.Messages(), Lines{Narrow("選択してください")});
  Click(form.ListBox2, 2);
  EXPECT_EQ(form.ListBox1->ItemIndex(), 2);
  Click(form.ListBox1, 1);
  EXPECT_EQ(form.ListBox2->ItemIndex(), 1);
  form.Button3->click();
  EXPECT_EQ(form.ListBox1->Items(), (Lines{"/a", longPath}));
  EXPECT_EQ(form.ListBox2->Items(), (Lines{"A", "C"}));
  EXPECT_EQ(form.ListBox1->ItemIndex(), -1);
  EXPECT_EQ(form.ListBox2->ItemIndex(), -1);

  boxes_.Clear();
  Mouse(form.ListBox1, 1,
        {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
         QEvent::MouseButtonRelease});
  EXPECT_EQ(boxes_.Messages(), Lines{longPath});
}

// Every button and list reaches its own handler through its real signal: each
// is clicked as the user clicks it, and what it did is compared with what its
// handler does, so a control connected to another's handler fails.
TEST_F(SettingsWindowTest, EveryButtonAndListReachesItsOwnHandler) {
  const std::string folder = dir_.MakeDir("w");
  struct Wire {
    const char* name;
    std::function<void(TForm4&)> fire;
    Lines effect;
  };
  auto click = [](QPushButton* TForm4::*button) {
    return [button](TForm4& form) { QTest::mouseClick(form.*button, Qt::LeftButton); };
  };
  const std::vector<Wire> wires = {
      {"Button1 追加", click(&TForm4::Button1), {"pairs /v=V /u=U " + folder + "=W"}},
      {"Button3 削除", click(&TForm4::Button3), {"pairs /u=U", "chosen -1 -1"}},
      {"Button2 閉じる", click(&TForm4::Button2), {"closed"}},
      {"ListBox1 click", [](TForm4& form) { Click(form.ListBox1, 1); }, {"chosen 1 1"}},
      {"ListBox2 click", [](TForm4& form) { Click(form.ListBox2, 1); }, {"chosen 1 1"}},
      {"ListBox1 double-click",
       [](TForm4& form) {
         Mouse(form.ListBox1, 0,
               {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
                QEvent::MouseButtonRelease});
       },
       {"message /v"}},
  };
  auto pairs = [](TForm4& form) {
    std::string text = "pairs";
    for (int i = 0; i < form.ListBox1->Count(); ++i)
      text += " " + form.ListBox1->Item(i) + "=" + form.ListBox2->Item(i);
    return text;
  };
  auto chosen = [](TForm4& form) {
    return "chosen " + std::to_string(form.ListBox1->ItemIndex()) + " " +
           std::to_string(form.ListBox2->ItemIndex());
  };
  for (const Wire& wire : wires) {
    SCOPED_TRACE(wire.name);
    FixedFolderCount = 2;
    WriteIni(Crlf({"[Style]", "Style=ListBox", "[FixedFolder Setting]", "count=2", "/v", "/u",
                   "[Name]", "/v=V", "/u=U"}));
    TForm4 form;
    form.show();
    QApplication::processEvents();
    Click(form.ListBox1, 0);
    form.Edit1->setText(ToQString(folder));
    form.Edit2->setText("W");
    const std::string pairsBefore = pairs(form);
    const std::string chosenBefore = chosen(form);
    boxes_.Clear();

    wire.fire(form);
    Lines effect;
    if (pairs(form) != pairsBefore) effect.push_back(pairs(form));
    if (chosen(form) != chosenBefore) effect.push_back(chosen(form));
    for (const std::string& message : boxes_.Messages()) effect.push_back("message " + message);
    if (!form.isVisible()) effect.push_back("closed");
    EXPECT_EQ(effect, wire.effect);
  }
}

}  // namespace
}  // namespace vistrune::testing
