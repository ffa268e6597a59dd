#include "support/wait_limit.h"

#include <chrono>
#include <thread>

namespace vistrune::testing {

namespace {

constexpr std::chrono::seconds kWaitLimit{kWaitLimitSeconds};

}  // namespace

::testing::AssertionResult StillWaitingFor(const std::string& what) {
  return ::testing::AssertionFailure()
         << "still waiting for " << what << " after " << kWaitLimitSeconds << " s";
}

::testing::AssertionResult SpinUntil(const std::function<bool()>& done, const std::string& what) {
  const auto deadline = std::chrono::steady_clock::now() + kWaitLimit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return StillWaitingFor(what);
    std::this_thread::yield();
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult WaitUntil(std::condition_variable& changed,
                                     std::unique_lock<std::mutex>& lock,
                                     const std::function<bool()>& done, const std::string& what) {
  if (changed.wait_for(lock, kWaitLimit, done)) return ::testing::AssertionSuccess();
  return StillWaitingFor(what);
}

}  // namespace vistrune::testing
