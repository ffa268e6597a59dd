// The settings window: the start-up display style and the fixed folders.
// It reads Vistrune.ini each time it is created and rewrites the whole file
// each time it closes; there is no cancel.
#pragma once

#include <memory>
#include <string>

#include "widgets/list_box.h"
#include "widgets/modal_window.h"

class QCheckBox;
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
  QGroupBox* RadioGroup1;      // "起動時の設定": frame around the two style buttons
  QRadioButton* RadioButton1;  // "リストをコンボボックスで表示": start in combo style
  QRadioButton* RadioButton2;  // "リストをリストボックスで表示": start in list style
  QGroupBox* GroupBox1;        // "固定フォルダ設定": holds the fixed-folder controls
  QLabel* Label3;              // "（再起動後有効になります）": the restart note
  QLabel* Label1;              // "フルパス": heading of Edit1
  QLabel* Label4;              // "表示名": heading of Edit2
  QLineEdit* Edit1;            // full path of a fixed folder to add
  QLineEdit* Edit2;            // display name of the fixed folder to add
  QPushButton* Button1;        // 追加: add the pair Edit1 / Edit2
  QLabel* Label2;              // "固定フォルダリスト": heading of the two lists
  TListBox* ListBox1;          // the fixed folders' full paths
  TListBox* ListBox2;          // their display names, entry i belonging to ListBox1's entry i
  QPushButton* Button3;        // 削除: remove the chosen fixed folder
  QCheckBox* CheckBox1;        // "MP4・MKV なども表示": list more video formats than the four
  QPushButton* Button2;        // 閉じる: close the window, which saves

  // Creation: fills the controls from the configuration file.
  void FormCreate();
  // Every close: rewrites the whole configuration file from the controls.
  void FormClose();

  // 追加: add the pair Edit1 / Edit2 when Edit1 names a folder.
  void Button1Click();
  // 削除: remove the chosen pair from both lists.
  void Button3Click();
  // A choice in the path list: choose the same entry in the name list.
  void ListBox1Click();
  // A choice in the name list: choose the same entry in the path list.
  void ListBox2Click();
  // Double-click on the path list: show the chosen path whole.
  void ListBox1DblClick();
  // 閉じる: close the window (and so save).
  void Button2Click();

  // Every way of closing a dialog (close(), accept(), reject(), the window
  // system) ends here. The window closes only when FormClose succeeded.
  void done(int result) override;

 private:
  void ConnectHandlers();

  std::unique_ptr<Ui::TForm4> ui_;
  // The file's list of more video formats as the creation step read it
  // ("" when it held none), written back as it is while CheckBox1 stays
  // checked, so that a list edited by hand survives.
  std::string videoExtensions_;
};

// The settings window on the screen, or the hidden one made at start-up.
extern TForm4* Form4;

// Opens a fresh settings window owned by owner, modally, and releases it once
// the modal showing is over.
void ShowSettingsWindow(QWidget* owner);
