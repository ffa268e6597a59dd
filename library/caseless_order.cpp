#include "library/caseless_order.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace vistrune {

namespace {

unsigned char FoldAscii(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte >= 'A' && byte <= 'Z') ? static_cast<unsigned char>(byte + ('a' - 'A')) : byte;
}

// Where a and b first differ but for letter case, looked for from the
// place from up to limit (limit if nowhere). Equal bytes fold alike, so
// the common beginning (long, for the paths of a folder tree) is skipped
// eight bytes at a time; folding starts where two bytes differ.
size_t FirstCaselessDifference(std::string_view a, std::string_view b, size_t from, size_t limit) {
  size_t k = from;
  for (;;) {
    for (uint64_t x, y; k + 8 <= limit; k += 8) {
      std::memcpy(&x, a.data() + k, 8);
      std::memcpy(&y, b.data() + k, 8);
      if (x != y) break;
    }
    while (k < limit && a[k] == b[k]) ++k;
    if (k == limit || FoldAscii(a[k]) != FoldAscii(b[k])) return k;
    ++k;
  }
}

}  // namespace

bool CaselessLess(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  const size_t i = FirstCaselessDifference(a, b, 0, n);
  return i < n ? FoldAscii(a[i]) < FoldAscii(b[i]) : a.size() < b.size();
}

namespace {

// Groups smaller than this are sorted by comparison; a group split this
// many times over is too (it bounds the recursion, whatever the lengths).
constexpr size_t kComparisonSortBelow = 24;
constexpr int kMostSplits = 48;

// Sorts items whose first depth bytes are equal but for letter case: the
// bytes all of them share next are skipped, then the items are spread by
// their next folded byte (an item that ends there first), keeping their
// order, and each spread that holds more than one is sorted the same way.
// buckets is working space for each item's bucket.
void SortCaselessFrom(std::string_view* items, std::string_view* spare, uint16_t* buckets,
                      size_t count, size_t depth, int splits) {
  if (count < kComparisonSortBelow || splits > kMostSplits) {
    std::stable_sort(items, items + count, [depth](std::string_view a, std::string_view b) {
      return CaselessLess(a.substr(depth), b.substr(depth));
    });
    return;
  }
  const std::string_view first = items[0];
  size_t common = first.size();
  for (size_t i = 1; i < count && common > depth; ++i)
    common = FirstCaselessDifference(items[i], first, depth, std::min(common, items[i].size()));
  depth = common;
  // Bucket 0 holds the items that end at depth, bucket 1 + b those whose
  // folded byte there is b; ends[k] is where bucket k ends.
  std::array<size_t, 257> ends{};
  for (size_t i = 0; i < count; ++i) {
    buckets[i] = items[i].size() == depth ? 0 : 1 + FoldAscii(items[i][depth]);
    ++ends[buckets[i]];
  }
  for (size_t k = 1; k < ends.size(); ++k) ends[k] += ends[k - 1];
  for (size_t i = count; i-- > 0;) spare[--ends[buckets[i]]] = items[i];
  std::copy(spare, spare + count, items);
  // ends[k] now holds where bucket k begins.
  for (size_t k = 1; k < ends.size(); ++k) {
    const size_t end = k + 1 < ends.size() ? ends[k + 1] : count;
    if (end - ends[k] > 1)
      SortCaselessFrom(items + ends[k], spare + ends[k], buckets + ends[k], end - ends[k],
                       depth + 1, splits + 1);
  }
}

}  // namespace

void SortCaseless(std::vector<std::string_view>& items) {
  std::vector<std::string_view> spare(items.size());
  std::vector<uint16_t> buckets(items.size());
  SortCaselessFrom(items.data(), spare.data(), buckets.data(), items.size(), 0, 0);
}

bool CaselessEqual(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return FoldAscii(x) == FoldAscii(y);
         });
}

}  // namespace vistrune
