// Waits on the window's message loop that fail the test instead of hanging
// it. Qt's own QTRY_* macros report to QTest, which GoogleTest does not
// hear: a wait of theirs that runs out lets the test pass.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace vistrune::testing {

// Handles events until done() returns true, and succeeds; fails, naming
// what it waited for, at the wait limit (support/wait_limit.h). done() is
// asked between passes over the events, so another thread may make it true
// without any event; nothing is handled when it holds already.
[[nodiscard]] ::testing::AssertionResult WaitUntil(const std::function<bool()>& done,
                                                   const std::string& what);

// What ExecWithWatchdog returns for a message loop its watchdog ended.
inline constexpr int kLoopStillRunning = -1;

// QCoreApplication::exec() with a watchdog: a message loop still running
// after the wait limit fails the test and is ended, the modal ones running
// inside it with it.
int ExecWithWatchdog();

}  // namespace vistrune::testing
