// The main window: the folder list, the file list, the commands on them, the
// two display styles, and the start-up and shutdown of the program.
#pragma once

#include <QMenu>
#include <QWidget>
#include <memory>
#include <string>

#include "folder_walker/SearchFile.h"
#include "widgets/list_box.h"
#include "library/shared_state.h"

class QAction;
class QComboBox;
class QLabel;
class QPushButton;

namespace Ui {
class TForm1;
}

class TForm1 : public QWidget {
  Q_OBJECT

 public:
  // Builds the window and runs the start-up sequence. executablePath is where
  // the running program lives; the program folder is taken from it.
  explicit TForm1(const std::string& executablePath, QWidget* parent = nullptr);
  ~TForm1() override;

  // The controls, by the names the handlers use.
  QLabel* Label1;
  QComboBox* ComboBox1;
  TListBox* ListBox2;  // folder list (list style)
  TListBox* ListBox1;  // file list
  QPushButton* Button3;
  QPushButton* Button2;
  QPushButton* Button1;
  QMenu* PopupMenu1;
  QAction* N2;
  QAction* Refresh1;
  QAction* N3;
  QAction* N1;
  QAction* N4;
  QAction* About1;
  QAction* Exit1;
  vistrune::TSearchDir SearchDir1;

  // Start-up and shutdown.
  void FormCreate();
  void SearchDir1Find(vistrune::TSearchDir* Sender, const std::string& Name,
                      const vistrune::TSearchFileData& Data, bool& IgnoreSubDir, bool& Continue);
  void FormClose();
  void Exit1Click();

  // Listing the videos of the chosen folder.
  void ListVideoFiles(const std::string& Folder);
  void ListBox2Click();
  void ComboBox1Change();
  void Refresh1Click();

  // Commands on the chosen folder and file.
  void N2Click();
  void N3Click();
  void Button2Click();
  void ListBox2DblClick();

  // The other windows.
  void N1Click();
  void N4Click();
  void About1Click();

  // The two display styles; Button3's caption (">" or "<") is the style flag.
  void Button3Click();
  void SwitchToComboStyle();
  void SwitchToListStyle();
  bool InListStyle() const;

  // Window position on the screen (outer frame), as stored in the file.
  int Left() const;
  int Top() const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void ConnectHandlers();
  // The folder the combo box's text or the folder list's selection stands
  // for; false (after the message) when list style has nothing selected.
  bool ChosenFolder(std::string& folder);
  std::string ComboText() const;
  void SetClientWidth(int width);

  std::unique_ptr<Ui::TForm1> ui_;
  std::string executablePath_;
  std::string windowsDirectory_;
  bool exiting_ = false;
};

extern TForm1* Form1;
