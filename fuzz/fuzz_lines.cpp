// Line splitting on arbitrary file bytes.
//
// Checks, besides memory safety:
// - the spans of SplitLines tile the text: each starts where the previous
//   one's line end stopped, holds no CR or LF, and is followed by exactly one
//   line end (CR LF, CR or LF), the last one possibly by none; no empty line
//   without a line end;
// - line access sees the lines of the text up to its first NUL byte, and
//   writing them out again with CR LF gives the same lines back;
// - converting the bytes from code page 932 and then splitting, as line
//   access does, gives the same lines as splitting and then converting each
//   line: a broken character never takes a line end or a NUL with it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/ini_text.h"
#include "fuzz/fuzz_input.h"
#include "platform/encoding.h"

namespace {

using vistrune::ini::LineSpan;

bool IsLineEnd(std::string_view end) {
  return end == "\r\n" || end == "\r" || end == "\n";
}

void CheckSpans(std::string_view text) {
  const std::vector<LineSpan> spans = vistrune::ini::SplitLines(text);
  size_t pos = 0;
  for (const LineSpan& span : spans) {
    FUZZ_CHECK(span.begin == pos);
    FUZZ_CHECK(span.begin <= span.end && span.end <= span.next && span.next <= text.size());
    FUZZ_CHECK(span.next > span.begin);
    std::string_view content = text.substr(span.begin, span.end - span.begin);
    FUZZ_CHECK(content.find_first_of("\r\n") == std::string_view::npos);
    std::string_view end = text.substr(span.end, span.next - span.end);
    FUZZ_CHECK(IsLineEnd(end) || (end.empty() && span.next == text.size()));
    pos = span.next;
  }
  FUZZ_CHECK(pos == text.size());
}

// The lines of text as line access takes them.
std::vector<std::string> TextLines(std::string_view text) {
  std::vector<std::string> lines;
  for (const LineSpan& span : vistrune::ini::TextLineSpans(text))
    lines.emplace_back(text.substr(span.begin, span.end - span.begin));
  return lines;
}

std::string WithCrLf(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text.append(line).append("\r\n");
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  CheckSpans(bytes);

  const std::string_view beforeNul = bytes.substr(0, bytes.find('\0'));
  const std::vector<std::string> lines = TextLines(bytes);
  const std::vector<LineSpan> spans = vistrune::ini::SplitLines(beforeNul);
  FUZZ_CHECK(lines.size() == spans.size());
  for (size_t i = 0; i < lines.size() && i < spans.size(); ++i)
    FUZZ_CHECK(lines[i] == beforeNul.substr(spans[i].begin, spans[i].end - spans[i].begin));
  FUZZ_CHECK(TextLines(WithCrLf(lines)) == lines);

  std::vector<std::string> convertedLines;
  for (const std::string& line : lines)
    convertedLines.push_back(vistrune::platform::Cp932ToNarrow(line));
  FUZZ_CHECK(TextLines(vistrune::platform::Cp932ToNarrow(bytes)) == convertedLines);
  return 0;
}
