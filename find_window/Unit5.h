// The find window: every video of the folder list whose folder entry and
// name hold every word typed, found as the user types. One instance, owned
// by the main window and opened through it, modeless; it plays a result or
// shows it in the main window through what the main window gives it.
#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "library/video_index.h"

class FoundVideosModel;
class QAction;
class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QPushButton;
class QTimer;

namespace Ui {
class TForm5;
}

class TForm5 : public QWidget {
  Q_OBJECT

 public:
  // The folder list's entries as they are now, in its order.
  using FolderList = std::function<std::vector<std::string>()>;
  // Shows a video in the main window: the folder at row of the folder list
  // (whose text is entry) chosen and listed, the video name chosen.
  using ShowInFolderList =
      std::function<void(int row, const std::string& entry, const std::string& name)>;

  // Builds the window hidden, with no index until BuildIndex.
  TForm5(FolderList folders, ShowInFolderList show, QWidget* parent = nullptr);
  // Ends an index still being gathered (at its next folder) and waits for it.
  ~TForm5() override;

  // The controls, by the names the handlers use.
  QLineEdit* Edit1;      // the query: the words every result holds
  QPushButton* Button1;  // 更新: gather the index again
  QListView* ListBox1;   // the results: name and folder-list entry, in the folder list's order
  QLabel* Label1;        // how many results
  QMenu* PopupMenu1;     // the context menu of the window and the results
  QAction* N1;           // 再生 (Enter, double-click): play the chosen result
  QAction* N2;           // フォルダを表示 (Ctrl+Enter): show it in the main window
  QAction* Refresh1;     // 更新 (F5): gather the index again

  // Every change of the query: the results it finds, at once.
  void Edit1Change();
  // 再生: plays the chosen result as "START!" plays a file.
  void N1Click();
  // フォルダを表示: its folder chosen and listed in the main window, the
  // video chosen in the file list.
  void N2Click();
  // 更新: gathers the videos of the folder list's folders afresh.
  void Refresh1Click();

  // Shows the window in front, the query as it was, the edit box focused.
  void ShowInFront();
  // Begins gathering the index of the folder list as it is now (in the
  // background; results grow as folders arrive).
  void BuildIndex();
  // While the start-up walk runs: the videos of the folders it read join
  // the index (the first begin it).
  void AddWalked(vistrune::WalkedVideos videos);
  // The walk has ended and the folder list is complete: the index gathers
  // the rest of it.
  void EndWalk();
  bool Indexing() const { return build_ != nullptr; }

 signals:
  // The index holds every folder it was begun with.
  void IndexComplete();

 protected:
  // Enter, Ctrl+Enter, Escape (hides the window), F5, and Up and Down in
  // the edit box (they move the choice in the results).
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void ConnectHandlers();
  // Begins a gathering, ending one still running first.
  void BeginIndex(std::unique_ptr<vistrune::VideoIndexBuild> build, bool fromWalk);
  void TakeIndexed();
  // The results shown become hits, the chosen one kept chosen.
  void ShowHits(std::vector<vistrune::VideoIndex::Hit> hits);
  void EndIndex();
  void ShowCount();
  // The chosen result's folder and video; false when none is chosen.
  bool ChosenResult(vistrune::VideoIndex::Hit& hit) const;
  void ChooseResult(int row);

  std::unique_ptr<Ui::TForm5> ui_;
  FolderList folders_;
  ShowInFolderList show_;
  vistrune::VideoIndex index_;
  std::unique_ptr<vistrune::VideoIndexBuild> build_;
  bool buildFromWalk_ = false;  // build_ takes what the walk read
  uint64_t generation_ = 0;     // counts the gatherings begun
  std::vector<std::string> words_;
  FoundVideosModel* results_;
  QTimer* indexTimer_;
};

// The find window, once the main window has made it.
extern TForm5* Form5;
