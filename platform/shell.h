// Handing a file or folder to the desktop, which opens it with the
// application associated with its type (a player for a video, the file
// manager for a folder). The program never waits for that application.
#pragma once

#include <functional>
#include <string>

namespace vistrune::platform {

// Asks the desktop to apply verb ("open") to target. A relative target is
// taken relative to workingDirectory, in which the opener is started. The
// target reaches the opener as one argument, byte for byte, and never passes
// through a shell. Returns the opener's process id (-1 when it could not be
// started); callers may ignore it.
//
// Windows: ShellExecuteA with no owner window, verb, target, no parameters,
// workingDirectory and SW_SHOW. The shell gives no process id: 0 when it
// took the request, -1 when it refused it.
int ShellOpen(const std::string& verb, const std::string& target,
              const std::string& workingDirectory);

// Test seams. While a handler is set, ShellOpen only calls it. The opener
// program is "xdg-open" (looked up in PATH) unless another is set; Windows
// has no opener program, the shell itself opens.
using ShellOpenHandler = std::function<void(const std::string& verb, const std::string& target,
                                            const std::string& workingDirectory)>;
void SetShellOpenHandler(ShellOpenHandler handler);
#ifndef _WIN32
void SetOpenerProgram(const std::string& program);
#endif

}  // namespace vistrune::platform
