#include "main_window/Unit1.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <algorithm>
#include <iterator>
#include <string_view>

#include "config/config.h"
#include "config/schema.h"
#include "find_window/Unit5.h"
#include "info_windows/Unit2.h"
#include "info_windows/Unit3.h"
#include "library/folder_list.h"
#include "library/folder_paths.h"
#include "platform/memory.h"
#include "platform/paths.h"
#include "platform/shell.h"
#include "settings_window/Unit4.h"
#include "ui_Unit1.h"
#include "widgets/dialogs.h"
#include "widgets/narrow_text.h"
#include "widgets/window_font.h"

using namespace vistrune;

TForm1* Form1 = nullptr;

namespace {

const std::string kPrompt = Narrow("フォルダを選択してください");
const std::string kPleaseSelect = Narrow("選択してください");

// Client widths of the two styles: two 185-pixel columns, or one.
constexpr int kListStyleWidth = 370;
constexpr int kComboStyleWidth = 185;
constexpr int kClientHeight = 198;
// Where the window opens when the configuration file names no position.
constexpr int kDesignLeft = 218;
constexpr int kDesignTop = 249;

// How often the folders the walk found join the list while it runs.
constexpr int kWalkBatchMilliseconds = 100;

}  // namespace

TForm1::TForm1(const std::string& executablePath, QWidget* parent)
    : TForm1(std::make_unique<StartupWalk>(executablePath), parent) {}

TForm1::TForm1(std::unique_ptr<StartupWalk> walk, QWidget* parent)
    // A fixed-size window with a system menu and a minimize box only: no
    // maximize box and no sizing command.
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      walk_(std::move(walk)),
      ui_(std::make_unique<Ui::TForm1>()) {
  // The walk is already running while the window is built, which takes a
  // while; FormCreate takes its entries in at the step where it always has.
  // The window font comes first: the controls are then made with it, not
  // laid out with the default font and then again with this one.
  ApplyWindowFont(this);
  ui_->setupUi(this);
  Label1 = ui_->Label1;
  ComboBox1 = ui_->ComboBox1;
  ListBox2 = ui_->ListBox2;
  ListBox1 = ui_->ListBox1;
  Button3 = ui_->Button3;
  Button2 = ui_->Button2;
  Button1 = ui_->Button1;
  N2 = ui_->N2;
  Refresh1 = ui_->Refresh1;
  N5 = ui_->N5;
  N3 = ui_->N3;
  N1 = ui_->N1;
  N4 = ui_->N4;
  About1 = ui_->About1;
  Exit1 = ui_->Exit1;

  move(kDesignLeft, kDesignTop);
  SetClientWidth(kListStyleWidth);
  // The label sizes itself to its text. A font taller than the designed
  // 12 pixels would push the text under the folder list, so the label then
  // rises until it ends where the list begins.
  Label1->adjustSize();
  Label1->move(Label1->x(), std::min(Label1->y(), ListBox2->y() - Label1->height()));
  labelCaption_ = Label1->text();
  Button1->setFont(WindowFont(13));
  QPalette blue = Button1->palette();
  blue.setColor(QPalette::ButtonText, Qt::blue);
  Button1->setPalette(blue);

  // The folder list keeps its entries sorted. The file list is sorted too,
  // from the start, so that a start-up cut short by an error still lists
  // files in order.
  ListBox2->SetSorted(true);
  ListBox1->SetSorted(true);
  // The folder list shows the folders the window keeps.
  ListBox2->ShowOwned(library_.Entries());

  // The combo box holds the same byte strings as the list box, unsorted.
  ComboBox1->SetText(kPrompt);

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  PopupMenu1->addActions({N2, Refresh1, N5, N3, N1, N4, About1, Exit1});

  walkTimer_ = new QTimer(this);
  walkTimer_->setInterval(kWalkBatchMilliseconds);
  connect(walkTimer_, &QTimer::timeout, this, Guarded(this, &TForm1::MergeWalked));
  ConnectHandlers();
  Guard([this] { FormCreate(); });
  // A start-up cut short before that step lists nothing the walk finds.
  if (!walking_) StopWalk();
}

TForm1::~TForm1() {
  // The walk ends (and may tell this window so) while the window still is.
  walk_.reset();
  // The lists, which go with the window, show the folders no longer.
  ListBox2->Clear();
  ComboBox1->SetItems({});
}

void TForm1::ConnectHandlers() {
  // Every handler runs inside the one guard that shows what it raises.
  connect(ListBox2, &TListBox::UserSelected, this, Guarded(this, &TForm1::ListBox2Click));
  connect(ListBox2, &TListBox::UserDoubleClicked, this, Guarded(this, &TForm1::ListBox2DblClick));
  connect(ListBox1, &TListBox::UserDoubleClicked, this, Guarded(this, &TForm1::N2Click));
  connect(ComboBox1, &TComboBox::UserChanged, this, Guarded(this, &TForm1::ComboBox1Change));
  connect(Button3, &QPushButton::clicked, this, Guarded(this, &TForm1::Button3Click));
  connect(Button2, &QPushButton::clicked, this, Guarded(this, &TForm1::Button2Click));
  connect(Button1, &QPushButton::clicked, this, Guarded(this, &TForm1::N2Click));
  connect(N2, &QAction::triggered, this, Guarded(this, &TForm1::N2Click));
  connect(Refresh1, &QAction::triggered, this, Guarded(this, &TForm1::Refresh1Click));
  connect(N5, &QAction::triggered, this, Guarded(this, &TForm1::N5Click));
  connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this), &QShortcut::activated, this,
          Guarded(this, &TForm1::N5Click));
  connect(N3, &QAction::triggered, this, Guarded(this, &TForm1::N3Click));
  connect(N1, &QAction::triggered, this, Guarded(this, &TForm1::N1Click));
  connect(N4, &QAction::triggered, this, Guarded(this, &TForm1::N4Click));
  connect(About1, &QAction::triggered, this, Guarded(this, &TForm1::About1Click));
  connect(Exit1, &QAction::triggered, this, Guarded(this, &TForm1::Exit1Click));
}

int TForm1::Left() const {
  return frameGeometry().x();
}
int TForm1::Top() const {
  return frameGeometry().y();
}

void TForm1::SetClientWidth(int width) {
  setFixedSize(width, kClientHeight);
}

bool TForm1::InListStyle() const {
  return Button3->text() == QStringLiteral(">");
}

void TForm1::FormCreate() {
  // One reading of the file serves the whole step: the position, the count,
  // the path lines and all their names.
  const ConfigSnapshot config = ReadConfigSnapshot();
  move(config.ReadInteger(schema::kFormSection, schema::kLeftKey, Left()), Top());
  move(Left(), config.ReadInteger(schema::kFormSection, schema::kTopKey, Top()));

  // The walk goes on while the window is in use; this returns once the
  // program folder's own entry is listed.
  StartWalk();

  FixedFolderCount = config.ReadInteger(schema::kFixedFolderSection, schema::kCountKey, 0);

  if (ConfigFileExists()) {
    // The names read before a line that is missing are listed still.
    std::vector<std::string> names;
    auto list = [&] { ListBox2->ChangeOwned([&] { library_.AddFixed(std::move(names)); }); };
    try {
      LoadFixedFolders(
          config, FixedFolderCount,
          [&names](const std::string&, const std::string& name) { names.push_back(name); });
    } catch (...) {
      list();
      throw;
    }
    list();
    if (config.Lines().Get(schema::kStyleLine) != schema::StyleLine(schema::kListBoxStyle))
      SwitchToComboStyle();
  }

  ListBox1->Clear();
  ListBox1->SetSorted(true);

  // The size of a fixed-size window cannot be changed from its window menu,
  // which is all removing the sizing command achieves; the window was made
  // fixed-size when it was built.

  const int extent = 2 * ListBox1->contentsRect().width();
  ListBox1->SetHorizontalExtent(extent);
  ListBox2->SetHorizontalExtent(extent);
}

void TForm1::StartWalk() {
  walking_ = true;
  HomeFolderName = walk_->WaitForHome();
  MergeWalked();
  setCursor(Qt::BusyCursor);
  walkTimer_->start();
  walk_->WhenEnded([this] {
    QMetaObject::invokeMethod(this, Guarded(this, &TForm1::EndWalk), Qt::QueuedConnection);
  });
}

void TForm1::MergeWalked() {
  StartupWalk::Found found = walk_->TakeFound();
  // The videos of the folders the walk read join the find window's index;
  // not before this window shows, which making the find window would delay.
  walkedVideos_.Append(std::move(found.videos));
  if (isVisible() && walkedVideos_.Count() > 0) {
    FindWindow()->AddWalked(std::move(walkedVideos_));
    walkedVideos_ = {};
  }
  if (found.ends.empty()) return;
  std::vector<std::string_view> batch = found.Entries();
  walkedListed_ += static_cast<int>(batch.size());
  // The list that holds the folders now, in either style, shows them.
  const auto insert = [&] { return library_.AddWalked(batch); };
  if (InListStyle()) {
    ListBox2->InsertOwned(insert);
  } else {
    ComboBox1->Model().InsertOwned(insert);
  }
  if (walking_) ShowWalkProgress();
}

void TForm1::ShowWalkProgress() {
  Label1->setText(QStringLiteral("%1 (%2)").arg(labelCaption_).arg(walkedListed_));
  Label1->adjustSize();
}

void TForm1::EndWalk() {
  const std::exception_ptr error = walk_->Finish();
  walkTimer_->stop();
  walking_ = false;
  MergeWalked();
  // The walk's transient memory (queue, listings read ahead, entries handed
  // over) is free now; without this the process would keep it resident.
  platform::ReturnFreeMemory();
  Label1->setText(labelCaption_);
  Label1->adjustSize();
  unsetCursor();
  emit FolderListComplete();
  // The rest of the videos of the complete list are gathered now, in the
  // background; not for a window already closed, whose walk was ended early.
  if (isVisible()) FindWindow()->EndWalk();
  if (error) std::rethrow_exception(error);
}

void TForm1::StopWalk() {
  // The walk stops at its next folder; what it listed so far stays.
  walk_->Stop();
}

void TForm1::FormClose() {
  const std::string style = InListStyle() ? schema::kListBoxStyle : schema::kComboBoxStyle;
  // Keyed writes alone would create a file whose first section is Form, so
  // that the next start would read its style line from the wrong line. A
  // missing file is therefore first created in the full layout; that step
  // fails as the keyed writes do.
  CreateConfigFileIfMissing(style);
  WriteConfigInteger(schema::kFormSection, schema::kLeftKey, Left());
  WriteConfigInteger(schema::kFormSection, schema::kTopKey, Top());
  WriteConfigString(schema::kStyleSection, schema::kStyleKey, style);
}

void TForm1::Exit1Click() {
  // Ends the message loop without closing the window, so nothing is saved.
  exiting_ = true;
  StopWalk();
  QCoreApplication::exit(0);
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (exiting_ || Guard([this] { FormClose(); })) {
    StopWalk();
    // The find window belongs to this one and goes with it.
    if (Form5) Form5->hide();
    event->accept();
  } else {
    event->ignore();
  }
}

void TForm1::contextMenuEvent(QContextMenuEvent* event) {
  PopupMenu1->popup(event->globalPos());
}

// --- Listing the videos of the chosen folder ---

void TForm1::ListVideoFiles(const std::string& Folder) {
  ListBox1->AddMany(FindVideoFiles(Folder, ListedVideoExtensions()));
}

void TForm1::ListBox2Click() {
  ListBox1->Clear();
  const int index = ListBox2->ItemIndex();
  if (index < 0) return;
  const std::string entry = ListBox2->Item(index);
  if (entry.empty()) return;
  ListVideoFiles(ResolveFolderPath(entry, AppPath + entry));
}

void TForm1::ComboBox1Change() {
  ListBox1->Clear();
  const std::string text = ComboBox1->Text();
  ListVideoFiles(ResolveFolderPath(text, AppPath + text));
}

void TForm1::Refresh1Click() {
  ListBox1->Clear();
  std::string folder;
  if (!ChosenFolder(folder)) return;
  ListVideoFiles(folder);
}

bool TForm1::ChosenFolder(std::string& folder) {
  if (!InListStyle()) {
    const std::string text = ComboBox1->Text();
    folder = ResolveFolderPath(text, AppPath + text);
    return true;
  }
  const int index = ListBox2->ItemIndex();
  if (index < 0) {
    ShowMessage(kPleaseSelect);
    return false;
  }
  const std::string& entry = ListBox2->Item(index);
  folder = ResolveFolderPath(entry, AppPath + entry);
  return true;
}

// --- Commands on the chosen folder and file ---

void TForm1::N2Click() {
  std::string folder;
  if (!ChosenFolder(folder)) return;
  const int index = ListBox1->ItemIndex();
  if (index < 0) {
    ShowMessage(kPleaseSelect);
    return;
  }
  platform::ShellOpen("open", folder + ListBox1->Item(index), AppPath);
}

void TForm1::N3Click() {
  std::string folder = AppPath;
  if (!InListStyle()) {
    const std::string text = ComboBox1->Text();
    if (text != kPrompt) folder = ResolveFolderPath(text, text);
  } else if (const int index = ListBox2->ItemIndex(); index >= 0) {
    folder = ResolveFolderPath(ListBox2->Item(index), ListBox2->Item(index));
  }
  platform::ShellOpen("open", folder, AppPath);
}

void TForm1::Button2Click() {
  const int index = ListBox1->ItemIndex();
  ShowMessage(index < 0 ? kPleaseSelect : ListBox1->Item(index));
}

void TForm1::ListBox2DblClick() {
  const int index = ListBox2->ItemIndex();
  if (index < 0) return;
  const std::string& entry = ListBox2->Item(index);
  ShowMessage(ResolveFolderPath(entry, AppPath + entry));
}

// --- The other windows ---

void TForm1::N1Click() {
  ShowHelpWindow(this);
}
void TForm1::N4Click() {
  ShowSettingsWindow(this);
}
void TForm1::About1Click() {
  ShowAboutBox(this);
}

void TForm1::N5Click() {
  FindWindow()->ShowInFront();
}

TForm5* TForm1::FindWindow() {
  if (!Form5) {
    Form5 = new TForm5([this] { return FolderEntries(); },
                       [this](int row, const std::string& entry, const std::string& name) {
                         ShowVideo(row, entry, name);
                       },
                       this);
    // It first opens beside the main window, covering none of it.
    Form5->move(frameGeometry().right() + 1, Top());
  }
  return Form5;
}

std::vector<std::string> TForm1::FolderEntries() const {
  return InListStyle() ? ListBox2->Items() : ComboBox1->Items();
}

void TForm1::ShowVideo(int row, const std::string& entry, const std::string& name) {
  const std::vector<std::string>& entries = InListStyle() ? ListBox2->Items() : ComboBox1->Items();
  if (row < 0 || static_cast<size_t>(row) >= entries.size() || entries[row] != entry) {
    const auto found = std::find(entries.begin(), entries.end(), entry);
    if (found == entries.end()) return;
    row = static_cast<int>(found - entries.begin());
  }
  if (InListStyle()) {
    ListBox2->SetItemIndex(row);
    ListBox2Click();
  } else {
    ComboBox1->SetItemIndex(row);
    ComboBox1Change();
  }
  const std::vector<std::string>& files = ListBox1->Items();
  const auto file = std::find(files.begin(), files.end(), name);
  if (file != files.end()) ListBox1->SetItemIndex(static_cast<int>(file - files.begin()));
  raise();
  activateWindow();
}

// --- The two display styles ---

void TForm1::Button3Click() {
  if (Button3->text() == QStringLiteral("<")) {
    SwitchToListStyle();
  } else {
    SwitchToComboStyle();
  }
}

void TForm1::SwitchToComboStyle() {
  ListBox2->setVisible(false);
  ListBox2->setEnabled(false);
  ComboBox1->move(0, ComboBox1->y());
  ListBox1->move(0, ListBox1->y());
  Button1->setGeometry(102, Button1->y(), 83, Button1->height());
  Button2->setGeometry(20, Button2->y(), 82, Button2->height());
  SetClientWidth(kComboStyleWidth);
  Label1->setVisible(false);
  Label1->setEnabled(false);
  ComboBox1->setVisible(true);
  ComboBox1->setEnabled(true);
  Button3->setText(QStringLiteral("<"));

  // The entries move over in one piece, in the list box's order, and the
  // selected entry (the first of any that differ only in letter case) is
  // chosen in the combo box; with none chosen the combo box shows the prompt.
  const int selected = ListBox2->ItemIndex();
  const int match = selected < 0 ? -1 : ListBox2->IndexOfCaseless(ListBox2->Item(selected));
  ComboBox1->ShowAs(ListBox2->Model());
  ComboBox1->SetText(kPrompt);
  if (match >= 0) ComboBox1->SetItemIndex(match);
  ListBox2->Clear();
}

void TForm1::SwitchToListStyle() {
  SetClientWidth(kListStyleWidth);
  ComboBox1->move(185, ComboBox1->y());
  ListBox1->move(185, ListBox1->y());
  Button1->setGeometry(278, Button1->y(), 92, Button1->height());
  Button2->setGeometry(185, Button2->y(), 92, Button2->height());
  ComboBox1->setVisible(false);
  ComboBox1->setEnabled(false);
  ListBox2->setVisible(true);
  ListBox2->setEnabled(true);
  Label1->setVisible(true);
  Label1->setEnabled(true);
  Button3->setText(QStringLiteral(">"));

  ListBox2->ShowAs(ComboBox1->Model());
  const std::vector<std::string>& items = ListBox2->Items();
  if (ComboBox1->Text() != kPrompt) {
    // With the user's own typing in the box no item is chosen, and the
    // empty text is looked for.
    const int index = ComboBox1->ItemIndex();
    const std::string chosen = index >= 0 ? items[static_cast<size_t>(index)] : std::string();
    const auto found = std::find_if(items.begin(), items.end(), [&](const std::string& item) {
      return CaselessEqual(item, chosen);
    });
    if (found != items.end()) ListBox2->SetItemIndex(static_cast<int>(found - items.begin()));
  }
  // The folders move over in one piece: the combo box, hidden, holds none.
  ComboBox1->SetItems({});
}
