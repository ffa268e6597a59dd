// The settings window: the start-up display style and the fixed folders.
// It reads Vistrune.ini each time it is created and rewrites the whole file
// each time it closes; there is no cancel.
#pragma once

#include <memory>

#include "widgets/list_box.h"
#include "widgets/modal_window.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace Ui {
class TForm4;
}

class TForm4 : public vistrune::NoCancelDialog {
  Q_OBJECT

 public:
  // Builds the window and runs the creation step; an error it raises is
  // shown in the standard error box and the window is still usable.
  explicit TForm4(QWidget* parent = nullptr);
  ~TForm4() override;

  // The controls, by the names the handlers use.
  QGroupBox* RadioGroup1;
  QRadioButton* RadioButton1;  // combo style at start-up
  QRadioButton* RadioButton2;  // list style at start-up
  QGroupBox* GroupBox1;
  QLabel* Label3;
  QLabel* Label1;
  QLabel* Label4;
  QLineEdit* Edit1;  // full path to add
  QLineEdit* Edit2;  // display name to add
  QPushButton* Button1;
  QLabel* Label2;
  TListBox* ListBox1;  // full paths
  TListBox* ListBox2;  // display names, entry i belonging to ListBox1's entry i
  QPushButton* Button3;
  QPushButton* Button2;

  // Fills the controls from the configuration file.
  void FormCreate();
  // Rewrites the whole configuration file from the controls.
  void FormClose();

  void Button1Click();
  void Button3Click();
  void ListBox1Click();
  void ListBox2Click();
  void ListBox1DblClick();
  void Button2Click();

  // Every way of closing a dialog (close(), accept(), reject(), the window
  // system) ends here. The window closes only when FormClose succeeded.
  void done(int result) override;

 private:
  void ConnectHandlers();

  std::unique_ptr<Ui::TForm4> ui_;
};

// The settings window on the screen, or the hidden one made at start-up.
extern TForm4* Form4;

// Opens a fresh settings window owned by owner, modally, and releases it once
// the modal showing is over.
void ShowSettingsWindow(QWidget* owner);

// The creation step takes as many path lines as this window's last
// successful save in this run wrote, or FixedFolderCount before any save.
// This forgets that save, as at program start.
void ForgetSavedFixedFolderCount();
