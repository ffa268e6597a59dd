// shell.h on Windows: the shell's own "open" request, ShellExecuteA.
#ifdef _WIN32

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "platform/shell.h"

namespace vistrune::platform {
namespace {

ShellOpenHandler& Handler() {
  static ShellOpenHandler handler;
  return handler;
}

}  // namespace

void SetShellOpenHandler(ShellOpenHandler handler) {
  Handler() = std::move(handler);
}

int ShellOpen(const std::string& verb, const std::string& target,
              const std::string& workingDirectory) {
  if (Handler()) {
    Handler()(verb, target, workingDirectory);
    return -1;
  }
  const char* folder = workingDirectory.empty() ? nullptr : workingDirectory.c_str();
  // Above 32 means the shell took the request; the value is no process id.
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteA(nullptr, verb.c_str(), target.c_str(), "", folder, SW_SHOW));
  return result > 32 ? 0 : -1;
}

}  // namespace vistrune::platform

#endif  // _WIN32
