#include "qt_support/bounded_waits.h"

#include <QTest>

#include "support/wait_limit.h"

namespace vistrune::testing {

::testing::AssertionResult WaitUntil(const std::function<bool()>& done, const std::string& what) {
  if (QTest::qWaitFor(done, kWaitLimitSeconds * 1000)) return ::testing::AssertionSuccess();
  return StillWaitingFor(what);
}

}  // namespace vistrune::testing
