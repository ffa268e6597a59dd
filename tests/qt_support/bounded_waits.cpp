#include "qt_support/bounded_waits.h"

#include <QCoreApplication>
#include <QTest>
#include <QTimer>
#include <chrono>

#include "support/wait_limit.h"

namespace vistrune::testing {

::testing::AssertionResult WaitUntil(const std::function<bool()>& done, const std::string& what) {
  if (QTest::qWaitFor(done, kWaitLimitSeconds * 1000)) return ::testing::AssertionSuccess();
  return StillWaitingFor(what);
}

int ExecWithWatchdog() {
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [] {
    ADD_FAILURE() << "the message loop still ran after " << kWaitLimitSeconds << " s";
    QCoreApplication::exit(kLoopStillRunning);
  });
  watchdog.start(std::chrono::seconds(kWaitLimitSeconds));
  return QCoreApplication::exec();
}

}  // namespace vistrune::testing
