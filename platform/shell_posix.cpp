#ifndef _WIN32

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "platform/shell.h"

extern char** environ;

namespace vistrune::platform {
namespace {

ShellOpenHandler& Handler() {
  static ShellOpenHandler handler;
  return handler;
}

std::string& OpenerProgram() {
  static std::string program = "xdg-open";
  return program;
}

// Openers started earlier that have not been collected yet. Each call
// collects the ones that have finished, so none lingers as a zombie for long.
std::vector<pid_t>& Running() {
  static std::vector<pid_t> running;
  return running;
}

void CollectFinished() {
  auto& running = Running();
  running.erase(std::remove_if(running.begin(), running.end(),
                               [](pid_t pid) { return waitpid(pid, nullptr, WNOHANG) != 0; }),
                running.end());
}

}  // namespace

void SetShellOpenHandler(ShellOpenHandler handler) {
  Handler() = std::move(handler);
}

void SetOpenerProgram(const std::string& program) {
  OpenerProgram() = program;
}

int ShellOpen(const std::string& verb, const std::string& target,
              const std::string& workingDirectory) {
  if (Handler()) {
    Handler()(verb, target, workingDirectory);
    return -1;
  }
  CollectFinished();
  // The desktop opener has no verbs; "open" is what it does. A relative
  // target that starts with "-" would be read as an option, so relative
  // targets are written as "./target", which names the same file.
  std::string argument = target;
  if (!argument.empty() && argument[0] != '/') argument = "./" + argument;

  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return -1;
  if (!workingDirectory.empty())
    posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());
  std::vector<char*> argv = {OpenerProgram().data(), argument.data(), nullptr};
  pid_t pid = -1;
  const int failed =
      posix_spawnp(&pid, OpenerProgram().c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) return -1;
  Running().push_back(pid);
  return pid;
}

}  // namespace vistrune::platform

#endif
