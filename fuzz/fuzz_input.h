// Splitting a fuzz input into its query fields and the file text.
//
// The lookup and keyed-write targets read their input as
// field NUL field NUL ... NUL text: the first count fields end at the first
// count NUL bytes, and everything after them is the file's bytes (NUL bytes
// included). Section names, keys and values can never hold a NUL, so the
// seed files are real Vistrune.ini files with a short query in front.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "charset/cp932.h"

namespace vistrune::fuzz {

template <size_t count>
struct Input {
  std::array<std::string_view, count> fields;
  std::string_view text;
};

// The fields and the text, or nothing when data holds fewer than count NULs.
template <size_t count>
std::optional<Input<count>> SplitInput(const uint8_t* data, size_t size) {
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  Input<count> input;
  for (std::string_view& field : input.fields) {
    size_t nul = rest.find('\0');
    if (nul == std::string_view::npos) return std::nullopt;
    field = rest.substr(0, nul);
    rest.remove_prefix(nul + 1);
  }
  input.text = rest;
  return input;
}

// Whether every lead byte of text is followed by a trail byte: the only
// code page 932 text the conversion at the configuration layer's boundary
// ever produces.
inline bool IsWholeCharacters(std::string_view text) {
  for (size_t pos = 0; pos < text.size(); ++pos) {
    if (!cp932::IsLeadByte(static_cast<unsigned char>(text[pos]))) continue;
    if (pos + 1 >= text.size() || !cp932::IsTrailByte(static_cast<unsigned char>(text[pos + 1])))
      return false;
    ++pos;
  }
  return true;
}

// A finding: prints the broken condition and aborts, which libFuzzer reports
// as a crash and saves the input for.
[[noreturn]] inline void Fail(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, condition);
  std::abort();
}

}  // namespace vistrune::fuzz

#define FUZZ_CHECK(condition) \
  ((condition) ? static_cast<void>(0) : ::vistrune::fuzz::Fail(#condition, __FILE__, __LINE__))
