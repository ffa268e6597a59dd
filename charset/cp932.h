// Character boundaries and name comparison in code page 932 (Shift-JIS)
// bytes.
//
// A double-byte character is a lead byte (0x81-0x9F, 0xE0-0xFC) followed by a
// trail byte (0x40-0x7E, 0x80-0xFC). A trail byte may equal "[" (0x5B), "\"
// (0x5C), "]" (0x5D) or an ASCII letter, so text is walked character by
// character, never byte by byte. A lead byte that is not followed by a trail
// byte (at the end of the text, or before a line end, a blank or any other
// non-trail byte) is taken as a single-byte character of its own, so broken
// text never swallows the byte after it. CR, LF, blank, tab, "=" and ";" are
// never trail bytes, so splitting on them needs no walking.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vistrune::cp932 {

bool IsLeadByte(unsigned char byte);
bool IsTrailByte(unsigned char byte);

// Length in bytes (1 or 2) of the character that starts at pos < text.size().
size_t CharLength(std::string_view text, size_t pos);

// Start of the last whole character of non-empty text.
size_t LastCharStart(std::string_view text);

// The longest prefix of text that is at most maxBytes long and does not cut
// a double-byte character in two.
size_t WholeCharPrefixLength(std::string_view text, size_t maxBytes);

// Whether two section or key names match: equal after the single-byte ASCII
// letters A-Z are folded to a-z. A double-byte character is compared as a
// unit and never folded, its trail byte included, so ア (83 41) and ヂ (83 61)
// differ. Letters outside ASCII (full-width Latin letters among them) are not
// folded either.
bool NamesEqual(std::string_view a, std::string_view b);

// name with its single-byte ASCII letters folded to a-z, every double-byte
// character kept as it is: NamesEqual(a, b) exactly when FoldName(a) ==
// FoldName(b), so names can be looked up in a table by this form.
std::string FoldName(std::string_view name);

}  // namespace vistrune::cp932
