// A single-selection list box over byte strings, as the main window's folder
// and file lists need it: optionally sorted, filled in bulk, with a
// horizontal scroll extent, and with signals only for what the user does.
// It behaves as the platform's own list box does (the Windows LISTBOX
// control): only the left button chooses an entry, nothing unchooses it, and
// every click on an entry counts as a choice, also on the one already chosen.
#pragma once

#include <QAbstractListModel>
#include <QItemSelectionModel>
#include <QListView>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "library/caseless_order.h"

namespace vistrune {

// The items of a list or combo box. Each item keeps its own bytes, so a name
// that is not valid UTF-8 reaches the file system again unchanged; the view
// shows it decoded, on one row: a line break in it is drawn as a visible mark
// (DisplayText).
class ByteStringListModel : public QAbstractListModel {
  Q_OBJECT

 public:
  using QAbstractListModel::QAbstractListModel;

  // The list view asks for every row's index, twice per row, each time it
  // lays the rows out; this answers without the base class's two virtual
  // calls per index.
  QModelIndex index(int row, int column = 0,
                    const QModelIndex& parent = QModelIndex()) const override;
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  const std::vector<std::string>& Items() const { return *items_; }
  void SetItems(std::vector<std::string> items);
  void Insert(int row, const std::string& item);
  void Remove(int row);

  // Shows items that their owner keeps, and changes only through
  // ChangeOwned and InsertOwned; the model's own are dropped. Any change
  // made here (SetItems, Insert, Remove) first makes the model keep a copy
  // of its own again.
  void ShowOwned(const std::vector<std::string>& owned);
  // Shows what other shows: its owner's items, or a copy of its own.
  void ShowAs(const ByteStringListModel& other);
  // The owner changes the items shown, wholly, with change.
  void ChangeOwned(const std::function<void()>& change);
  // The owner inserts items with insert, which gives the rows before which
  // they went (ascending, rows of the items as they were), in one change
  // that keeps the selection and the current item on the same items.
  void InsertOwned(const std::function<std::vector<int>()>& insert);

 private:
  // The items shown become the model's own.
  void KeepOwn();

  std::vector<std::string> own_;
  const std::vector<std::string>* items_ = &own_;
};

// text as a list shows it: decoded, with each line break (CR, LF, VT, FF,
// NEL, the Unicode line and paragraph separators) replaced by a visible mark,
// so that every item takes one row.
QString DisplayText(const std::string& text);

class TListBox : public QListView {
  Q_OBJECT

 public:
  explicit TListBox(QWidget* parent = nullptr);

  int Count() const { return static_cast<int>(model_.Items().size()); }
  const std::string& Item(int index) const { return model_.Items()[index]; }
  const std::vector<std::string>& Items() const { return model_.Items(); }

  // Adds one item; a sorted list places it after the items that sort equal.
  void Add(const std::string& item);
  // Adds many items at once, in the order a run of Add calls would give.
  void AddMany(std::vector<std::string> items);
  // Items an owner keeps, shown and changed as ByteStringListModel's
  // functions of the same names do; the selection stays on its item where
  // the items stay.
  const ByteStringListModel& Model() const { return model_; }
  void ShowOwned(const std::vector<std::string>& owned);
  void ShowAs(const ByteStringListModel& other);
  void ChangeOwned(const std::function<void()>& change);
  void InsertOwned(const std::function<std::vector<int>()>& insert);
  void Delete(int index);
  // Between these two, Add only collects; EndUpdate adds what was collected
  // in one piece, so filling a sorted list stays fast for any number of items.
  void BeginUpdate();
  void EndUpdate();
  void Clear();

  bool Sorted() const { return sorted_; }
  // Turning sorting on sorts the items already there.
  void SetSorted(bool sorted);

  // The selected position, or -1. Setting it never raises UserSelected.
  int ItemIndex() const;
  void SetItemIndex(int index);

  // The first position whose whole text matches text, letter case ignored; -1 if none.
  int IndexOfCaseless(const std::string& text) const;

  // Width in pixels that can be scrolled sideways; the horizontal scroll bar
  // shows while it exceeds the visible width.
  int HorizontalExtent() const { return horizontalExtent_; }
  void SetHorizontalExtent(int pixels);

 signals:
  // The user chose an entry: the left button went up after going down on an
  // entry, whether or not that changed the choice (so a click on the entry
  // already chosen counts too), or the keyboard changed the choice. A Windows
  // list box notifies LBN_SELCHANGE in the same cases.
  void UserSelected();
  // The user double-clicked anywhere in the list.
  void UserDoubleClicked();

 protected:
  // Only the left button chooses and takes the focus: the right button is
  // left to the context menu, and neither it nor the middle button changes
  // the choice or the focus.
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  // Losing the focus with the left button still down ends that click.
  void focusOutEvent(QFocusEvent* event) override;
  // A single-selection list keeps its chosen entry: Ctrl with a click or
  // with Space chooses the entry rather than unchoosing it.
  QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                       const QEvent* event) const override;

 private:
  ByteStringListModel model_;
  bool sorted_ = false;
  bool updating_ = false;
  std::vector<std::string> pending_;
  bool programChange_ = false;
  // A left button went down on an entry and has not gone up yet: choices made
  // meanwhile (dragging over the entries) are told once, when it goes up.
  bool leftButtonOnEntry_ = false;
  int horizontalExtent_ = 0;
};

}  // namespace vistrune

using vistrune::TListBox;
