#include "qt_support/while_modal.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <chrono>
#include <string>

#include "qt_support/bounded_waits.h"
#include "support/wait_limit.h"

namespace vistrune::testing {

namespace {

// Beyond the wait for the window to become active and the driving after it.
constexpr int kWatchdogLimitSeconds = 2 * kWaitLimitSeconds;

void HideLeftOpen(QWidget* window, const std::string& why) {
  if (window && window->isVisible()) {
    ADD_FAILURE() << why;
    window->hide();
  }
}

}  // namespace

void WhileModal(const std::function<void()>& open, const std::function<void(QDialog&)>& drive) {
  bool driven = false;
  QTimer::singleShot(0, [&] {
    QPointer<QDialog> dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr) << "no modal window is up";
    EXPECT_TRUE(WaitUntil([&] { return !dialog || dialog->isActiveWindow(); },
                          "the modal window to become active"));
    driven = true;
    if (dialog) drive(*dialog);
    HideLeftOpen(dialog, "the window did not close");
  });
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [] {
    HideLeftOpen(
        QApplication::activeModalWidget(),
        "the modal window was still up after " + std::to_string(kWatchdogLimitSeconds) + " s");
  });
  watchdog.start(std::chrono::seconds(kWatchdogLimitSeconds));
  open();
  EXPECT_TRUE(driven);
}

}  // namespace vistrune::testing
