// Text crossing between the program's narrow strings (UTF-8 on Linux, the
// ANSI code page on Windows) and Qt's strings. Qt's local 8-bit encoding is
// exactly that narrow encoding on both.
#pragma once

#include <QByteArray>
#include <QString>
#include <string>
#include <string_view>

#include "platform/encoding.h"

namespace vistrune {

inline QString ToQString(const std::string& narrow) {
  return QString::fromLocal8Bit(narrow.data(), static_cast<qsizetype>(narrow.size()));
}

inline std::string ToNarrow(const QString& text) {
  const QByteArray bytes = text.toLocal8Bit();
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

// Converts text the user typed to narrow text. False when the narrow
// encoding cannot hold it exactly: on Windows a character the ANSI code page
// lacks (Korean, emoji) would become "?" or a near neighbour, which names
// another folder or another text.
inline bool ToNarrowExactly(const QString& text, std::string& narrow) {
  narrow = ToNarrow(text);
  return ToQString(narrow) == text;
}

// A Japanese text of the program's own, written in UTF-8 in the sources,
// in the narrow encoding.
inline std::string Narrow(std::string_view utf8) {
  return platform::Utf8ToNarrow(utf8);
}

}  // namespace vistrune
