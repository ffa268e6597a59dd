// Integer parsing of keyed values, against a reference parser built another
// way (std::from_chars on the digits with leading zeros dropped), and the
// round trip of the decimal text that integer writes store.
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "config/ini_text.h"
#include "fuzz/fuzz_input.h"

namespace {

bool AllOf(std::string_view text, bool (*accept)(char)) {
  for (char c : text)
    if (!accept(c)) return false;
  return true;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsHexDigit(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::string_view WithoutLeadingZeros(std::string_view digits) {
  size_t first = digits.find_first_not_of('0');
  return first == std::string_view::npos ? std::string_view("0") : digits.substr(first);
}

std::optional<int32_t> ReferenceHexadecimal(std::string_view digits) {
  if (digits.empty() || !AllOf(digits, IsHexDigit)) return std::nullopt;
  digits = WithoutLeadingZeros(digits);
  if (digits.size() > 8) return std::nullopt;
  uint32_t value = 0;
  std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
  return static_cast<int32_t>(value);
}

std::optional<int32_t> ReferenceDecimal(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty() || !AllOf(text, IsDigit)) return std::nullopt;
  text = WithoutLeadingZeros(text);
  if (text.size() > 10) return std::nullopt;
  int64_t value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  if (negative) value = -value;
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(value);
}

std::optional<int32_t> Reference(std::string_view text) {
  while (!text.empty() && text[0] == ' ') text.remove_prefix(1);
  if (text.starts_with("0x") || text.starts_with("0X")) return ReferenceHexadecimal(text.substr(2));
  if (text.starts_with('$') || text.starts_with('x') || text.starts_with('X'))
    return ReferenceHexadecimal(text.substr(1));
  return ReferenceDecimal(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::optional<int32_t> parsed = vistrune::ini::ParseInteger(text);
  FUZZ_CHECK(parsed == Reference(text));
  if (parsed) FUZZ_CHECK(vistrune::ini::ParseInteger(std::to_string(*parsed)) == parsed);
  return 0;
}
