// The bound of every wait in the tests, so that a fault that makes something
// never happen fails the test with a message instead of holding it up.
// (No <chrono> here: the core's tests include this, and its unit names do not
// compile to code page 932.)
#pragma once

#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

namespace vistrune::testing {

// How long, in seconds, a test waits for something a working program does
// in moments: far more than a slow machine needs (sanitizers, Wine), far
// less than the test program's time limit, so that only a hang fails.
inline constexpr int kWaitLimitSeconds = 30;

// The failure of a wait for what that reached the limit.
::testing::AssertionResult StillWaitingFor(const std::string& what);

// Calls done until it returns true, letting the other threads run between
// calls, and succeeds; fails, naming what it waited for, at the limit. For
// what another thread makes true without telling.
[[nodiscard]] ::testing::AssertionResult SpinUntil(const std::function<bool()>& done,
                                                   const std::string& what);

// Waits on changed, with lock held, until done() returns true, and
// succeeds; fails, naming what it waited for, at the limit.
[[nodiscard]] ::testing::AssertionResult WaitUntil(std::condition_variable& changed,
                                                   std::unique_lock<std::mutex>& lock,
                                                   const std::function<bool()>& done,
                                                   const std::string& what);

}  // namespace vistrune::testing
