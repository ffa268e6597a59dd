#include "settings_window/Unit4.h"

#include <QAbstractItemDelegate>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

#include "config/config.h"
#include "config/schema.h"
#include "library/folder_list.h"
#include "library/shared_state.h"
#include "platform/paths.h"
#include "ui_Unit4.h"
#include "widgets/dialogs.h"
#include "widgets/modal_window.h"
#include "widgets/narrow_text.h"
#include "widgets/window_font.h"

using namespace vistrune;

TForm4* Form4 = nullptr;

namespace {

const std::string kNoSuchFolder = Narrow("指定されたフォルダは存在しません");
const std::string kPleaseSelect = Narrow("選択してください");
const std::string kCannotStore = Narrow("設定ファイルに保存できない文字が含まれています");

// Where the window opens on the screen, not centred on its owner.
constexpr int kLeft = 363;
constexpr int kTop = 58;
// Rows are 12 pixels high, one line of the designed 12-pixel font; a font
// that needs more room for a line gets it, so no text is cut.
constexpr int kItemHeight = 12;

// Rows of one fixed height in both lists, so a path and its display name
// stand side by side. Drawing and the row's width stay with the list's own
// delegate.
class RowHeightDelegate : public QAbstractItemDelegate {
 public:
  RowHeightDelegate(QAbstractItemDelegate* inner, QObject* parent)
      : QAbstractItemDelegate(parent), inner_(inner) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    inner_->paint(painter, option, index);
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = inner_->sizeHint(option, index);
    size.setHeight(std::max(kItemHeight, option.fontMetrics.height()));
    return size;
  }

 private:
  QAbstractItemDelegate* inner_;
};

}  // namespace

TForm4::TForm4(QWidget* parent)
    : NoCancelDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      ui_(std::make_unique<Ui::TForm4>()) {
  ui_->setupUi(this);
  RadioGroup1 = ui_->RadioGroup1;
  RadioButton1 = ui_->RadioButton1;
  RadioButton2 = ui_->RadioButton2;
  GroupBox1 = ui_->GroupBox1;
  Label3 = ui_->Label3;
  Label1 = ui_->Label1;
  Label4 = ui_->Label4;
  Edit1 = ui_->Edit1;
  Edit2 = ui_->Edit2;
  Button1 = ui_->Button1;
  Label2 = ui_->Label2;
  ListBox1 = ui_->ListBox1;
  ListBox2 = ui_->ListBox2;
  Button3 = ui_->Button3;
  Button2 = ui_->Button2;
  CheckBox1 = ui_->CheckBox1;

  move(kLeft, kTop);
  ApplyWindowFont(this);
  for (QLabel* label : {Label3, Label1, Label4, Label2}) label->adjustSize();
  // A caption wider in this font than in the designed one widens its button
  // rather than being cut.
  for (QRadioButton* radio : {RadioButton1, RadioButton2})
    radio->resize(std::max(radio->width(), radio->sizeHint().width()), radio->height());
  // The formats box takes the width of its text, up to 閉じる beside it.
  CheckBox1->resize(std::min(CheckBox1->sizeHint().width(), Button2->x() - CheckBox1->x()),
                    CheckBox1->height());
  for (TListBox* list : {ListBox1, ListBox2}) {
    list->setItemDelegate(new RowHeightDelegate(list->itemDelegate(), list));
    list->setTextElideMode(Qt::ElideNone);
  }

  ConnectHandlers();
  Guard([this] { FormCreate(); });
}

TForm4::~TForm4() {
  if (Form4 == this) Form4 = nullptr;
}

void TForm4::ConnectHandlers() {
  // Every handler runs inside the one guard that shows what it raises.
  connect(Button1, &QPushButton::clicked, this, Guarded(this, &TForm4::Button1Click));
  connect(Button3, &QPushButton::clicked, this, Guarded(this, &TForm4::Button3Click));
  connect(Button2, &QPushButton::clicked, this, Guarded(this, &TForm4::Button2Click));
  connect(ListBox1, &TListBox::UserSelected, this, Guarded(this, &TForm4::ListBox1Click));
  connect(ListBox2, &TListBox::UserSelected, this, Guarded(this, &TForm4::ListBox2Click));
  connect(ListBox1, &TListBox::UserDoubleClicked, this, Guarded(this, &TForm4::ListBox1DblClick));
}

void TForm4::FormCreate() {
  if (ConfigFileExists()) {
    // One reading of the file serves the list of more formats, the style,
    // the count, the path lines and all the names.
    const ConfigSnapshot config = ReadConfigSnapshot();
    const StringList& lines = config.Lines();

    // Taken first, so that a file whose lines stop the rest of this step
    // short still keeps its list at the next save.
    videoExtensions_ = config.ReadString(schema::kVideoSection, schema::kExtensionsKey, "");
    CheckBox1->setChecked(!videoExtensions_.empty());

    const std::string& style = lines.Get(schema::kStyleLine);
    if (style == schema::StyleLine(schema::kComboBoxStyle)) {
      RadioButton1->setChecked(true);
    } else if (style == schema::StyleLine(schema::kListBoxStyle)) {
      RadioButton2->setChecked(true);
    }

    // The number of path lines is the file's count line as it is now, read
    // as the main window reads it at start-up: the file may have been
    // rewritten since by this window or by another running copy, and taking
    // more lines would read the name sections as folders, fewer would drop
    // folders at the next save. Each path goes in with its display name, so
    // that when a missing line stops the reading the lists hold whole pairs.
    LoadFixedFolders(config, config.ReadInteger(schema::kFixedFolderSection, schema::kCountKey, 0),
                     [this](const std::string& path, const std::string& name) {
                       ListBox1->Add(path);
                       ListBox2->Add(name);
                     });
  }

  // Entries up to this width can be scrolled sideways; both are measured on
  // ListBox1, inside its frame.
  const int clientWidth = ListBox1->contentsRect().width();
  ListBox1->SetHorizontalExtent(4 * clientWidth);
  ListBox2->SetHorizontalExtent(2 * clientWidth);
}

void TForm4::FormClose() {
  const std::string style =
      RadioButton1->isChecked() ? schema::kComboBoxStyle : schema::kListBoxStyle;
  // The list of more formats follows the fixed layout only while the box is
  // checked; unchecked, the file is the fixed layout alone.
  std::optional<std::string> videoExtensions;
  if (CheckBox1->isChecked())
    videoExtensions =
        videoExtensions_.empty() ? std::string(schema::kDefaultVideoExtensions) : videoExtensions_;
  RewriteConfigFile(style, ListBox1->Items(), ListBox2->Items(), videoExtensions);
}

void TForm4::Button1Click() {
  if (Edit1->text().isEmpty()) return;
  std::string path;
  std::string name;
  if (!ToNarrowExactly(Edit1->text(), path) || !ToNarrowExactly(Edit2->text(), name) ||
      !CanStoreInConfigFile(path) || !CanStoreInConfigFile(name)) {
    ShowMessage(kCannotStore);
    return;
  }
  if (!platform::DirectoryExists(path)) {
    ShowMessage(kNoSuchFolder);
    return;
  }
  ListBox1->Add(path);
  ListBox2->Add(name);
  Edit1->clear();
  Edit2->clear();
}

void TForm4::Button3Click() {
  const int index = ListBox1->ItemIndex();
  if (index < 0) {
    ShowMessage(kPleaseSelect);
    return;
  }
  // The two selections always agree; taking the one position from both
  // lists keeps every remaining path with its own name.
  ListBox1->Delete(index);
  ListBox2->Delete(index);
  ListBox1->SetItemIndex(-1);
  ListBox2->SetItemIndex(-1);
}

void TForm4::ListBox1Click() {
  ListBox2->SetItemIndex(ListBox1->ItemIndex());
}

void TForm4::ListBox2Click() {
  ListBox1->SetItemIndex(ListBox2->ItemIndex());
}

void TForm4::ListBox1DblClick() {
  const int index = ListBox1->ItemIndex();
  if (index >= 0 && !ListBox1->Item(index).empty()) ShowMessage(ListBox1->Item(index));
}

void TForm4::Button2Click() {
  close();
}

void TForm4::done(int result) {
  // A save that fails has shown its error; the window then stays open as it
  // is, and the next close tries the whole save again.
  if (!Guard([this] { FormClose(); })) return;
  QDialog::done(result);
}

void ShowSettingsWindow(QWidget* owner) {
  ShowFreshModal(owner, Form4);
}
