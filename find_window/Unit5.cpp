#include "find_window/Unit5.h"

#include <QAbstractListModel>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "config/config.h"
#include "library/folder_paths.h"
#include "platform/memory.h"
#include "platform/shell.h"
#include "ui_Unit5.h"
#include "widgets/dialogs.h"
#include "widgets/list_box.h"
#include "widgets/search_text.h"
#include "widgets/window_font.h"

using namespace vistrune;

TForm5* Form5 = nullptr;

namespace {

// How often the folders gathered join the index while it is gathered.
constexpr int kIndexBatchMilliseconds = 100;

}  // namespace

// The results: rows over the index's videos, each shown as its name and
// its folder-list entry.
class FoundVideosModel : public QAbstractListModel {
 public:
  FoundVideosModel(const VideoIndex& index, QObject* parent)
      : QAbstractListModel(parent), index_(index) {}

  int rowCount(const QModelIndex& parent = QModelIndex()) const override {
    return parent.isValid() ? 0 : static_cast<int>(hits_.size());
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || index.row() >= rowCount() || role != Qt::DisplayRole) return {};
    const VideoIndex::Hit hit = hits_[static_cast<size_t>(index.row())];
    return QStringLiteral("%1  —  %2")
        .arg(DisplayText(std::string(index_.Name(hit.video))),
             DisplayText(std::string(index_.Entry(hit.folder))));
  }

  const std::vector<VideoIndex::Hit>& Hits() const { return hits_; }
  void SetHits(std::vector<VideoIndex::Hit> hits) {
    beginResetModel();
    hits_ = std::move(hits);
    endResetModel();
  }
  // Hits that hold those shown as their beginning are added after them;
  // others replace them.
  void ShowHits(std::vector<VideoIndex::Hit> hits) {
    const bool grown =
        hits.size() > hits_.size() && std::equal(hits_.begin(), hits_.end(), hits.begin());
    if (!grown) {
      SetHits(std::move(hits));
      return;
    }
    beginInsertRows(QModelIndex(), rowCount(), static_cast<int>(hits.size()) - 1);
    hits_ = std::move(hits);
    endInsertRows();
  }

 private:
  const VideoIndex& index_;
  std::vector<VideoIndex::Hit> hits_;
};

TForm5::TForm5(FolderList folders, ShowInFolderList show, QWidget* parent)
    : QWidget(parent, Qt::Window),
      ui_(std::make_unique<Ui::TForm5>()),
      folders_(std::move(folders)),
      show_(std::move(show)) {
  ApplyWindowFont(this);
  ui_->setupUi(this);
  Edit1 = ui_->Edit1;
  Button1 = ui_->Button1;
  ListBox1 = ui_->ListBox1;
  Label1 = ui_->Label1;
  N1 = ui_->N1;
  N2 = ui_->N2;
  Refresh1 = ui_->Refresh1;
  setFixedSize(size());

  results_ = new FoundVideosModel(index_, this);
  ListBox1->setModel(results_);
  ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  PopupMenu1->addActions({N1, N2, Refresh1});

  indexTimer_ = new QTimer(this);
  indexTimer_->setInterval(kIndexBatchMilliseconds);
  connect(indexTimer_, &QTimer::timeout, this, Guarded(this, &TForm5::TakeIndexed));
  ConnectHandlers();
  ShowCount();
}

TForm5::~TForm5() {
  build_.reset();
  if (Form5 == this) Form5 = nullptr;
}

void TForm5::ConnectHandlers() {
  // Every handler runs inside the one guard that shows what it raises.
  connect(Edit1, &QLineEdit::textChanged, this, Guarded(this, &TForm5::Edit1Change));
  connect(ListBox1, &QListView::doubleClicked, this, Guarded(this, &TForm5::N1Click));
  connect(Button1, &QPushButton::clicked, this, Guarded(this, &TForm5::Refresh1Click));
  connect(N1, &QAction::triggered, this, Guarded(this, &TForm5::N1Click));
  connect(N2, &QAction::triggered, this, Guarded(this, &TForm5::N2Click));
  connect(Refresh1, &QAction::triggered, this, Guarded(this, &TForm5::Refresh1Click));
}

void TForm5::ShowInFront() {
  show();
  raise();
  activateWindow();
  Edit1->setFocus(Qt::OtherFocusReason);
}

void TForm5::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
  const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
  if (enter && modifiers == Qt::NoModifier) {
    Guard([this] { N1Click(); });
  } else if (enter && modifiers == Qt::ControlModifier) {
    Guard([this] { N2Click(); });
  } else if (key == Qt::Key_Escape && modifiers == Qt::NoModifier) {
    hide();
  } else if (key == Qt::Key_F5 && modifiers == Qt::NoModifier) {
    Guard([this] { Refresh1Click(); });
  } else if ((key == Qt::Key_Up || key == Qt::Key_Down) && modifiers == Qt::NoModifier &&
             focusWidget() == Edit1) {
    const int row = ListBox1->currentIndex().isValid() ? ListBox1->currentIndex().row() : -1;
    ChooseResult(std::clamp(row + (key == Qt::Key_Up ? -1 : 1), 0, results_->rowCount() - 1));
  } else {
    QWidget::keyPressEvent(event);
  }
}

void TForm5::contextMenuEvent(QContextMenuEvent* event) {
  PopupMenu1->popup(event->globalPos());
}

void TForm5::ChooseResult(int row) {
  if (row < 0 || row >= results_->rowCount()) return;
  const QModelIndex index = results_->index(row);
  ListBox1->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
  ListBox1->scrollTo(index);
}

bool TForm5::ChosenResult(VideoIndex::Hit& hit) const {
  const QModelIndexList chosen = ListBox1->selectionModel()->selectedRows();
  if (chosen.isEmpty()) return false;
  hit = results_->Hits()[static_cast<size_t>(chosen.first().row())];
  return true;
}

void TForm5::ShowCount() {
  const QString count = QStringLiteral("%1 件").arg(results_->rowCount());
  Label1->setText(Indexing() ? count + QStringLiteral("（索引を作成中）") : count);
}

// --- Finding ---

void TForm5::Edit1Change() {
  words_ = SearchWords(Edit1->text());
  std::vector<VideoIndex::Hit> hits;
  index_.Find(words_, 0, hits);
  results_->SetHits(std::move(hits));
  ChooseResult(0);
  ShowCount();
}

void TForm5::N1Click() {
  VideoIndex::Hit hit;
  if (!ChosenResult(hit)) return;
  // As "START!": the folder resolved now, the name's own bytes, the program
  // folder as the working directory; whether it opened is not asked.
  const std::string entry(index_.Entry(hit.folder));
  platform::ShellOpen(
      "open", ResolveFolderPath(entry, AppPath + entry) + std::string(index_.Name(hit.video)),
      AppPath);
}

void TForm5::N2Click() {
  VideoIndex::Hit hit;
  if (!ChosenResult(hit)) return;
  show_(index_.Row(hit.folder), std::string(index_.Entry(hit.folder)),
        std::string(index_.Name(hit.video)));
}

// --- The index ---

void TForm5::Refresh1Click() {
  BuildIndex();
}

void TForm5::BuildIndex() {
  BeginIndex(std::make_unique<VideoIndexBuild>(folders_(), SearchKey), false);
}

void TForm5::AddWalked(WalkedVideos videos) {
  // Once the user gathered the index afresh, the walk's reads are not
  // needed: the index is gathered afresh again when the walk ends.
  if (!build_ && generation_ == 0) BeginIndex(std::make_unique<VideoIndexBuild>(SearchKey), true);
  if (buildFromWalk_) build_->AddWalked(std::move(videos));
}

void TForm5::EndWalk() {
  // A walk that read no video still read every folder it listed.
  AddWalked({});
  if (buildFromWalk_) {
    build_->EndWalk(folders_());
  } else {
    BuildIndex();
  }
}

void TForm5::BeginIndex(std::unique_ptr<VideoIndexBuild> build, bool fromWalk) {
  // A gathering still running ends first, at its next folder.
  indexTimer_->stop();
  build_.reset();
  results_->SetHits({});
  index_.Clear();
  build_ = std::move(build);
  buildFromWalk_ = fromWalk;
  ShowCount();
  indexTimer_->start();
  // The end of a gathering that another has replaced since is not this one's.
  const uint64_t generation = ++generation_;
  build_->WhenEnded([this, generation] {
    QMetaObject::invokeMethod(
        this,
        [this, generation] {
          if (generation == generation_) Guard([this] { EndIndex(); });
        },
        Qt::QueuedConnection);
  });
}

void TForm5::TakeIndexed() {
  if (!build_) return;
  VideoIndex batch = build_->TakeFound();
  if (batch.FolderCount() == 0) return;
  const size_t first = index_.FolderCount();
  index_.Append(std::move(batch));
  std::vector<VideoIndex::Hit> more;
  index_.Find(words_, first, more);
  if (!more.empty()) {
    std::vector<VideoIndex::Hit> hits = results_->Hits();
    index_.MergeHits(hits, more);
    ShowHits(std::move(hits));
  }
  ShowCount();
}

void TForm5::ShowHits(std::vector<VideoIndex::Hit> hits) {
  VideoIndex::Hit chosen{};
  const bool wasChosen = ChosenResult(chosen);
  results_->ShowHits(std::move(hits));
  const std::vector<VideoIndex::Hit>& shown = results_->Hits();
  const auto found = wasChosen ? std::find(shown.begin(), shown.end(), chosen) : shown.end();
  ChooseResult(found == shown.end() ? 0 : static_cast<int>(found - shown.begin()));
}

void TForm5::EndIndex() {
  indexTimer_->stop();
  TakeIndexed();
  const std::exception_ptr error = build_->Finish();
  build_.reset();
  buildFromWalk_ = false;
  // The folders from the walk take the rows of the list, whose order the
  // results then follow exactly. The result chosen stays chosen: found
  // again by its entry and name, since the index numbers its folders anew.
  VideoIndex::Hit chosen{};
  std::string chosenEntry, chosenName;
  if (ChosenResult(chosen)) {
    chosenEntry = index_.Entry(chosen.folder);
    chosenName = index_.Name(chosen.video);
  }
  index_.SetRows(folders_());
  index_.Compact();
  std::vector<VideoIndex::Hit> hits;
  index_.Find(words_, 0, hits);
  const auto found = std::find_if(hits.begin(), hits.end(), [&](const VideoIndex::Hit& hit) {
    return index_.Entry(hit.folder) == chosenEntry && index_.Name(hit.video) == chosenName;
  });
  const int row = found == hits.end() ? 0 : static_cast<int>(found - hits.begin());
  results_->SetHits(std::move(hits));
  ChooseResult(row);
  platform::ReturnFreeMemory();
  ShowCount();
  emit IndexComplete();
  if (error) std::rethrow_exception(error);
}
