#ifndef _WIN32

#include <errno.h>
#include <iconv.h>

#include <cstring>
#include <vector>

#include "charset/cp932.h"
#include "platform/encoding.h"

namespace vistrune::platform {

namespace {

// The narrow encoding is taken to be UTF-8, as it is on every Linux desktop
// this program supports; file names reach the system unchanged either way.
constexpr const char* kNarrow = "UTF-8";
constexpr const char* kCp932 = "CP932";
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// One iconv conversion, closed when it goes out of scope. Opening one costs
// far more than converting a short text, so each thread keeps one of each
// direction (Of below) for all the conversions it makes.
class Converter {
 public:
  Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
  ~Converter() {
    if (Valid()) iconv_close(handle_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts as much of in as it can, appending to out and advancing in.
  // Returns 0 when all of in was converted, otherwise errno (EILSEQ or EINVAL
  // at a sequence that cannot be converted). A system without the
  // conversion converts nothing: every character then counts as one that
  // cannot be converted. The output goes through a buffer of fixed size, so
  // a call costs what it converts, however much of in is left after a
  // sequence it stops at.
  int Convert(std::string_view& in, std::string& out) {
    if (!Valid()) return in.empty() ? 0 : EILSEQ;
    // No shift state carries over from an earlier conversion.
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    char buffer[16384];
    while (!in.empty()) {
      char* inPtr = const_cast<char*>(in.data());
      size_t inLeft = in.size();
      char* outPtr = buffer;
      size_t outLeft = sizeof buffer;
      size_t result = iconv(handle_, &inPtr, &inLeft, &outPtr, &outLeft);
      int error = errno;
      out.append(buffer, sizeof buffer - outLeft);
      in.remove_prefix(in.size() - inLeft);
      if (result == static_cast<size_t>(-1) && error != E2BIG) return error;
    }
    return 0;
  }

  // This thread's converter to code page 932 (to) or from it.
  template <bool ToCp932>
  static Converter& Of() {
    thread_local Converter converter(ToCp932 ? kCp932 : kNarrow, ToCp932 ? kNarrow : kCp932);
    return converter;
  }

 private:
  bool Valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

  iconv_t handle_;
};

// What iconv makes of every character of code page 932 (a byte, or a first
// byte followed by a second), in the narrow encoding: the replacement
// character for one it cannot convert. Made once, on first use, by as many small conversions as
// there are characters.
class CharacterTable {
 public:
  static const CharacterTable& Get() {
    static const CharacterTable table;
    return table;
  }

  // Writes the narrow text of text at out, which has room for three bytes
  // a byte of text, character by character as cp932::CharLength cuts them:
  // the replacement character for each that iconv cannot convert. Returns
  // the length written. Random bytes would make every test of a byte a
  // guess the processor gets wrong half the time, so the loop tests none.
  size_t Convert(std::string_view text, char* out) const {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const size_t size = text.size();
    size_t written = 0;
    // Whether pos starts a character: it does unless it is the second byte
    // of a pair that starts at pos - 1. Only this one bit carries from byte
    // to byte; each byte's own pair and entry are found without waiting for
    // it, and an entry written at a second byte is written over by the next.
    size_t start = 1;
    for (size_t pos = 0; pos < size; ++pos) {
      const size_t first = bytes[pos];
      const size_t second = pos + 1 < size ? bytes[pos + 1] : 0;
      const size_t pair = lead_[first] & trail_[second];
      const Entry& entry = entries_[first + pair * (256 + first * 255 + second)];
      std::memcpy(out + written, entry.bytes, sizeof entry.bytes);
      written += start * entry.length;
      start = (start ^ 1) | (pair ^ 1);
    }
    return written;
  }

 private:
  // One character's narrow text; code page 932 holds only characters of
  // three UTF-8 bytes at most, as is the replacement character.
  struct Entry {
    char bytes[3] = {kReplacement[0], kReplacement[1], kReplacement[2]};
    unsigned char length = kReplacement.size();
  };

  static size_t Index(std::string_view character) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(character[i]); };
    return character.size() == 1 ? byte(0) : 256 + byte(0) * 256 + byte(1);
  }

  CharacterTable() : entries_(256 + 256 * 256) {
    char character[2];
    for (int byte = 0; byte < 256; ++byte) {
      lead_[byte] = cp932::IsLeadByte(static_cast<unsigned char>(byte));
      trail_[byte] = cp932::IsTrailByte(static_cast<unsigned char>(byte));
    }
    for (int first = 0; first < 256; ++first) {
      character[0] = static_cast<char>(first);
      Learn(std::string_view(character, 1));
      if (!cp932::IsLeadByte(static_cast<unsigned char>(first))) continue;
      for (int second = 0; second < 256; ++second) {
        character[1] = static_cast<char>(second);
        if (cp932::IsTrailByte(static_cast<unsigned char>(second)))
          Learn(std::string_view(character, 2));
      }
    }
  }

  void Learn(std::string_view character) {
    std::string narrow;
    std::string_view in = character;
    if (Converter::Of<false>().Convert(in, narrow) != 0 || narrow.size() > sizeof(Entry::bytes))
      return;
    Entry& entry = entries_[Index(character)];
    narrow.copy(entry.bytes, narrow.size());
    entry.length = static_cast<unsigned char>(narrow.size());
  }

  // Whether a byte is a first or a second byte, as 1 or 0.
  unsigned char lead_[256];
  unsigned char trail_[256];
  std::vector<Entry> entries_;
};

}  // namespace

bool NarrowToCp932(std::string_view text, std::string& cp932) {
  cp932.clear();
  std::string_view rest = text;
  if (Converter::Of<true>().Convert(rest, cp932) != 0) return false;
  // iconv maps some characters to near neighbours; only an exact round trip
  // keeps the text.
  std::string_view converted = cp932;
  std::string back;
  return Converter::Of<false>().Convert(converted, back) == 0 && back == text;
}

std::string Cp932ToNarrow(std::string_view cp932) {
  std::string narrow;
  narrow.reserve(cp932.size() + cp932.size() / 2);
  if (Converter::Of<false>().Convert(cp932, narrow) == 0) return narrow;
  // The rest holds bytes that form no character. Asking iconv again after
  // each of them would cost a call per byte, which a damaged file of many
  // megabytes holds millions of; the rest goes character by character
  // through what iconv makes of every character, asked once. No character
  // takes more than three bytes of narrow text per byte.
  size_t end = narrow.size();
  narrow.resize(end + 3 * cp932.size());
  end += CharacterTable::Get().Convert(cp932, narrow.data() + end);
  narrow.resize(end);
  return narrow;
}

}  // namespace vistrune::platform

#endif
