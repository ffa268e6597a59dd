#ifndef _WIN32

#include <errno.h>
#include <iconv.h>

#include "charset/cp932.h"
#include "platform/encoding.h"

namespace vistrune::platform {

namespace {

// The narrow encoding is taken to be UTF-8, as it is on every Linux desktop
// this program supports; file names reach the system unchanged either way.
constexpr const char* kNarrow = "UTF-8";
constexpr const char* kCp932 = "CP932";
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// One iconv conversion, closed when it goes out of scope.
class Converter {
 public:
  Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
  ~Converter() {
    if (Valid()) iconv_close(handle_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts as much of in as it can into out, advancing in. Returns 0 when
  // all of in was converted, otherwise errno (EILSEQ or EINVAL at a sequence
  // that cannot be converted). A system without the conversion converts
  // nothing: every character then counts as one that cannot be converted.
  int Convert(std::string_view& in, std::string& out) {
    if (!Valid()) return in.empty() ? 0 : EILSEQ;
    while (!in.empty()) {
      size_t oldSize = out.size();
      size_t room = in.size() + in.size() / 2 + 16;
      out.resize(oldSize + room);
      char* inPtr = const_cast<char*>(in.data());
      size_t inLeft = in.size();
      char* outPtr = out.data() + oldSize;
      size_t outLeft = room;
      size_t result = iconv(handle_, &inPtr, &inLeft, &outPtr, &outLeft);
      int error = errno;
      out.resize(oldSize + (room - outLeft));
      in.remove_prefix(in.size() - inLeft);
      if (result == static_cast<size_t>(-1) && error != E2BIG) return error;
    }
    return 0;
  }

 private:
  bool Valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

  iconv_t handle_;
};

}  // namespace

bool NarrowToCp932(std::string_view text, std::string& cp932) {
  cp932.clear();
  std::string_view rest = text;
  if (Converter(kCp932, kNarrow).Convert(rest, cp932) != 0) return false;
  // iconv maps some characters to near neighbours; only an exact round trip
  // keeps the text.
  std::string_view converted = cp932;
  std::string back;
  return Converter(kNarrow, kCp932).Convert(converted, back) == 0 && back == text;
}

std::string Cp932ToNarrow(std::string_view cp932) {
  std::string narrow;
  narrow.reserve(cp932.size() + cp932.size() / 2);
  Converter converter(kNarrow, kCp932);
  while (converter.Convert(cp932, narrow) != 0 && !cp932.empty()) {
    narrow.append(kReplacement);
    cp932.remove_prefix(cp932::CharLength(cp932, 0));
  }
  return narrow;
}

}  // namespace vistrune::platform

#endif
