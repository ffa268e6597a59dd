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
  QFrame* Panel1;
  QLabel* ProductName;
  QLabel* Version;
  QLabel* Copyright;
  QLabel* Label1;
  QLabel* ProgramIcon;
  QPushButton* OKButton;

  // Closes the About window on the screen, the one AboutBox refers to.
  void OKButtonClick();

 private:
  std::unique_ptr<Ui::TAboutBox> ui_;
};

// The About window currently in use: the one on the screen while it is shown.
extern TAboutBox* AboutBox;

// Opens a fresh About window owned by owner and shows it modally; the window
// is released when the showing ends, however it ends.
void ShowAboutBox(QWidget* owner);
