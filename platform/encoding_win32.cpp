// encoding.h on Windows. The narrow encoding is the ANSI code page; where it
// is code page 932, as on the Japanese systems this program is made for,
// there is nothing to convert.
#ifdef _WIN32

#include <windows.h>

#include "charset/cp932.h"
#include "platform/encoding.h"

namespace vistrune::platform {

namespace {

constexpr UINT kCp932 = 932;
constexpr wchar_t kReplacement = 0xFFFD;

bool NarrowIsCp932() {
  return GetACP() == kCp932;
}

int Length(std::string_view text) {
  return static_cast<int>(text.size());
}

// text in code page codePage as UTF-16. Strict: false when a byte sequence
// is not a character of that code page. Otherwise such a sequence becomes
// U+FFFD and the conversion never fails.
bool ToWide(UINT codePage, std::string_view text, bool strict, std::wstring& wide) {
  wide.clear();
  if (text.empty()) return true;
  const DWORD flags = strict ? MB_ERR_INVALID_CHARS : 0;
  const int n = MultiByteToWideChar(codePage, flags, text.data(), Length(text), nullptr, 0);
  if (n == 0) return false;
  wide.resize(static_cast<size_t>(n));
  return MultiByteToWideChar(codePage, flags, text.data(), Length(text), wide.data(), n) == n;
}

// UTF-16 in code page codePage. A character that the code page lacks
// becomes its nearest neighbour there or the code page's default character.
std::string FromWide(UINT codePage, std::wstring_view wide) {
  std::string text;
  if (wide.empty()) return text;
  const int length = static_cast<int>(wide.size());
  const int n = WideCharToMultiByte(codePage, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  text.resize(static_cast<size_t>(n));
  WideCharToMultiByte(codePage, 0, wide.data(), length, text.data(), n, nullptr, nullptr);
  return text;
}

}  // namespace

bool NarrowToCp932(std::string_view text, std::string& cp932) {
  cp932.clear();
  std::wstring wide;
  if (NarrowIsCp932()) {
    if (!ToWide(kCp932, text, true, wide)) return false;
    cp932.assign(text);
    return true;
  }
  if (!ToWide(CP_ACP, text, true, wide)) return false;
  // Only an exact round trip keeps the text: a character that code page 932
  // lacks comes back as "?" or as a near neighbour ("¥" as "\").
  std::string converted = FromWide(kCp932, wide);
  std::wstring back;
  if (!ToWide(kCp932, converted, true, back) || back != wide) return false;
  cp932 = std::move(converted);
  return true;
}

std::string Cp932ToNarrow(std::string_view cp932) {
  if (NarrowIsCp932()) return std::string(cp932);
  // Character by character where the whole does not convert, so that each
  // broken one becomes one replacement character and the rest converts as
  // it is.
  std::wstring wide;
  if (!ToWide(kCp932, cp932, true, wide)) {
    wide.clear();
    std::wstring one;
    for (size_t pos = 0; pos < cp932.size();) {
      const size_t length = cp932::CharLength(cp932, pos);
      if (ToWide(kCp932, cp932.substr(pos, length), true, one)) {
        wide += one;
      } else {
        wide += kReplacement;
      }
      pos += length;
    }
  }
  return FromWide(CP_ACP, wide);
}

std::string Utf8ToNarrow(std::string_view utf8) {
  std::wstring wide;
  ToWide(CP_UTF8, utf8, false, wide);
  return FromWide(CP_ACP, wide);
}

}  // namespace vistrune::platform

#endif  // _WIN32
