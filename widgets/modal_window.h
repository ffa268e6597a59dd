// How the commands open the settings, help and About windows: a fresh
// window each time, owned by the main window, shown modally and released
// when the showing ends, however it ends.
#pragma once

#include <QDialog>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPushButton>
#include <QScopeGuard>
#include <QWidget>

namespace vistrune {

// A dialog window without a cancel button: Escape does nothing rather than
// close it. Enter presses the push button that has the focus, as on the
// platform; elsewhere (in an edit box, on a radio button) it presses the
// default button where the window has one, and otherwise does nothing.
class NoCancelDialog : public QDialog {
  Q_OBJECT

 public:
  using QDialog::QDialog;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->matches(QKeySequence::Cancel)) return;
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    // A push button that is not the default one leaves Enter to its window.
    if (enter && modifiers == Qt::NoModifier) {
      if (auto* button = qobject_cast<QPushButton*>(focusWidget());
          button && button->isEnabled() && button->isVisible()) {
        button->click();
        return;
      }
    }
    QDialog::keyPressEvent(event);
  }
};

// Creates a Window owned by owner, points current (the window's global
// reference) at it and shows it modally. Afterwards the window is deleted
// once pending events are handled, and current, if it still refers to it,
// is cleared so it never refers to a deleted window.
template <typename Window>
void ShowFreshModal(QWidget* owner, Window*& current) {
  auto* window = new Window(owner);
  current = window;
  const auto release = qScopeGuard([window, &current] {
    if (current == window) current = nullptr;
    window->deleteLater();
  });
  window->exec();
}

}  // namespace vistrune
