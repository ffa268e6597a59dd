// The two boxes every window shares, and the one guard every handler runs in.
#pragma once

#include <functional>
#include <string>
#include <utility>

namespace vistrune {

// The message box: caption "Vistrune Z", the text, no icon, one OK button.
void ShowMessage(const std::string& text);

// The standard error box: caption "Vistrune Z", error icon, one OK button,
// showing ErrorBoxText(message).
void ShowErrorBox(const std::string& message);

// message with "." appended when its last character sorts after "."
// (so a Japanese sentence gets one, a message ending in "." or ")" does not).
std::string ErrorBoxText(const std::string& message);

// Runs handler; an exception it raises is shown in the standard error box and
// goes no further. Returns true when the handler finished without one.
bool Guard(const std::function<void()>& handler);

// A slot that runs window's handler inside Guard, for connecting signals.
template <typename Window>
std::function<void()> Guarded(Window* window, void (Window::*handler)()) {
  return [window, handler] { Guard([window, handler] { (window->*handler)(); }); };
}

// Test seam: while set, boxes are handed to the sink instead of being shown.
enum class BoxKind { Message, Error };
using BoxSink = std::function<void(BoxKind kind, const std::string& text)>;
void SetBoxSink(BoxSink sink);

}  // namespace vistrune
