// The About window: the program's name, version, author and release date.
#pragma once

#include <memory>

#include "widgets/modal_window.h"

class QFrame;
class QLabel;
class QPushButton;

namespace Ui {
class TAboutBox;
}

class TAboutBox : public vistrune::NoCancelDialog {
  Q_OBJECT

 public:
  explicit TAboutBox(QWidget* parent = nullptr);
  ~TAboutBox() override;

  // The controls, by the names the handlers use.
  QFrame* Panel1;         // raised frame around the rest
  QLabel* ProductName;    // "アプリケーション名：Vistrune Z": the program's name
  QLabel* Version;        // "バージョン：1.61β": the version
  QLabel* Copyright;      // "作者：…": the author
  QLabel* Label1;         // "公開日：2004.10.30": the release date
  QLabel* ProgramIcon;    // the program's emblem
  QPushButton* OKButton;  // 閉じる: close the window; the default button, so Enter presses it

  // 閉じる: closes the About window on the screen, the one AboutBox refers to.
  void OKButtonClick();

 private:
  std::unique_ptr<Ui::TAboutBox> ui_;
};

// The About window currently in use: the one on the screen while it is shown.
extern TAboutBox* AboutBox;

// Opens a fresh About window owned by owner and shows it modally; the window
// is released when the showing ends, however it ends.
void ShowAboutBox(QWidget* owner);
