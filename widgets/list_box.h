// A single-selection list box over byte strings, as the main window's folder
// and file lists need it: optionally sorted, filled in bulk, with a
// horizontal scroll extent, and with signals only for what the user does.
#pragma once

#include <QAbstractListModel>
#include <QListView>
#include <string>
#include <utility>
#include <vector>

namespace vistrune {

// The items of a list or combo box. Each item keeps its own bytes, so a name
// that is not valid UTF-8 reaches the file system again unchanged; the view
// shows it decoded.
class ByteStringListModel : public QAbstractListModel {
  Q_OBJECT

 public:
  using QAbstractListModel::QAbstractListModel;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  const std::vector<std::string>& Items() const { return items_; }
  void SetItems(std::vector<std::string> items);
  void Insert(int row, const std::string& item);
  // Inserts each item before the row it names, a row of the items as they
  // are (ascending; items naming the same row keep their order), in one
  // change that keeps the selection and the current item on the same items.
  void InsertMany(std::vector<std::pair<int, std::string>> rowsAndItems);
  void Remove(int row);

 private:
  std::vector<std::string> items_;
};

// The order of a sorted list: bytes compared after folding the ASCII letters
// A-Z to a-z, so "abc" and "ABD" sort as a Windows list box sorts them; other
// characters sort by their UTF-8 bytes, which is code point order.
bool CaselessLess(const std::string& a, const std::string& b);
bool CaselessEqual(const std::string& a, const std::string& b);

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
  // See ByteStringListModel::InsertMany; the selection stays on its item.
  void InsertMany(std::vector<std::pair<int, std::string>> rowsAndItems);
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
  // The user changed the selection (mouse or keyboard).
  void UserSelected();
  // The user double-clicked anywhere in the list.
  void UserDoubleClicked();

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  ByteStringListModel model_;
  bool sorted_ = false;
  bool updating_ = false;
  std::vector<std::string> pending_;
  bool programChange_ = false;
  int horizontalExtent_ = 0;
};

}  // namespace vistrune

using vistrune::TListBox;
