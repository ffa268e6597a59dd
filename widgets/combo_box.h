// An editable drop-down combo box over byte strings, as the main window's
// folder box in combo style needs it. It behaves as the platform's own
// drop-down combo box does (the Windows COMBOBOX control with CBS_DROPDOWN):
// typing into the field leaves no item chosen, even when the text equals an
// item, and the field losing the focus or Enter never chooses one; only a
// choice from the drop-down list (mouse or arrow keys) chooses an item.
#pragma once

#include <QComboBox>
#include <string>
#include <vector>

#include "widgets/list_box.h"

namespace vistrune {

class TComboBox : public QComboBox {
  Q_OBJECT

 public:
  explicit TComboBox(QWidget* parent = nullptr);

  const std::vector<std::string>& Items() const { return model_->Items(); }
  // The items' model, for the changes of items an owner keeps, which keep
  // the chosen item (see ByteStringListModel).
  ByteStringListModel& Model() { return *model_; }
  void SetItems(std::vector<std::string> items);
  // Shows what other shows, as SetItems does.
  void ShowAs(const ByteStringListModel& other);

  // The chosen item's position, or -1 (also while the user's own typing is
  // in the field).
  int ItemIndex() const { return currentIndex(); }
  // Chooses the item at index; the field shows it. Not a user's change.
  void SetItemIndex(int index);
  // Chooses no item and shows text in the field. Not a user's change.
  void SetText(const std::string& text);
  // What the field holds: the chosen item's own bytes, so a name that is not
  // valid text reaches the file system unchanged, or what was typed.
  std::string Text() const;

 signals:
  // The user changed the field: typed into it, or chose an item from the
  // drop-down list.
  void UserChanged();

 private:
  ByteStringListModel* model_;
};

}  // namespace vistrune

using vistrune::TComboBox;
