// The main window: the folder list, the file list, the commands on them, the
// two display styles, and the start-up and shutdown of the program.
#pragma once

#include <QMenu>
#include <QWidget>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "folder_walker/SearchFile.h"
#include "library/shared_state.h"
#include "widgets/list_box.h"

class QAction;
class QComboBox;
class QLabel;
class QPushButton;
class QTimer;

namespace Ui {
class TForm1;
}

class TForm1 : public QWidget {
  Q_OBJECT

 public:
  // Builds the window and runs the start-up sequence. executablePath is where
  // the running program lives; the program folder is taken from it. The walk
  // of the program folder goes on after this returns (see Walking).
  explicit TForm1(const std::string& executablePath, QWidget* parent = nullptr);
  // Ends a walk still running (promptly: it stops at its next folder) and
  // waits for its thread.
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

  // Start-up and shutdown. The walk runs on a thread of its own while the
  // window is in use: SearchDir1Find runs there and collects the entries,
  // which join the folder list in batches on the window's thread.
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

  // Whether the start-up walk is still adding folders to the list.
  bool Walking() const { return walking_; }

  // Test seam: when set, runs on the walk's thread before each folder below
  // the program folder is reported, so that a test can hold the walk back.
  static inline std::function<void()> BeforeWalkReport;

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
  std::string ComboText() const;
  void SetClientWidth(int width);
  // The start-up walk: started from FormCreate, its entries merged into
  // whichever list holds the folders, ended on the window's thread.
  void StartWalk();
  void RunWalk();
  void MergeWalked();
  void EndWalk();
  void StopWalk();
  void ShowWalkProgress();
  void AddFixedFolder(const std::string& displayName);

  std::unique_ptr<Ui::TForm1> ui_;
  std::string executablePath_;
  std::string windowsDirectory_;
  bool exiting_ = false;

  QString labelCaption_;
  QTimer* walkTimer_;
  bool walking_ = false;
  int walkedListed_ = 0;
  // The fixed folders' display names in the folder list, sorted.
  std::vector<std::string> fixedNames_;
  std::thread walkThread_;
  std::atomic<bool> stopWalk_{false};
  // Shared with the walk's thread.
  std::mutex walkMutex_;
  std::condition_variable firstReport_;
  bool reported_ = false;            // the first report (or the end) has come
  std::vector<std::string> walked_;  // entries found and not listed yet
  std::exception_ptr walkError_;     // what ended the walk, if it raised
};

extern TForm1* Form1;
