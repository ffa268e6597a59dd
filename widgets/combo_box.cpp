#include "widgets/combo_box.h"

#include <QLineEdit>
#include <QListView>
#include <QSignalBlocker>

#include "widgets/narrow_text.h"

namespace vistrune {

TComboBox::TComboBox(QWidget* parent) : QComboBox(parent), model_(new ByteStringListModel(this)) {
  setModel(model_);
  setEditable(true);
  // It neither completes what the user types nor inserts it as an item.
  setInsertPolicy(QComboBox::NoInsert);
  setCompleter(nullptr);
  // The box keeps its designed size; its drop-down list, which may hold a
  // hundred thousand folders, measures one row instead of all of them.
  setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  if (auto* list = qobject_cast<QListView*>(view())) list->setUniformItemSizes(true);

  // When editing ends (the field loses the focus, Enter), Qt chooses the
  // item whose text equals the field's and reports it as activated. The
  // platform's combo box chooses nothing then, so that step is cut off.
  disconnect(lineEdit(), &QLineEdit::editingFinished, this, nullptr);
  // Typing leaves no item chosen; only the text counts then.
  connect(lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
    if (currentIndex() >= 0) {
      const int cursor = lineEdit()->cursorPosition();
      const QSignalBlocker blockCombo(this);
      const QSignalBlocker blockEdit(lineEdit());
      setCurrentIndex(-1);
      setEditText(text);
      lineEdit()->setCursorPosition(cursor);
    }
    emit UserChanged();
  });
  // A choice from the drop-down list, by mouse or arrow keys.
  connect(this, &QComboBox::activated, this, &TComboBox::UserChanged);
}

void TComboBox::SetItems(std::vector<std::string> items) {
  const QSignalBlocker block(this);
  model_->SetItems(std::move(items));
}

void TComboBox::ShowAs(const ByteStringListModel& other) {
  const QSignalBlocker block(this);
  model_->ShowAs(other);
}

void TComboBox::SetItemIndex(int index) {
  const QSignalBlocker blockCombo(this);
  const QSignalBlocker blockEdit(lineEdit());
  setCurrentIndex(index);
}

void TComboBox::SetText(const std::string& text) {
  const QSignalBlocker blockCombo(this);
  const QSignalBlocker blockEdit(lineEdit());
  setCurrentIndex(-1);
  setEditText(ToQString(text));
}

std::string TComboBox::Text() const {
  const int index = currentIndex();
  if (index >= 0 && itemText(index) == currentText())
    return model_->Items()[static_cast<size_t>(index)];
  return ToNarrow(currentText());
}

}  // namespace vistrune
