#include "widgets/dialogs.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <exception>

#include "widgets/narrow_text.h"

namespace vistrune {
namespace {

BoxSink& Sink() {
  static BoxSink sink;
  return sink;
}

void ShowBox(BoxKind kind, const std::string& text) {
  if (Sink()) {
    Sink()(kind, text);
    return;
  }
  QMessageBox box(kind == BoxKind::Error ? QMessageBox::Critical : QMessageBox::NoIcon,
                  QStringLiteral("Vistrune Z"), ToQString(text), QMessageBox::Ok,
                  QApplication::activeWindow());
  box.exec();
}

// Start of the last whole character of a UTF-8 string (continuation bytes are
// 10xxxxxx), so a multi-byte character is compared by its first byte.
size_t LastCharacterStart(const std::string& text) {
  size_t i = text.size() - 1;
  while (i > 0 && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) --i;
  return i;
}

}  // namespace

void SetBoxSink(BoxSink sink) {
  Sink() = std::move(sink);
}

void ShowMessage(const std::string& text) {
  ShowBox(BoxKind::Message, text);
}

std::string ErrorBoxText(const std::string& message) {
  if (message.empty()) return message;
  if (static_cast<unsigned char>(message[LastCharacterStart(message)]) > '.') return message + ".";
  return message;
}

void ShowErrorBox(const std::string& message) {
  ShowBox(BoxKind::Error, ErrorBoxText(message));
}

bool Guard(const std::function<void()>& handler) {
  try {
    handler();
    return true;
  } catch (const std::exception& error) {
    ShowErrorBox(error.what());
  } catch (...) {
    ShowErrorBox(Narrow("不明なエラーが発生しました"));
  }
  return false;
}

}  // namespace vistrune
