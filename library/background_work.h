// Work on a thread of its own whose findings the window's thread takes over
// now and then, while the work goes on: the thread, the findings not taken
// yet, what the work raised, and a call when it ends. The start-up walk and
// the gathering of the video index are such work.
#pragma once

#include <exception>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace vistrune {

// Found is what the work collects between two takings.
template <typename Found>
class BackgroundWork {
 public:
  BackgroundWork() = default;
  // Waits for the thread; the owner has told its work to stop before.
  ~BackgroundWork() {
    if (thread_.joinable()) thread_.join();
  }
  BackgroundWork(const BackgroundWork&) = delete;
  BackgroundWork& operator=(const BackgroundWork&) = delete;

  // Begins work on a thread of its own; false where no thread can be had
  // (the owner then does it with Run).
  bool Begin(std::function<void()> work) {
    try {
      thread_ = std::thread([this, work = std::move(work)] { Run(work); });
      return true;
    } catch (const std::system_error&) {
      return false;
    }
  }

  // Does work here and now; what it raises is kept for Finish. Then the
  // work has ended, and the call given to WhenEnded is made.
  void Run(const std::function<void()>& work) {
    std::exception_ptr error;
    try {
      work();
    } catch (...) {
      error = std::current_exception();
    }
    std::function<void()> ended;
    {
      const std::lock_guard lock(mutex_);
      error_ = error;
      ended_ = true;
      ended.swap(whenEnded_);
    }
    if (ended) ended();
  }

  // From the work: adds to the findings, as add(found) does, under the lock.
  template <typename Adding>
  void Add(Adding&& add) {
    const std::lock_guard lock(mutex_);
    add(found_);
  }
  // The findings not taken yet.
  Found Take() {
    Found taken;
    const std::lock_guard lock(mutex_);
    std::swap(taken, found_);
    return taken;
  }

  // Calls ended once the work has ended: here and now if it already has,
  // else on the work's thread as it ends.
  void WhenEnded(std::function<void()> ended) {
    {
      const std::lock_guard lock(mutex_);
      if (!ended_) {
        whenEnded_ = std::move(ended);
        return;
      }
    }
    ended();
  }

  // Once the work has ended: waits for its thread and gives what the work
  // raised, if it raised (only once).
  std::exception_ptr Finish() {
    if (thread_.joinable()) thread_.join();
    std::exception_ptr error;
    const std::lock_guard lock(mutex_);
    std::swap(error, error_);
    return error;
  }

 private:
  std::thread thread_;
  std::mutex mutex_;
  Found found_;
  bool ended_ = false;
  std::exception_ptr error_;
  std::function<void()> whenEnded_;
};

}  // namespace vistrune
