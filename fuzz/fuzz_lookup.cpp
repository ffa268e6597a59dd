// Keyed lookup on arbitrary file bytes. Input: section NUL key NUL text
// (fuzz_input.h); section and key are any bytes without NUL.
//
// Checks, besides memory safety:
// - a value found is a view into the text that starts right after the first
//   "=" of its line and runs to that line's end;
// - for section and key of ASCII text, changing the case of their letters
//   or adding blanks and tabs around them finds the very same bytes;
// - the cut of a keyed read (at most n bytes, whole characters) is the
//   longest prefix that does not split a double-byte character;
// - name matching is symmetric and reflexive.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "charset/cp932.h"
#include "config/ini_text.h"
#include "fuzz/fuzz_input.h"

namespace {

using vistrune::cp932::CharLength;

bool IsAscii(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

std::string SwapCase(std::string_view text) {
  std::string swapped(text);
  for (char& c : swapped) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    } else if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return swapped;
}

bool SameView(std::optional<std::string_view> a, std::optional<std::string_view> b) {
  if (!a || !b) return !a && !b;
  return a->data() == b->data() && a->size() == b->size();
}

void CheckFoundValue(std::string_view text, std::string_view value) {
  const char* begin = text.data();
  FUZZ_CHECK(value.data() > begin && value.data() + value.size() <= begin + text.size());
  const size_t valueBegin = static_cast<size_t>(value.data() - begin);
  const size_t valueEnd = valueBegin + value.size();
  FUZZ_CHECK(text[valueBegin - 1] == '=');
  FUZZ_CHECK(value.find_first_of("\r\n") == std::string_view::npos);
  FUZZ_CHECK(valueEnd == text.size() || text[valueEnd] == '\r' || text[valueEnd] == '\n');
  const size_t lineBegin = text.find_last_of("\r\n", valueBegin - 1);
  const size_t contentBegin = lineBegin == std::string_view::npos ? 0 : lineBegin + 1;
  FUZZ_CHECK(text.find('=', contentBegin) == valueBegin - 1);
}

void CheckWholeCharPrefix(std::string_view value, size_t maxBytes) {
  const size_t length = vistrune::cp932::WholeCharPrefixLength(value, maxBytes);
  FUZZ_CHECK(length <= value.size());
  if (value.size() <= maxBytes) {
    FUZZ_CHECK(length == value.size());
    return;
  }
  FUZZ_CHECK(length <= maxBytes);
  size_t pos = 0;
  while (pos < length) pos += CharLength(value, pos);
  FUZZ_CHECK(pos == length);
  FUZZ_CHECK(length + CharLength(value, length) > maxBytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto input = vistrune::fuzz::SplitInput<2>(data, size);
  if (!input) return 0;
  const auto [section, key] = input->fields;
  const std::string_view text = input->text;

  const std::optional<std::string_view> value = vistrune::ini::FindValue(text, section, key);
  if (value) {
    CheckFoundValue(text, *value);
    CheckWholeCharPrefix(*value, value->size() / 2);
    CheckWholeCharPrefix(*value, value->size() > 0 ? value->size() - 1 : 0);
  }
  if (IsAscii(section) && IsAscii(key)) {
    FUZZ_CHECK(SameView(vistrune::ini::FindValue(text, SwapCase(section), SwapCase(key)), value));
    const std::string paddedSection = " \t" + std::string(section) + "\t ";
    const std::string paddedKey = "\t " + std::string(key) + " ";
    FUZZ_CHECK(SameView(vistrune::ini::FindValue(text, paddedSection, paddedKey), value));
  }

  FUZZ_CHECK(vistrune::cp932::NamesEqual(section, key) ==
             vistrune::cp932::NamesEqual(key, section));
  FUZZ_CHECK(vistrune::cp932::NamesEqual(section, section));
  CheckWholeCharPrefix(text, section.size());
  return 0;
}
