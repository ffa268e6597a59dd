#include "library/folder_list.h"

#include <algorithm>
#include <iterator>

#include "config/schema.h"
#include "library/caseless_order.h"

namespace vistrune {

void LoadFixedFolders(
    const ConfigSnapshot& config, int32_t count,
    const std::function<void(const std::string& path, const std::string& name)>& add) {
  const StringList& lines = config.Lines();
  // The path lines follow the count line; the count may be anything a
  // hand-edited file holds, so the index is kept wide enough not to wrap.
  for (int64_t i = schema::kFirstPathLine; i < int64_t{count} + schema::kFirstPathLine; ++i) {
    const std::string& path = lines.Get(static_cast<int>(std::min<int64_t>(i, INT32_MAX)));
    add(path, config.ReadString(schema::kNameSection, path, path));
  }
}

void FolderListOrder::AddFixed(const std::string& name) {
  fixedNames_.insert(std::upper_bound(fixedNames_.begin(), fixedNames_.end(), name, CaselessLess),
                     name);
}

std::vector<std::pair<int, std::string_view>> FolderListOrder::PlaceWalked(
    const std::vector<std::string>& items, std::vector<std::string_view>& batch) const {
  SortCaseless(batch);
  std::vector<std::pair<int, std::string_view>> rows;
  rows.reserve(batch.size());
  // The batch is sorted, so its places in the list only grow: each entry's
  // is looked for from the last one's, in steps that double and then by
  // halves, which costs little whether the batch is small or the list is.
  auto from = items.begin();
  for (const std::string_view entry : batch) {
    const auto equalFixed =
        std::equal_range(fixedNames_.begin(), fixedNames_.end(), entry, CaselessLess);
    auto to = from;
    for (ptrdiff_t step = 1; to != items.end() && !CaselessLess(entry, *to); step *= 2) {
      from = to + 1;
      to = from + std::min(step, items.end() - from);
    }
    const auto after = std::upper_bound(from, to, entry, CaselessLess);
    from = after;
    rows.emplace_back(
        static_cast<int>((after - items.begin()) - (equalFixed.second - equalFixed.first)), entry);
  }
  return rows;
}

void FolderLibrary::AddFixed(std::vector<std::string> names) {
  for (const std::string& name : names) order_.AddFixed(name);
  const auto middle = static_cast<ptrdiff_t>(entries_.size());
  std::move(names.begin(), names.end(), std::back_inserter(entries_));
  std::stable_sort(entries_.begin() + middle, entries_.end(), CaselessLess);
  std::inplace_merge(entries_.begin(), entries_.begin() + middle, entries_.end(), CaselessLess);
}

std::vector<int> FolderLibrary::AddWalked(std::vector<std::string_view>& batch) {
  const std::vector<std::pair<int, std::string_view>> places = order_.PlaceWalked(entries_, batch);
  std::vector<int> rows;
  rows.reserve(places.size());
  std::vector<std::string> merged;
  merged.reserve(entries_.size() + places.size());
  auto next = places.begin();
  for (size_t row = 0; row <= entries_.size(); ++row) {
    for (; next != places.end() && static_cast<size_t>(next->first) <= row; ++next) {
      merged.emplace_back(next->second);
      rows.push_back(next->first);
    }
    if (row == entries_.size()) break;
    merged.push_back(std::move(entries_[row]));
  }
  entries_ = std::move(merged);
  return rows;
}

}  // namespace vistrune
