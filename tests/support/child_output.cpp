#ifndef _WIN32

#include "support/child_output.h"

#include <errno.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

#include "support/wait_limit.h"

namespace vistrune::testing {

namespace {

// A child does real work (whole walks, under ThreadSanitizer too), not only
// wait for something, so it has more time than a wait.
constexpr std::chrono::seconds kChildLimit{4 * kWaitLimitSeconds};

}  // namespace

std::string OutputOfChild(const std::function<std::string()>& body) {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    close(fds[0]);
    std::string text;
    try {
      text = body();
    } catch (...) {
      _exit(2);
    }
    for (size_t done = 0; done < text.size();) {
      const ssize_t n = write(fds[1], text.data() + done, text.size() - done);
      if (n <= 0) _exit(3);
      done += static_cast<size_t>(n);
    }
    _exit(0);
  }
  close(fds[1]);
  const auto end = [&](const std::string& why) {
    close(fds[0]);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    throw std::runtime_error(why);
  };
  const auto deadline = std::chrono::steady_clock::now() + kChildLimit;
  std::string text;
  char buffer[4096];
  for (;;) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd output{fds[0], POLLIN, 0};
    const int ready = left.count() > 0 ? poll(&output, 1, static_cast<int>(left.count())) : 0;
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) end("poll failed");
    if (ready == 0)
      end("the child still ran after " + std::to_string(kChildLimit.count()) + " s; killed it");
    const ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    throw std::runtime_error("the child failed, status " + std::to_string(status));
  return text;
}

std::string OutputOfChildAsNobody(const std::function<std::string()>& body) {
  return OutputOfChild([&body] {
    constexpr uid_t kNobody = 65534;
    if (geteuid() == 0 &&
        (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0))
      throw std::runtime_error("cannot become nobody");
    return body();
  });
}

}  // namespace vistrune::testing

#endif
