// The byte-level engine behind Vistrune.ini: line splitting, keyed lookup,
// keyed editing and integer parsing on the file's raw code page 932 bytes.
// Nothing here touches the disk or converts text; section names, keys and
// values are code page 932 bytes too.
//
// How the file is read by key:
// - Lines end at CR LF, a lone CR or a lone LF, as for line access. A NUL
//   byte is an ordinary byte here, so a keyed edit keeps whatever follows it.
// - A section line is a line that, without the blanks and tabs around it,
//   starts with "[", ends with a whole "]" character and holds no "=". Its
//   name is the text between, without blanks and tabs around it. Requiring
//   no "=" keeps a key line whose key starts with "[" (a display name such as
//   "[a]=D:\x") inside its section instead of opening a new one.
// - Lines before the first section line belong to no section and are never
//   found. Comment lines (";" first) get no meaning of their own: without "="
//   they are never found, and a display name that starts with ";" is still
//   found as the key it is.
// - Inside a section, a line with "=" is a key line: its key is the text
//   before the first "=" without blanks and tabs around it; its value is
//   every byte after that "=" up to the line end, untrimmed, so a value
//   written with blanks at its ends reads back as written.
// - Wanted names are trimmed of blanks and tabs too and matched by
//   cp932::NamesEqual. An empty key finds a key line whose key is empty.
// - When a section occurs twice, only the first one counts, for reading and
//   writing alike; when a key occurs twice in it, the first line counts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace vistrune::ini {

// One line of a text: its content is [begin, end); the next line starts at
// next (after the line end).
struct LineSpan {
  size_t begin;
  size_t end;
  size_t next;
};

// The lines of text. CR LF, a lone CR and a lone LF each end a line (LF CR
// ends one line and then an empty one); a last line without a line end is a
// line; a line end at the very end adds no empty line; "" gives none.
std::vector<LineSpan> SplitLines(std::string_view text);

// The lines of text as line access sees them: text ends at its first NUL
// byte, then it is split as SplitLines does.
std::vector<LineSpan> TextLineSpans(std::string_view text);

// The value of key in section, or nothing when the section or the key line
// is missing. The view points into text.
std::optional<std::string_view> FindValue(std::string_view text, std::string_view section,
                                          std::string_view key);

// The form in which section and key names are compared: without the blanks
// and tabs around them, single-byte letters folded (cp932::FoldName). Two
// names match exactly when their forms are equal.
std::string NameForm(std::string_view name);

// Every key of section, by its NameForm, with where its value lies in text
// (offset and length): for a key that occurs more than once, its first line.
// A look-up here finds what FindValue finds, for any number of keys at the
// cost of one pass over the text.
using KeyIndex = std::unordered_map<std::string, std::pair<size_t, size_t>>;
KeyIndex IndexSection(std::string_view text, std::string_view section);

// text with key in section set to value, every other byte kept:
// - a found key line keeps its own key text and line end; only the bytes
//   after its first "=" are replaced;
// - a missing key is added as key "=" value CR LF right before the section
//   line that ends the section, or at the end of the text;
// - a missing section is added at the end as "[" section "]" CR LF and
//   key "=" value CR LF, with no blank line before it.
// Before anything is added at the end of a text whose last line has no line
// end, a CR LF is added so the new line starts on its own.
std::string SetValue(std::string_view text, std::string_view section, std::string_view key,
                     std::string_view value);

// text as a 32-bit integer: leading blanks skipped, then either decimal
// (optional "+" or "-", digits, within the 32-bit signed range) or a prefix
// "$", "x", "X", "0x" or "0X" and hexadecimal digits of at most 32 bits,
// taken as two's complement. Nothing may follow the digits. Nothing is
// returned for any other text.
std::optional<int32_t> ParseInteger(std::string_view text);

}  // namespace vistrune::ini
