#include "qt_support/while_modal.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QPointer>
#include <QTimer>

namespace vistrune::testing {

namespace {

void HideLeftOpen(QWidget* window) {
  if (window && window->isVisible()) {
    ADD_FAILURE() << "the window did not close";
    window->hide();
  }
}

}  // namespace

void WhileModal(const std::function<void()>& open, const std::function<void(QDialog&)>& drive) {
  bool driven = false;
  QTimer::singleShot(0, [&] {
    QPointer<QDialog> dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr) << "no modal window is up";
    QDeadlineTimer deadline(2000);
    while (dialog && !dialog->isActiveWindow() && !deadline.hasExpired())
      QApplication::processEvents();
    driven = true;
    if (dialog) drive(*dialog);
    HideLeftOpen(dialog);
  });
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout,
                   [] { HideLeftOpen(QApplication::activeModalWidget()); });
  watchdog.start(5000);
  open();
  EXPECT_TRUE(driven);
}

}  // namespace vistrune::testing
