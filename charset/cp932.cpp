#include "charset/cp932.h"

namespace vistrune::cp932 {

namespace {

char FoldAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool IsLeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool IsTrailByte(unsigned char byte) {
  return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}

size_t CharLength(std::string_view text, size_t pos) {
  if (pos + 1 < text.size() && IsLeadByte(static_cast<unsigned char>(text[pos])) &&
      IsTrailByte(static_cast<unsigned char>(text[pos + 1])))
    return 2;
  return 1;
}

size_t LastCharStart(std::string_view text) {
  size_t pos = 0;
  size_t last = 0;
  while (pos < text.size()) {
    last = pos;
    pos += CharLength(text, pos);
  }
  return last;
}

size_t WholeCharPrefixLength(std::string_view text, size_t maxBytes) {
  if (text.size() <= maxBytes) return text.size();
  size_t pos = 0;
  while (pos < maxBytes) {
    size_t next = pos + CharLength(text, pos);
    if (next > maxBytes) break;
    pos = next;
  }
  return pos;
}

bool NamesEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  size_t pos = 0;
  while (pos < a.size()) {
    size_t length = CharLength(a, pos);
    if (length != CharLength(b, pos)) return false;
    if (length == 2) {
      if (a.substr(pos, 2) != b.substr(pos, 2)) return false;
    } else if (FoldAscii(a[pos]) != FoldAscii(b[pos])) {
      return false;
    }
    pos += length;
  }
  return true;
}

std::string FoldName(std::string_view name) {
  std::string folded(name);
  for (size_t pos = 0; pos < folded.size(); pos += CharLength(name, pos))
    if (CharLength(name, pos) == 1) folded[pos] = FoldAscii(folded[pos]);
  return folded;
}

}  // namespace vistrune::cp932
