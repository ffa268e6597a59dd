#include "qt_support/modal.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QTimer>

namespace vistrune::testing {

void WhileModal(const std::function<void()>& open, const std::function<void(QDialog&)>& drive) {
  bool driven = false;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr) << "no modal window is up";
    QDeadlineTimer deadline(2000);
    while (!dialog->isActiveWindow() && !deadline.hasExpired()) QApplication::processEvents();
    driven = true;
    drive(*dialog);
  });
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [] {
    if (QWidget* window = QApplication::activeModalWidget()) {
      ADD_FAILURE() << "the window did not close";
      window->close();
    }
  });
  watchdog.start(5000);
  open();
  EXPECT_TRUE(driven);
}

}  // namespace vistrune::testing
