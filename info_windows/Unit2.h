// The playback help window: what to do when a video will not play.
#pragma once

#include <memory>

#include "widgets/modal_window.h"

class QPlainTextEdit;
class QPushButton;

namespace Ui {
class TForm2;
}

class TForm2 : public vistrune::NoCancelDialog {
  Q_OBJECT

 public:
  explicit TForm2(QWidget* parent = nullptr);
  ~TForm2() override;

  // The controls, by the names the handlers use.
  QPlainTextEdit* Memo1;  // the help text: read-only, scrolls, can be selected and copied
  QPushButton* Button2;   // 閉じる: close the window

  // 閉じる: closes the help window on the screen, the one Form2 refers to.
  void Button2Click();

 private:
  std::unique_ptr<Ui::TForm2> ui_;
};

// The help window currently in use: the one on the screen while it is shown.
extern TForm2* Form2;

// Opens a fresh help window owned by owner and shows it modally; the window
// is released when the showing ends, however it ends.
void ShowHelpWindow(QWidget* owner);
