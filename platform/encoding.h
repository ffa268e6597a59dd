// Conversion between the platform's narrow encoding (UTF-8 on Linux, the
// ANSI code page on Windows) and code page 932 (Shift-JIS), the encoding of
// Vistrune.ini on every platform.
//
// Windows: where the ANSI code page is 932 the two are the same and text
// passes unchanged (NarrowToCp932 still checks that it is well formed);
// elsewhere MultiByteToWideChar and WideCharToMultiByte convert, through
// UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace vistrune::platform {

// Converts narrow text to code page 932. False when text is not valid in the
// narrow encoding or holds a character that code page 932 does not hold
// exactly; cp932 then holds nothing of use. A character that code page 932
// only approximates counts as missing (on Linux "¥" would become "\" and
// "〜" would come back as "～"): reading it back would give another text, and
// for a path another folder. Where the narrow encoding is code page 932 the
// text is cp932 unchanged, and false only when it is not well-formed code
// page 932 (a lead byte without its trail byte, a pair that maps to nothing).
bool NarrowToCp932(std::string_view text, std::string& cp932);

// Converts code page 932 bytes to narrow text. Bytes that form no character
// become the replacement character (U+FFFD on UTF-8 systems): a lead byte
// and a trail byte that map to nothing give one, as does every other byte
// that starts no character. Never fails. Where the narrow encoding is code
// page 932 the bytes come back unchanged, broken ones included, as the ANSI
// functions of Windows pass them. Elsewhere on Windows a character that the
// ANSI code page lacks becomes a near neighbour there, or "?".
std::string Cp932ToNarrow(std::string_view cp932);

// The program's own texts (the Japanese messages) are UTF-8 in the sources;
// this gives them in the narrow encoding, so that a message that joins such
// a text with a path is in one encoding throughout. The identity on POSIX.
// Windows: a character that the ANSI code page lacks becomes a near
// neighbour there, or "?".
#ifdef _WIN32
std::string Utf8ToNarrow(std::string_view utf8);
#else
inline std::string Utf8ToNarrow(std::string_view utf8) {
  return std::string(utf8);
}
#endif

}  // namespace vistrune::platform
