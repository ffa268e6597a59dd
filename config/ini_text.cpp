#include "config/ini_text.h"

#include <algorithm>

#include "charset/cp932.h"

namespace vistrune::ini {

namespace {

constexpr std::string_view kBlanks = " \t";
constexpr std::string_view kLineEnds = "\r\n";

std::string_view Trim(std::string_view text) {
  size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  size_t last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

// The line of text that starts at pos < text.size().
LineSpan LineAt(std::string_view text, size_t pos) {
  const size_t end = std::min(text.find_first_of(kLineEnds, pos), text.size());
  size_t next = end;
  if (next < text.size() && text[next] == '\r') ++next;
  if (next < text.size() && text[next] == '\n') ++next;
  return {pos, end, next};
}

// The name of a section line, or nothing for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
  std::string_view trimmed = Trim(line);
  if (trimmed.size() < 2 || trimmed.front() != '[' || trimmed.find('=') != std::string_view::npos)
    return std::nullopt;
  size_t last = cp932::LastCharStart(trimmed);
  if (trimmed[last] != ']') return std::nullopt;
  return Trim(trimmed.substr(1, last - 1));
}

// Where key of section sits in a text.
struct KeyPosition {
  bool sectionFound = false;
  // Where a line added to the section goes: the start of the section line
  // that ends it, or the end of the text.
  size_t sectionEnd = 0;
  bool keyFound = false;
  // The value's bytes, after the first "=" up to the line end.
  size_t valueBegin = 0;
  size_t valueEnd = 0;
};

// Calls visit(span, equals) for each key line of the first section named
// section (equals: where its first "=" is in the line), in file order, until
// visit returns true. Returns whether the section was found and, when visit
// never returned true, where a line added to the section goes: the start of
// the section line that ends it, or the end of the text.
template <typename Visit>
std::pair<bool, size_t> VisitKeyLines(std::string_view text, std::string_view section,
                                      Visit visit) {
  const std::string_view wanted = Trim(section);
  bool found = false;
  for (size_t pos = 0; pos < text.size();) {
    const LineSpan span = LineAt(text, pos);
    pos = span.next;
    std::string_view line = text.substr(span.begin, span.end - span.begin);
    std::optional<std::string_view> name = SectionName(line);
    if (!found) {
      found = name && cp932::NamesEqual(*name, wanted);
      continue;
    }
    if (name) return {true, span.begin};
    size_t equals = line.find('=');
    if (equals != std::string_view::npos && visit(span, equals)) return {true, span.begin};
  }
  return {found, text.size()};
}

std::string_view KeyOf(std::string_view text, const LineSpan& span, size_t equals) {
  return Trim(text.substr(span.begin, equals));
}

KeyPosition Locate(std::string_view text, std::string_view section, std::string_view key) {
  const std::string_view wantedKey = Trim(key);
  KeyPosition position;
  const auto [found, end] = VisitKeyLines(text, section, [&](const LineSpan& span, size_t equals) {
    if (!cp932::NamesEqual(KeyOf(text, span, equals), wantedKey)) return false;
    position.keyFound = true;
    position.valueBegin = span.begin + equals + 1;
    position.valueEnd = span.end;
    return true;
  });
  position.sectionFound = found;
  position.sectionEnd = end;
  return position;
}

std::optional<int32_t> ParseHexadecimal(std::string_view digits) {
  if (digits.empty()) return std::nullopt;
  uint64_t value = 0;
  for (char c : digits) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return std::nullopt;
    }
    value = value * 16 + static_cast<uint64_t>(digit);
    if (value > 0xFFFFFFFFu) return std::nullopt;
  }
  return static_cast<int32_t>(static_cast<uint32_t>(value));
}

std::optional<int32_t> ParseDecimal(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  constexpr int64_t kMagnitudeLimit = int64_t{1} << 31;
  int64_t magnitude = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > kMagnitudeLimit) return std::nullopt;
  }
  if (negative) return static_cast<int32_t>(-magnitude);
  if (magnitude == kMagnitudeLimit) return std::nullopt;
  return static_cast<int32_t>(magnitude);
}

}  // namespace

std::vector<LineSpan> SplitLines(std::string_view text) {
  std::vector<LineSpan> lines;
  for (size_t pos = 0; pos < text.size(); pos = lines.back().next)
    lines.push_back(LineAt(text, pos));
  return lines;
}

std::vector<LineSpan> TextLineSpans(std::string_view text) {
  return SplitLines(text.substr(0, text.find('\0')));
}

std::optional<std::string_view> FindValue(std::string_view text, std::string_view section,
                                          std::string_view key) {
  KeyPosition position = Locate(text, section, key);
  if (!position.keyFound) return std::nullopt;
  return text.substr(position.valueBegin, position.valueEnd - position.valueBegin);
}

std::string NameForm(std::string_view name) {
  return cp932::FoldName(Trim(name));
}

KeyIndex IndexSection(std::string_view text, std::string_view section) {
  KeyIndex index;
  VisitKeyLines(text, section, [&](const LineSpan& span, size_t equals) {
    const size_t value = span.begin + equals + 1;
    index.try_emplace(NameForm(KeyOf(text, span, equals)), value, span.end - value);
    return false;
  });
  return index;
}

std::string SetValue(std::string_view text, std::string_view section, std::string_view key,
                     std::string_view value) {
  KeyPosition position = Locate(text, section, key);
  std::string result;
  result.reserve(text.size() + section.size() + key.size() + value.size() + 8);
  if (position.keyFound) {
    result.append(text.substr(0, position.valueBegin));
    result.append(value);
    result.append(text.substr(position.valueEnd));
    return result;
  }
  size_t at = position.sectionFound ? position.sectionEnd : text.size();
  result.append(text.substr(0, at));
  // Only the end of the text can lack a line end: a section line that ends a
  // section always follows one.
  if (at == text.size() && !text.empty() && kLineEnds.find(text.back()) == std::string_view::npos)
    result.append("\r\n");
  if (!position.sectionFound) result.append("[").append(section).append("]\r\n");
  result.append(key).append("=").append(value).append("\r\n");
  result.append(text.substr(at));
  return result;
}

std::optional<int32_t> ParseInteger(std::string_view text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return std::nullopt;
  text.remove_prefix(first);
  if (text.starts_with("0x") || text.starts_with("0X")) return ParseHexadecimal(text.substr(2));
  if (text.front() == '$' || text.front() == 'x' || text.front() == 'X')
    return ParseHexadecimal(text.substr(1));
  return ParseDecimal(text);
}

}  // namespace vistrune::ini
