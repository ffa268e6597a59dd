#include "widgets/list_box.h"

#include <QItemSelectionModel>
#include <QMouseEvent>
#include <QStyledItemDelegate>
#include <algorithm>
#include <utility>

#include "widgets/narrow_text.h"

namespace vistrune {

QModelIndex ByteStringListModel::index(int row, int column, const QModelIndex& parent) const {
  const bool inside = row >= 0 && static_cast<size_t>(row) < items_->size() && column == 0;
  return inside && !parent.isValid() ? createIndex(row, column) : QModelIndex();
}

int ByteStringListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(items_->size());
}

QVariant ByteStringListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  if (role == Qt::DisplayRole || role == Qt::EditRole)
    return DisplayText((*items_)[static_cast<size_t>(index.row())]);
  return {};
}

void ByteStringListModel::SetItems(std::vector<std::string> items) {
  beginResetModel();
  own_ = std::move(items);
  items_ = &own_;
  endResetModel();
}

void ByteStringListModel::KeepOwn() {
  if (items_ == &own_) return;
  own_ = *items_;
  items_ = &own_;
}

void ByteStringListModel::Insert(int row, const std::string& item) {
  KeepOwn();
  beginInsertRows(QModelIndex(), row, row);
  own_.insert(own_.begin() + row, item);
  endInsertRows();
}

void ByteStringListModel::Remove(int row) {
  KeepOwn();
  beginRemoveRows(QModelIndex(), row, row);
  own_.erase(own_.begin() + row);
  endRemoveRows();
}

void ByteStringListModel::ShowOwned(const std::vector<std::string>& owned) {
  beginResetModel();
  own_ = {};
  items_ = &owned;
  endResetModel();
}

void ByteStringListModel::ShowAs(const ByteStringListModel& other) {
  if (other.items_ == &other.own_) {
    SetItems(other.own_);
  } else {
    ShowOwned(*other.items_);
  }
}

void ByteStringListModel::ChangeOwned(const std::function<void()>& change) {
  beginResetModel();
  try {
    change();
  } catch (...) {
    endResetModel();
    throw;
  }
  endResetModel();
}

void ByteStringListModel::InsertOwned(const std::function<std::vector<int>()>& insert) {
  // One change, not an insertion per item: a hundred thousand rows take a
  // batch of thousands in linear time. The rows that existed keep their
  // identity through the persistent indexes (selection, current item): a
  // row moves down by the items inserted before it or at it.
  emit layoutAboutToBeChanged();
  const QModelIndexList before = persistentIndexList();
  std::vector<int> oldRows;
  oldRows.reserve(static_cast<size_t>(before.size()));
  for (const QModelIndex& index : before) oldRows.push_back(index.row());
  std::vector<int> rows;
  try {
    rows = insert();
  } catch (...) {
    emit layoutChanged();
    throw;
  }
  QModelIndexList after;
  after.reserve(before.size());
  for (const int row : oldRows) {
    const auto moved = std::upper_bound(rows.begin(), rows.end(), row) - rows.begin();
    after.append(index(row + static_cast<int>(moved)));
  }
  changePersistentIndexList(before, after);
  emit layoutChanged();
}

namespace {

// Marks a change the program makes, so the selection signals it causes
// (a current row moved or removed) are not taken for the user's.
class ProgramChange {
 public:
  explicit ProgramChange(bool& flag) : flag_(flag), previous_(flag) { flag_ = true; }
  ~ProgramChange() { flag_ = previous_; }
  ProgramChange(const ProgramChange&) = delete;
  ProgramChange& operator=(const ProgramChange&) = delete;

 private:
  bool& flag_;
  bool previous_;
};

// Lays every item out as wide as the list's horizontal extent, so the list
// scrolls sideways over exactly that width, as a Windows list box does.
class ExtentDelegate : public QStyledItemDelegate {
 public:
  ExtentDelegate(const int& extent, QObject* parent)
      : QStyledItemDelegate(parent), extent_(extent) {}

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    if (extent_ > 0) size.setWidth(extent_);
    return size;
  }

 private:
  const int& extent_;
};

}  // namespace

QString DisplayText(const std::string& text) {
  QString shown = ToQString(text);
  for (QChar& c : shown) {
    switch (c.unicode()) {
      case 0x0A:  // LF, VT, FF, CR: their symbols in Unicode's Control Pictures
      case 0x0B:
      case 0x0C:
      case 0x0D:
        c = QChar(0x2400 + c.unicode());
        break;
      case 0x85:  // NEL and the line and paragraph separators: the newline symbol
      case 0x2028:
      case 0x2029:
        c = QChar(0x2424);
        break;
      default:
        break;
    }
  }
  return shown;
}

TListBox::TListBox(QWidget* parent) : QListView(parent), model_(this) {
  setModel(&model_);
  setItemDelegate(new ExtentDelegate(horizontalExtent_, this));
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setUniformItemSizes(true);
  // The left button gives the list the focus when it goes down on it, the
  // others do not (see mousePressEvent); the Tab key reaches it as usual.
  setFocusPolicy(Qt::TabFocus);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  // A change of the selected entry counts; moving the focus rectangle alone
  // (as gaining the focus does) does not. A change made with the left button
  // down on an entry is told when the button goes up.
  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
    if (!programChange_ && !leftButtonOnEntry_) emit UserSelected();
  });
}

void TListBox::BeginUpdate() {
  updating_ = true;
}

void TListBox::EndUpdate() {
  updating_ = false;
  AddMany(std::move(pending_));
  pending_.clear();
}

void TListBox::Add(const std::string& item) {
  if (updating_) {
    pending_.push_back(item);
    return;
  }
  ProgramChange change(programChange_);
  int row = Count();
  if (sorted_) {
    const auto& items = model_.Items();
    row = static_cast<int>(std::upper_bound(items.begin(), items.end(), item, CaselessLess) -
                           items.begin());
  }
  model_.Insert(row, item);
}

void TListBox::AddMany(std::vector<std::string> items) {
  ProgramChange change(programChange_);
  std::vector<std::string> all = model_.Items();
  all.reserve(all.size() + items.size());
  std::move(items.begin(), items.end(), std::back_inserter(all));
  if (sorted_ && !std::is_sorted(all.begin(), all.end(), CaselessLess))
    std::stable_sort(all.begin(), all.end(), CaselessLess);
  model_.SetItems(std::move(all));
}

void TListBox::ShowOwned(const std::vector<std::string>& owned) {
  ProgramChange change(programChange_);
  model_.ShowOwned(owned);
}

void TListBox::ShowAs(const ByteStringListModel& other) {
  ProgramChange change(programChange_);
  model_.ShowAs(other);
}

void TListBox::ChangeOwned(const std::function<void()>& changeItems) {
  ProgramChange change(programChange_);
  model_.ChangeOwned(changeItems);
}

void TListBox::InsertOwned(const std::function<std::vector<int>()>& insert) {
  ProgramChange change(programChange_);
  model_.InsertOwned(insert);
}

void TListBox::Delete(int index) {
  ProgramChange change(programChange_);
  if (index >= 0 && index < Count()) model_.Remove(index);
}

void TListBox::Clear() {
  ProgramChange change(programChange_);
  model_.SetItems({});
}

void TListBox::SetSorted(bool sorted) {
  ProgramChange change(programChange_);
  sorted_ = sorted;
  if (sorted_ && !std::is_sorted(model_.Items().begin(), model_.Items().end(), CaselessLess)) {
    std::vector<std::string> items = model_.Items();
    std::stable_sort(items.begin(), items.end(), CaselessLess);
    model_.SetItems(std::move(items));
  }
}

int TListBox::ItemIndex() const {
  const QModelIndexList selected = selectionModel()->selectedRows();
  return selected.isEmpty() ? -1 : selected.first().row();
}

void TListBox::SetItemIndex(int index) {
  ProgramChange change(programChange_);
  if (index >= 0 && index < Count()) {
    const QModelIndex item = model_.index(index);
    selectionModel()->setCurrentIndex(item, QItemSelectionModel::ClearAndSelect);
    scrollTo(item);
  } else {
    selectionModel()->clear();
  }
}

int TListBox::IndexOfCaseless(const std::string& text) const {
  const auto& items = model_.Items();
  const auto found = std::find_if(items.begin(), items.end(), [&](const std::string& item) {
    return CaselessEqual(item, text);
  });
  return found == items.end() ? -1 : static_cast<int>(found - items.begin());
}

void TListBox::SetHorizontalExtent(int pixels) {
  horizontalExtent_ = pixels;
  scheduleDelayedItemsLayout();
}

void TListBox::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  setFocus(Qt::MouseFocusReason);
  leftButtonOnEntry_ = indexAt(event->position().toPoint()).isValid();
  QListView::mousePressEvent(event);
}

void TListBox::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() != Qt::NoButton && !(event->buttons() & Qt::LeftButton)) return;
  QListView::mouseMoveEvent(event);
}

void TListBox::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  QListView::mouseReleaseEvent(event);
  if (std::exchange(leftButtonOnEntry_, false)) emit UserSelected();
}

void TListBox::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const int chosen = ItemIndex();
  QListView::mouseDoubleClickEvent(event);
  // The second click of a double-click is no click of its own (Windows sends
  // LBN_DBLCLK for it, not LBN_SELCHANGE), unless it chose another entry.
  leftButtonOnEntry_ = false;
  if (ItemIndex() != chosen) emit UserSelected();
  emit UserDoubleClicked();
}

void TListBox::focusOutEvent(QFocusEvent* event) {
  QListView::focusOutEvent(event);
  // As Windows releases the mouse and notifies the choice then.
  if (std::exchange(leftButtonOnEntry_, false)) emit UserSelected();
}

QItemSelectionModel::SelectionFlags TListBox::selectionCommand(const QModelIndex& index,
                                                               const QEvent* event) const {
  QItemSelectionModel::SelectionFlags command = QListView::selectionCommand(index, event);
  if (selectionMode() == QAbstractItemView::SingleSelection && index.isValid() &&
      (command & (QItemSelectionModel::Deselect | QItemSelectionModel::Toggle)))
    command = QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
  return command;
}

}  // namespace vistrune
