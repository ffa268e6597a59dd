// The playback help window and the About window: their content and layout,
// and how they open, answer keys and close when shown modally.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStringList>
#include <cstdlib>
#include <functional>
#include <vector>

#include "info_windows/Unit2.h"
#include "info_windows/Unit3.h"
#include "qt_support/while_modal.h"

namespace {

using vistrune::testing::WhileModal;

// Deletes the windows that were released with deleteLater.
void FlushReleased() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void PressKey(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
              const QString& text = {}) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
  QApplication::sendEvent(target, &press);
  QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
  QApplication::sendEvent(target, &release);
}

void TypeText(QWidget* target, const QString& text) {
  for (const QChar c : text) PressKey(target, c.toUpper().unicode(), Qt::NoModifier, QString(c));
}

QString ResourceHelpText() {
  QFile file(QStringLiteral(":/help_text.txt"));
  EXPECT_TRUE(file.open(QIODevice::ReadOnly));
  return QString::fromUtf8(file.readAll());
}

// Width in half-width columns, as the text would take in Shift-JIS bytes.
int Columns(const QString& line) {
  int columns = 0;
  for (const QChar c : line) columns += c.unicode() < 0x80 ? 1 : 2;
  return columns;
}

TEST(InfoWindows, ControlsSitWhereDesigned) {
  TForm2 help;
  TAboutBox about;
  struct Placement {
    QWidget* widget;
    const char* name;
    QRect geometry;
  };
  const std::vector<Placement> placements = {
      {help.Memo1, "Memo1", {8, 8, 249, 185}},
      {help.Button2, "Button2", {176, 208, 75, 25}},
      {about.Panel1, "Panel1", {8, 8, 281, 105}},
      {about.ProgramIcon, "ProgramIcon", {208, 17, 32, 32}},
      {about.OKButton, "OKButton", {190, 64, 67, 25}},
  };
  for (const Placement& p : placements) {
    EXPECT_EQ(p.widget->objectName(), p.name);
    EXPECT_EQ(p.widget->geometry(), p.geometry) << p.name;
    EXPECT_EQ(p.widget->font().pixelSize(), 12) << p.name;
  }
  for (QWidget* window : std::vector<QWidget*>{&help, &about}) {
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowSystemMenuHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
  }
}

TEST(InfoWindows, HelpWindowOpensWhereDesignedWithAReadOnlyMemo) {
  TForm2 help;
  EXPECT_EQ(help.objectName(), "TForm2");
  EXPECT_EQ(help.windowTitle(), "再生出来ない時は");
  EXPECT_EQ(help.pos(), QPoint(365, 120));
  EXPECT_EQ(help.size(), QSize(266, 249));
  EXPECT_NE(help.minimumSize(), help.maximumSize()) << "the frame is sizeable";
  EXPECT_TRUE(help.Memo1->isReadOnly());
  EXPECT_EQ(help.Memo1->lineWrapMode(), QPlainTextEdit::WidgetWidth);
  EXPECT_EQ(help.Memo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(help.Memo1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_EQ(help.Button2->text(), "閉じる");
  EXPECT_FALSE(help.Button2->isDefault());
  EXPECT_FALSE(help.Button2->autoDefault());
  EXPECT_EQ(help.Memo1->toPlainText() + "\n", ResourceHelpText());
  EXPECT_EQ(help.Memo1->blockCount(), 56);
}

TEST(InfoWindows, AboutBoxShowsNameVersionAuthorAndDate) {
  TAboutBox about;
  EXPECT_EQ(about.objectName(), "TAboutBox");
  EXPECT_EQ(about.windowTitle(), "バージョン情報");
  EXPECT_EQ(about.minimumSize(), QSize(297, 122));
  EXPECT_EQ(about.maximumSize(), QSize(297, 122));
  const QRect screen = about.screen()->geometry();
  EXPECT_LE(std::abs(about.x() - screen.x() - (screen.right() - about.geometry().right())), 1);
  EXPECT_LE(std::abs(about.y() - screen.y() - (screen.bottom() - about.geometry().bottom())), 1);
  EXPECT_EQ(about.Panel1->frameShape(), QFrame::Panel);
  EXPECT_EQ(about.Panel1->frameShadow(), QFrame::Raised);
  EXPECT_EQ(about.Panel1->lineWidth(), 1);
  struct Caption {
    QLabel* label;
    const char* name;
    QPoint position;
    QString text;
  };
  const std::vector<Caption> captions = {
      {about.ProductName, "ProductName", {18, 16}, "アプリケーション名：Vistrune Z"},
      {about.Version, "Version", {18, 37}, "バージョン：1.61β"},
      {about.Copyright, "Copyright", {18, 58}, "作者：Vistrune Z 開発チーム"},
      {about.Label1, "Label1", {16, 80}, "公開日：2004.10.30"},
  };
  for (const Caption& c : captions) {
    EXPECT_EQ(c.label->objectName(), c.name);
    EXPECT_EQ(c.label->parentWidget(), about.Panel1) << c.name;
    EXPECT_EQ(c.label->text(), c.text) << c.name;
    EXPECT_EQ(c.label->pos(), c.position) << c.name;
    EXPECT_EQ(c.label->size(), c.label->sizeHint()) << c.name << " is not sized to its text";
  }
  EXPECT_EQ(about.ProgramIcon->pixmap().size(), QSize(32, 32));
  EXPECT_FALSE(about.ProgramIcon->hasScaledContents());
  EXPECT_EQ(about.OKButton->text(), "閉じる");
  EXPECT_TRUE(about.OKButton->isDefault());
}

TEST(InfoWindows, HelpTextHasFiftySixShortLinesInThreeParagraphs) {
  const QString text = ResourceHelpText();
  ASSERT_TRUE(text.endsWith('\n'));
  const QStringList lines = text.chopped(1).split('\n');
  EXPECT_EQ(lines.size(), 56);
  std::vector<int> paragraphs = {0};
  for (const QString& line : lines) {
    if (line.isEmpty()) {
      paragraphs.push_back(0);
      continue;
    }
    ++paragraphs.back();
    EXPECT_LE(Columns(line), 40) << line.toStdString();
    EXPECT_EQ(line, line.trimmed()) << line.toStdString();
  }
  EXPECT_EQ(paragraphs, (std::vector<int>{19, 29, 6}));
}

TEST(InfoWindows, HelpTextCanBeSelectedAndCopiedButNotChanged) {
  TForm2 help;
  help.show();
  QPlainTextEdit* memo = help.Memo1;
  const QString text = memo->toPlainText();
  QApplication::clipboard()->setText("pasted");
  PressKey(memo, Qt::Key_A, Qt::ControlModifier);
  TypeText(memo, "abc");
  PressKey(memo, Qt::Key_V, Qt::ControlModifier);
  PressKey(memo, Qt::Key_X, Qt::ControlModifier);
  for (const int key : {Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_Return, Qt::Key_Tab})
    PressKey(memo, key);
  EXPECT_EQ(memo->toPlainText(), text);

  PressKey(memo, Qt::Key_A, Qt::ControlModifier);
  PressKey(memo, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), text);

  PressKey(memo, Qt::Key_Home, Qt::ControlModifier);
  for (int i = 0; i < 3; ++i) PressKey(memo, Qt::Key_Right, Qt::ShiftModifier);
  PressKey(memo, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), text.left(3));
}

TEST(InfoWindows, HelpWindowClosesOnlyByItsButton) {
  QWidget owner;
  QPointer<QDialog> shown;
  WhileModal([&] { ShowHelpWindow(&owner); },
             [&](QDialog& dialog) {
               shown = &dialog;
               auto* form = qobject_cast<TForm2*>(&dialog);
               ASSERT_NE(form, nullptr);
               EXPECT_EQ(Form2, form);
               EXPECT_EQ(form->parentWidget(), &owner);
               EXPECT_EQ(form->focusWidget(), form->Memo1);
               for (QWidget* target : std::vector<QWidget*>{form->Memo1, form}) {
                 PressKey(target, Qt::Key_Escape);
                 PressKey(target, Qt::Key_Return);
                 PressKey(target, Qt::Key_Enter, Qt::KeypadModifier);
                 EXPECT_TRUE(form->isVisible()) << qPrintable(target->objectName());
               }
               form->Button2->click();
               EXPECT_FALSE(form->isVisible());
             });
  EXPECT_EQ(Form2, nullptr);
  FlushReleased();
  EXPECT_TRUE(shown.isNull()) << "the window was not released";
}

TEST(InfoWindows, EnterOnTheHelpWindowsFocusedButtonClosesIt) {
  QWidget owner;
  WhileModal([&] { ShowHelpWindow(&owner); },
             [&](QDialog& dialog) {
               auto* form = qobject_cast<TForm2*>(&dialog);
               ASSERT_NE(form, nullptr);
               PressKey(form->Memo1, Qt::Key_Return);
               EXPECT_TRUE(form->isVisible());
               form->Button2->setFocus(Qt::TabFocusReason);
               ASSERT_EQ(QApplication::focusWidget(), form->Button2);
               PressKey(form->Button2, Qt::Key_Return);
               EXPECT_FALSE(form->isVisible());
             });
}

TEST(InfoWindows, AboutBoxClosesOnEnterButNotOnEscape) {
  // Enter reaches the default button whether it has the focus or not.
  for (const char* target : {"OKButton", "Panel1"}) {
    QWidget owner;
    QPointer<QDialog> shown;
    WhileModal([&] { ShowAboutBox(&owner); },
               [&](QDialog& dialog) {
                 shown = &dialog;
                 auto* box = qobject_cast<TAboutBox*>(&dialog);
                 ASSERT_NE(box, nullptr);
                 EXPECT_EQ(AboutBox, box);
                 EXPECT_EQ(box->parentWidget(), &owner);
                 EXPECT_EQ(box->focusWidget(), box->OKButton);
                 auto* receiver = box->findChild<QWidget*>(target);
                 PressKey(receiver, Qt::Key_Escape);
                 EXPECT_TRUE(box->isVisible()) << target;
                 PressKey(receiver, Qt::Key_Return);
                 EXPECT_FALSE(box->isVisible()) << target;
               });
    EXPECT_EQ(AboutBox, nullptr);
    FlushReleased();
    EXPECT_TRUE(shown.isNull()) << "the window was not released";
  }
}

TEST(InfoWindows, EachOpeningShowsAFreshWindow) {
  QWidget owner;
  QPointer<QDialog> first;
  WhileModal(
      [&] { ShowHelpWindow(&owner); },
      [&](QDialog& dialog) {
        first = &dialog;
        auto* form = qobject_cast<TForm2*>(&dialog);
        ASSERT_NE(form, nullptr);
        form->Memo1->selectAll();
        form->Memo1->verticalScrollBar()->setValue(form->Memo1->verticalScrollBar()->maximum());
        form->Button2->click();
      });
  FlushReleased();
  WhileModal([&] { ShowHelpWindow(&owner); },
             [&](QDialog& dialog) {
               EXPECT_TRUE(first.isNull());
               auto* form = qobject_cast<TForm2*>(&dialog);
               ASSERT_NE(form, nullptr);
               EXPECT_EQ(Form2, form);
               EXPECT_FALSE(form->Memo1->textCursor().hasSelection());
               EXPECT_EQ(form->Memo1->verticalScrollBar()->value(), 0);
               EXPECT_EQ(form->Memo1->toPlainText() + "\n", ResourceHelpText());
               form->Button2->click();
             });

  WhileModal([&] { ShowAboutBox(&owner); },
             [&](QDialog& dialog) {
               first = &dialog;
               auto* box = qobject_cast<TAboutBox*>(&dialog);
               ASSERT_NE(box, nullptr);
               box->OKButton->click();
             });
  FlushReleased();
  WhileModal([&] { ShowAboutBox(&owner); },
             [&](QDialog& dialog) {
               EXPECT_TRUE(first.isNull());
               auto* box = qobject_cast<TAboutBox*>(&dialog);
               ASSERT_NE(box, nullptr);
               EXPECT_EQ(AboutBox, box);
               box->OKButton->click();
             });
}

}  // namespace
