// Conversion between the platform's narrow encoding (UTF-8 on Linux) and
// code page 932 (Shift-JIS), the encoding of Vistrune.ini on every platform.
#pragma once

#include <string>
#include <string_view>

namespace vistrune::platform {

// Converts narrow text to code page 932. False when text is not valid in the
// narrow encoding or holds a character that code page 932 does not hold
// exactly; cp932 then holds nothing of use. A character that code page 932
// only approximates counts as missing (on Linux "¥" would become "\" and
// "〜" would come back as "～"): reading it back would give another text, and
// for a path another folder.
bool NarrowToCp932(std::string_view text, std::string& cp932);

// Converts code page 932 bytes to narrow text. Bytes that form no character
// become the replacement character (U+FFFD on UTF-8 systems): a lead byte
// and a trail byte that map to nothing give one, as does every other byte
// that starts no character. Never fails.
std::string Cp932ToNarrow(std::string_view cp932);

}  // namespace vistrune::platform
