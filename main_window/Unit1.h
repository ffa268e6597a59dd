// The main window: the folder list, the file list, the commands on them, the
// two display styles, and the start-up and shutdown of the program.
#pragma once

#include <QMenu>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "library/folder_list.h"
#include "library/shared_state.h"
#include "library/startup_walk.h"
#include "widgets/combo_box.h"
#include "widgets/list_box.h"

class QAction;
class QLabel;
class QPushButton;
class QTimer;
class TForm5;

namespace Ui {
class TForm1;
}

class TForm1 : public QWidget {
  Q_OBJECT

 public:
  // Builds the window and runs the start-up sequence, with the walk of the
  // program folder that the program began before anything else. The walk
  // goes on after this returns (see Walking).
  explicit TForm1(std::unique_ptr<vistrune::StartupWalk> walk, QWidget* parent = nullptr);
  // The same with a walk begun here, of the folder executablePath is in.
  explicit TForm1(const std::string& executablePath, QWidget* parent = nullptr);
  // Ends a walk still running (promptly: it stops at its next folder) and
  // waits for its thread.
  ~TForm1() override;

  // The controls, by the names the handlers use.
  QLabel* Label1;        // "フォルダリスト": heading of the folder list (list style)
  TComboBox* ComboBox1;  // the folder list in combo style; shows a prompt until one is chosen
  TListBox* ListBox2;    // the folder list in list style: program folder, walked and fixed folders
  TListBox* ListBox1;    // the file list: the videos of the chosen folder, sorted
  QPushButton* Button3;  // ">" / "<": switch the style; its caption is the style flag
  QPushButton* Button2;  // "FileName": show the chosen file's name
  QPushButton* Button1;  // "START!": play the chosen file
  QMenu* PopupMenu1;     // the context menu of the window, both lists and both wide buttons
  QAction* N2;           // 再生: play the chosen file
  QAction* Refresh1;     // 更新: list the chosen folder's videos again
  QAction* N5;           // 検索 (also Ctrl+F): open the find window
  QAction* N3;           // エクスプローラで開く: open the chosen folder
  QAction* N1;           // 再生出来ない時は: open the playback help window
  QAction* N4;           // 設定: open the settings window
  QAction* About1;       // バージョン情報: open the About window
  QAction* Exit1;        // 終了: end the program without saving

  // Start-up and shutdown. The walk runs on a thread of its own while the
  // window is in use; the entries it found join the folder list in batches
  // on the window's thread.
  void FormCreate();
  // Closing the window: saves its position and style.
  void FormClose();
  // 終了: ends the program at once, saving nothing.
  void Exit1Click();

  // Listing the videos of the chosen folder.
  // Adds the videos of Folder to the file list: the four formats, and those
  // the configuration file lists at this moment.
  void ListVideoFiles(const std::string& Folder);
  // Click on the folder list: list the chosen folder's videos.
  void ListBox2Click();
  // Typing in the combo box or choosing from it: list that folder's videos.
  void ComboBox1Change();
  // 更新: list the chosen folder's videos again.
  void Refresh1Click();

  // Commands on the chosen folder and file.
  // 再生, "START!", double-click on the file list: play the chosen file.
  void N2Click();
  // エクスプローラで開く: open the chosen folder.
  void N3Click();
  // "FileName": show the chosen file's name.
  void Button2Click();
  // Double-click on the folder list: show the chosen folder's full path.
  void ListBox2DblClick();

  // The other windows.
  // 検索, Ctrl+F: show the find window in front, with its query kept.
  void N5Click();
  // What the find window's フォルダを表示 does: the folder at row of the
  // folder list (the first entry equal to entry, where that row holds
  // another) chosen and listed, as a click or a choice in the combo box
  // does, then the video name chosen in the file list.
  void ShowVideo(int row, const std::string& entry, const std::string& name);
  // 再生出来ない時は: show the playback help window.
  void N1Click();
  // 設定: show the settings window.
  void N4Click();
  // バージョン情報: show the About window.
  void About1Click();

  // The two display styles; Button3's caption (">" or "<") is the style flag.
  // ">" / "<": switch to the other style.
  void Button3Click();
  // The narrow style: the folders in the combo box above the file list.
  void SwitchToComboStyle();
  // The wide style: the folders in the list box beside the file list.
  void SwitchToListStyle();
  // True while Button3's caption is ">".
  bool InListStyle() const;

  // Window position on the screen (outer frame), as stored in the file.
  int Left() const;
  int Top() const;

  // Whether the start-up walk is still adding folders to the list.
  bool Walking() const { return walking_; }

 signals:
  // The start-up walk has ended and the folder list holds all it found.
  void FolderListComplete();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void ConnectHandlers();
  // The folder the combo box's text or the folder list's selection stands
  // for; false (after the message) when list style has nothing selected.
  bool ChosenFolder(std::string& folder);
  void SetClientWidth(int width);
  // The start-up walk, taken in by FormCreate (from then on its entries are
  // merged into whichever list holds the folders), ended on the window's
  // thread.
  void StartWalk();
  void MergeWalked();
  void EndWalk();
  void StopWalk();
  void ShowWalkProgress();
  // The find window, made the first time it is needed.
  TForm5* FindWindow();
  // The entries of whichever list holds the folders, in its order.
  std::vector<std::string> FolderEntries() const;

  std::unique_ptr<vistrune::StartupWalk> walk_;
  std::unique_ptr<Ui::TForm1> ui_;
  bool exiting_ = false;

  QString labelCaption_;
  QTimer* walkTimer_;
  bool walking_ = false;
  int walkedListed_ = 0;
  // The videos the walk read, kept until this window shows.
  vistrune::WalkedVideos walkedVideos_;
  // The folders the lists show: the program folder, the walked folders and
  // the fixed folders, in the list's order.
  vistrune::FolderLibrary library_;
};

extern TForm1* Form1;
