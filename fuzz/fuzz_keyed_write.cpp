// Keyed writes on arbitrary file bytes. Input: section NUL key NUL value NUL
// text (fuzz_input.h). Section, key and value are limited to what a keyed
// write passes down to the editor: whole code page 932 characters, no CR, LF
// or NUL, no "=" in the section or the key. The text is any bytes.
//
// Checks, besides memory safety, with the lines of before and after split
// here on their own (CR LF, CR or LF end a line):
// - when the key was found, only that line changes, and only after its first
//   "=": the bytes before it and the line end stay, the rest is the value;
// - otherwise the new lines go in as a block, "key=value" alone or, at the
//   end of the text, "[section]" and "key=value", each ending in CR LF; the
//   only other change allowed is a CR LF after a last line that had no line
//   end, when the block goes after it;
// - every other line keeps its bytes and its line end, in the same order;
// - the key is found again with the value, and writing the same value again
//   changes nothing.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/ini_text.h"
#include "fuzz/fuzz_input.h"

namespace {

struct Line {
  std::string_view content;
  std::string_view end;  // "\r\n", "\r", "\n", or "" for a last line without one
  bool operator==(const Line&) const = default;
};

std::vector<Line> Lines(std::string_view text) {
  std::vector<Line> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t stop = pos;
    while (stop < text.size() && text[stop] != '\r' && text[stop] != '\n') ++stop;
    size_t next = stop;
    if (next < text.size() && text[next] == '\r') ++next;
    if (next < text.size() && text[next] == '\n') ++next;
    lines.push_back({text.substr(pos, stop - pos), text.substr(stop, next - stop)});
    pos = next;
  }
  return lines;
}

bool IsStorableName(std::string_view name) {
  return vistrune::fuzz::IsWholeCharacters(name) &&
         name.find_first_of(std::string_view("\r\n\0=", 4)) == std::string_view::npos;
}

bool IsStorableValue(std::string_view value) {
  return vistrune::fuzz::IsWholeCharacters(value) &&
         value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

// The line of text that holds the byte at offset in its content.
size_t LineAt(const std::vector<Line>& lines, std::string_view text, size_t offset) {
  for (size_t i = 0; i < lines.size(); ++i) {
    const size_t begin = static_cast<size_t>(lines[i].content.data() - text.data());
    if (offset >= begin && offset <= begin + lines[i].content.size()) return i;
  }
  vistrune::fuzz::Fail("found value lies on no line", __FILE__, __LINE__);
}

void CheckValueReplaced(std::string_view before, std::string_view found, std::string_view after,
                        std::string_view value) {
  const std::vector<Line> oldLines = Lines(before);
  const std::vector<Line> newLines = Lines(after);
  FUZZ_CHECK(oldLines.size() == newLines.size());
  const size_t edited = LineAt(oldLines, before, static_cast<size_t>(found.data() - before.data()));
  const std::string_view oldContent = oldLines[edited].content;
  const size_t keep = static_cast<size_t>(found.data() - oldContent.data());
  FUZZ_CHECK(keep > 0 && oldContent.find('=') == keep - 1);
  FUZZ_CHECK(keep + found.size() == oldContent.size());
  for (size_t i = 0; i < oldLines.size(); ++i) {
    if (i != edited) {
      FUZZ_CHECK(newLines[i] == oldLines[i]);
      continue;
    }
    FUZZ_CHECK(newLines[i].end == oldLines[i].end);
    FUZZ_CHECK(newLines[i].content == std::string(oldContent.substr(0, keep)) + std::string(value));
  }
}

void CheckLinesAdded(std::string_view before, std::string_view after, std::string_view section,
                     std::string_view key, std::string_view value) {
  std::vector<Line> oldLines = Lines(before);
  const std::vector<Line> newLines = Lines(after);
  const std::string keyLine = std::string(key) + "=" + std::string(value);
  const std::string sectionLine = "[" + std::string(section) + "]";
  const size_t added = newLines.size() - oldLines.size();
  FUZZ_CHECK(newLines.size() > oldLines.size() && (added == 1 || added == 2));

  // Where the block went: the first line that differs.
  size_t at = 0;
  while (at < oldLines.size() && newLines[at] == oldLines[at]) ++at;
  const bool endFixed = at + 1 == oldLines.size() && oldLines[at].end.empty() &&
                        newLines[at] == Line{oldLines[at].content, "\r\n"};
  if (endFixed) oldLines[at++].end = "\r\n";
  if (added == 2) FUZZ_CHECK(at == oldLines.size());
  if (added == 1) FUZZ_CHECK(at > 0);
  if (endFixed) FUZZ_CHECK(at == oldLines.size());

  std::vector<Line> expected(oldLines.begin(), oldLines.begin() + static_cast<ptrdiff_t>(at));
  if (added == 2) expected.push_back({sectionLine, "\r\n"});
  expected.push_back({keyLine, "\r\n"});
  expected.insert(expected.end(), oldLines.begin() + static_cast<ptrdiff_t>(at), oldLines.end());
  FUZZ_CHECK(newLines == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto input = vistrune::fuzz::SplitInput<3>(data, size);
  if (!input) return 0;
  const auto [section, key, value] = input->fields;
  if (!IsStorableName(section) || !IsStorableName(key) || !IsStorableValue(value)) return 0;
  const std::string_view before = input->text;

  const std::optional<std::string_view> found = vistrune::ini::FindValue(before, section, key);
  const std::string after = vistrune::ini::SetValue(before, section, key, value);
  if (found) {
    CheckValueReplaced(before, *found, after, value);
  } else {
    CheckLinesAdded(before, after, section, key, value);
  }

  const std::optional<std::string_view> again = vistrune::ini::FindValue(after, section, key);
  FUZZ_CHECK(again && *again == value);
  FUZZ_CHECK(vistrune::ini::SetValue(after, section, key, value) == after);
  return 0;
}
