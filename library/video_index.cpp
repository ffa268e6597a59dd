#include "library/video_index.h"

#include <algorithm>
#include <functional>
#include <iterator>
#include <numeric>
#include <optional>
#include <utility>

#include "config/schema.h"
#include "library/caseless_order.h"
#include "library/folder_list.h"
#include "library/folder_paths.h"
#include "library/shared_state.h"
#include "platform/paths.h"
#include "platform/threads.h"

namespace vistrune {

namespace {

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// How many videos, or folders, the gathering collects before it hands them
// over; a batch is small enough for each folder to find its place in it.
constexpr size_t kBatchVideos = 4096;
constexpr size_t kBatchFolders = 1024;
// Up to how many names a folder's are sorted by insertion.
constexpr size_t kFewNames = 32;

constexpr uint32_t kNoRow = UINT32_MAX;

// The rows of the folder list by their entries: a table of row numbers,
// open addressing, which for a hundred thousand entries costs a fraction of
// a map of nodes. Rows of the same entry are chained first to last.
class RowsByEntry {
 public:
  explicit RowsByEntry(const std::vector<std::string>& entries)
      : entries_(entries), next_(entries.size(), kNoRow) {
    size_t size = 16;
    while (size < 2 * entries.size()) size *= 2;
    slots_.assign(size, kNoRow);
    for (size_t row = entries.size(); row-- > 0;) {
      uint32_t& slot = slots_[SlotOf(entries[row])];
      next_[row] = slot;
      slot = static_cast<uint32_t>(row);
    }
  }
  // The first row of entry, and the one after row of the same entry;
  // kNoRow for none.
  uint32_t First(std::string_view entry) const { return slots_[SlotOf(entry)]; }
  uint32_t Next(uint32_t row) const { return next_[row]; }

 private:
  // The slot that holds entry's first row, or the empty one where it goes.
  size_t SlotOf(std::string_view entry) const {
    const size_t mask = slots_.size() - 1;
    size_t at = std::hash<std::string_view>{}(entry)&mask;
    while (slots_[at] != kNoRow && entries_[slots_[at]] != entry) at = (at + 1) & mask;
    return at;
  }

  const std::vector<std::string>& entries_;
  std::vector<uint32_t> slots_;
  std::vector<uint32_t> next_;
};

}  // namespace

void VideoIndex::AddText(std::string& text, std::vector<uint32_t>& ends, std::string& folded,
                         std::vector<uint32_t>& foldedEnds, std::string_view piece,
                         const SearchFold& fold) {
  text.append(piece);
  ends.push_back(static_cast<uint32_t>(text.size()));
  // Most texts fold to themselves with their ASCII capitals made small, as
  // ASCII does (kanji, katakana): nothing is kept for those either.
  if (!IsAscii(piece)) {
    const std::string key = fold(piece);
    const bool asAscii =
        key.size() == piece.size() &&
        std::equal(piece.begin(), piece.end(), key.begin(), [](char c, char k) {
          return (c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) == k;
        });
    if (!asAscii) AddFolded(folded, foldedEnds, ends.size() - 1, key);
  }
}

void VideoIndex::AddFolded(std::string& folded, std::vector<uint32_t>& ends, size_t i,
                           std::string_view piece) {
  if (piece.empty()) return;
  ends.resize(i, static_cast<uint32_t>(folded.size()));
  folded.append(piece);
  ends.push_back(static_cast<uint32_t>(folded.size()));
}

size_t VideoIndex::PackOfFolder(size_t folder) const {
  if (packs_.size() == 1) return 0;
  return static_cast<size_t>(std::upper_bound(firstFolders_.begin(), firstFolders_.end(), folder) -
                             firstFolders_.begin()) -
         1;
}

size_t VideoIndex::PackOfVideo(size_t video) const {
  if (packs_.size() == 1) return 0;
  return static_cast<size_t>(std::upper_bound(firstVideos_.begin(), firstVideos_.end(), video) -
                             firstVideos_.begin()) -
         1;
}

int VideoIndex::Row(size_t folder) const {
  const size_t pack = PackOfFolder(folder);
  return packs_[pack].rows[folder - firstFolders_[pack]];
}

std::string_view VideoIndex::Entry(size_t folder) const {
  const size_t pack = PackOfFolder(folder);
  return Piece(packs_[pack].entries, packs_[pack].entryEnds, folder - firstFolders_[pack]);
}

std::string_view VideoIndex::Name(size_t video) const {
  const size_t pack = PackOfVideo(video);
  return Piece(packs_[pack].names, packs_[pack].nameEnds, video - firstVideos_[pack]);
}

std::vector<std::string_view> VideoIndex::Entries() const {
  std::vector<std::string_view> entries;
  entries.reserve(FolderCount());
  for (const Pack& pack : packs_)
    for (size_t folder = 0; folder < pack.FolderCount(); ++folder)
      entries.push_back(Piece(pack.entries, pack.entryEnds, folder));
  return entries;
}

void VideoIndex::AddFolder(int row, std::string_view entry,
                           const std::vector<std::string_view>& names, const SearchFold& fold) {
  if (names.empty()) return;
  if (packs_.empty()) AddPack({});
  Pack& pack = packs_.back();
  pack.rows.push_back(row);
  AddText(pack.entries, pack.entryEnds, pack.foldedEntries, pack.foldedEntryEnds, entry, fold);
  for (const std::string_view name : names)
    AddText(pack.names, pack.nameEnds, pack.foldedNames, pack.foldedNameEnds, name, fold);
  pack.folderVideoEnds.push_back(static_cast<uint32_t>(pack.nameEnds.size()));
  ++folderCount_;
  videoCount_ += names.size();
}

void VideoIndex::AddPack(Pack pack) {
  firstFolders_.push_back(static_cast<uint32_t>(folderCount_));
  firstVideos_.push_back(static_cast<uint32_t>(videoCount_));
  folderCount_ += pack.FolderCount();
  videoCount_ += pack.nameEnds.size();
  packs_.push_back(std::move(pack));
}

void VideoIndex::Append(const VideoIndex& more) {
  for (const Pack& pack : more.packs_) AddPack(pack);
}

void VideoIndex::Append(VideoIndex&& more) {
  if (FolderCount() == 0) {
    *this = std::move(more);
    return;
  }
  for (Pack& pack : more.packs_) AddPack(std::move(pack));
  more.Clear();
}

void VideoIndex::OrderNewFolders() const {
  const size_t ordered = order_.size();
  if (ordered == FolderCount()) return;
  const std::vector<std::string_view> entries = Entries();
  order_.resize(FolderCount());
  const auto added = order_.begin() + static_cast<std::ptrdiff_t>(ordered);
  std::iota(added, order_.end(), static_cast<uint32_t>(ordered));
  auto less = [&entries](uint32_t a, uint32_t b) { return CaselessLess(entries[a], entries[b]); };
  std::stable_sort(added, order_.end(), less);
  // Those equal in the order keep the earlier first.
  std::inplace_merge(order_.begin(), added, order_.end(), less);
}

void VideoIndex::SetRows(const std::vector<std::string>& entries) {
  // The rows already some folder's are no other's.
  std::vector<bool> taken(entries.size());
  for (const Pack& pack : packs_)
    for (const int32_t row : pack.rows)
      if (row >= 0 && static_cast<size_t>(row) < entries.size())
        taken[static_cast<size_t>(row)] = true;
  const RowsByEntry rowsByEntry(entries);
  // Each folder takes the first free row that holds exactly its entry;
  // folders of the same entry take them as they were added.
  std::vector<uint32_t> rows;
  rows.reserve(FolderCount());
  for (Pack& pack : packs_) {
    for (size_t folder = 0; folder < pack.FolderCount(); ++folder) {
      int32_t& row = pack.rows[folder];
      if (row < 0) {
        uint32_t free = rowsByEntry.First(Piece(pack.entries, pack.entryEnds, folder));
        while (free != kNoRow && taken[free]) free = rowsByEntry.Next(free);
        if (free != kNoRow) {
          taken[free] = true;
          row = static_cast<int32_t>(free);
        }
      }
      rows.push_back(static_cast<uint32_t>(row));
    }
  }
  // In the order of the rows; a folder whose entry the list does not hold
  // (row -1, the largest as unsigned) goes last, those in the order of
  // their entries.
  const std::vector<std::string_view> folderEntries = Entries();
  order_.resize(FolderCount());
  std::iota(order_.begin(), order_.end(), 0u);
  std::stable_sort(order_.begin(), order_.end(), [&](uint32_t a, uint32_t b) {
    if (rows[a] != rows[b]) return rows[a] < rows[b];
    return rows[a] == kNoRow && CaselessLess(folderEntries[a], folderEntries[b]);
  });
}

void VideoIndex::Clear() {
  *this = VideoIndex();
}

void VideoIndex::Compact() {
  // The folders are laid out anew in the order they are searched in, so
  // that a search reads the texts in sequence.
  OrderNewFolders();
  Pack laid;
  auto reserve = [this](auto& laidOut, auto part) {
    size_t size = 0;
    for (const Pack& pack : packs_) size += (pack.*part).size();
    laidOut.reserve(size);
  };
  reserve(laid.rows, &Pack::rows);
  reserve(laid.entries, &Pack::entries);
  reserve(laid.entryEnds, &Pack::entryEnds);
  reserve(laid.foldedEntries, &Pack::foldedEntries);
  reserve(laid.folderVideoEnds, &Pack::folderVideoEnds);
  reserve(laid.names, &Pack::names);
  reserve(laid.nameEnds, &Pack::nameEnds);
  reserve(laid.foldedNames, &Pack::foldedNames);
  auto copy = [](std::string& text, std::vector<uint32_t>& ends, std::string_view piece) {
    text.append(piece);
    ends.push_back(static_cast<uint32_t>(text.size()));
  };
  for (const uint32_t folder : order_) {
    const size_t at = PackOfFolder(folder);
    const Pack& pack = packs_[at];
    const size_t local = folder - firstFolders_[at];
    laid.rows.push_back(pack.rows[local]);
    copy(laid.entries, laid.entryEnds, Piece(pack.entries, pack.entryEnds, local));
    AddFolded(laid.foldedEntries, laid.foldedEntryEnds, laid.entryEnds.size() - 1,
              FoldedPiece(pack.foldedEntries, pack.foldedEntryEnds, local));
    for (uint32_t video = pack.FirstVideo(local); video < pack.folderVideoEnds[local]; ++video) {
      copy(laid.names, laid.nameEnds, Piece(pack.names, pack.nameEnds, video));
      AddFolded(laid.foldedNames, laid.foldedNameEnds, laid.nameEnds.size() - 1,
                FoldedPiece(pack.foldedNames, pack.foldedNameEnds, video));
    }
    laid.folderVideoEnds.push_back(static_cast<uint32_t>(laid.nameEnds.size()));
  }
  Clear();
  if (laid.FolderCount() == 0) return;
  AddPack(std::move(laid));
  order_.resize(FolderCount());
  std::iota(order_.begin(), order_.end(), 0u);
}

void VideoIndex::AppendKey(std::string& key, std::string_view text, std::string_view folded) {
  if (!folded.empty()) {
    key.append(folded);
    return;
  }
  const size_t begin = key.size();
  key.append(text);
  for (size_t i = begin; i < key.size(); ++i)
    if (key[i] >= 'A' && key[i] <= 'Z') key[i] = static_cast<char>(key[i] - 'A' + 'a');
}

void VideoIndex::Find(const std::vector<std::string>& words, size_t firstFolder,
                      std::vector<Hit>& hits) const {
  if (words.empty()) return;
  OrderNewFolders();
  std::string key;
  std::vector<std::string_view> rest;
  for (const uint32_t folder : order_)
    if (folder >= firstFolder) FindIn(words, folder, key, rest, hits);
}

void VideoIndex::FindIn(const std::vector<std::string>& words, uint32_t folder, std::string& key,
                        std::vector<std::string_view>& rest, std::vector<Hit>& hits) const {
  const size_t at = PackOfFolder(folder);
  const Pack& pack = packs_[at];
  const size_t local = folder - firstFolders_[at];
  key.clear();
  AppendKey(key, Piece(pack.entries, pack.entryEnds, local),
            FoldedPiece(pack.foldedEntries, pack.foldedEntryEnds, local));
  // A word the entry holds is found for every video of the folder; the
  // others are looked for in the whole text of each video.
  rest.clear();
  for (const std::string& word : words)
    if (key.find(word) == std::string::npos) rest.push_back(word);
  key += platform::kPathDelimiter;
  const size_t entryLength = key.size();
  for (uint32_t video = pack.FirstVideo(local); video < pack.folderVideoEnds[local]; ++video) {
    if (!rest.empty()) {
      key.resize(entryLength);
      AppendKey(key, Piece(pack.names, pack.nameEnds, video),
                FoldedPiece(pack.foldedNames, pack.foldedNameEnds, video));
      if (!std::all_of(rest.begin(), rest.end(), [&key](std::string_view word) {
            return key.find(word) != std::string::npos;
          }))
        continue;
    }
    hits.push_back({folder, firstVideos_[at] + video});
  }
}

void VideoIndex::MergeHits(std::vector<Hit>& hits, const std::vector<Hit>& more) const {
  if (more.empty()) return;
  OrderNewFolders();
  std::vector<uint32_t> position(FolderCount());
  for (size_t at = 0; at < order_.size(); ++at) position[order_[at]] = static_cast<uint32_t>(at);
  std::vector<Hit> merged;
  merged.reserve(hits.size() + more.size());
  std::merge(hits.begin(), hits.end(), more.begin(), more.end(), std::back_inserter(merged),
             [&position](const Hit& a, const Hit& b) {
               return position[a.folder] != position[b.folder]
                          ? position[a.folder] < position[b.folder]
                          : a.video < b.video;
             });
  hits.swap(merged);
}

VideoIndexBuild::VideoIndexBuild(SearchFold fold)
    : fold_(std::move(fold)),
      config_(ReadConfigSnapshot()),
      home_(HomeFolderName),
      programFolder_(AppPath),
      extensions_(ParseVideoExtensions(
          config_.ReadString(schema::kVideoSection, schema::kExtensionsKey, ""))),
      mapsEntries_(config_.HoldsKeys(schema::kName2Section)) {
  gatherHere_ = !work_.Begin([this] { Gather(); });
}

VideoIndexBuild::VideoIndexBuild(std::vector<std::string> entries, SearchFold fold)
    : VideoIndexBuild(std::move(fold)) {
  {
    // Read by the gathering once the walk has ended, which EndWalk tells
    // under the lock.
    const std::lock_guard lock(mutex_);
    fromWalk_ = false;
  }
  EndWalk(std::move(entries));
}

VideoIndexBuild::~VideoIndexBuild() {
  {
    const std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_one();
  work_.Finish();
}

void VideoIndexBuild::AddWalked(WalkedVideos videos) {
  if (videos.Count() == 0) return;
  {
    const std::lock_guard lock(mutex_);
    walked_.push_back(std::move(videos));
  }
  changed_.notify_one();
}

void VideoIndexBuild::EndWalk(std::vector<std::string> entries) {
  {
    const std::lock_guard lock(mutex_);
    entries_ = std::move(entries);
    walkEnded_ = true;
  }
  changed_.notify_one();
  if (gatherHere_) {
    gatherHere_ = false;
    work_.Run([this] { Gather(); });
  }
}

void VideoIndexBuild::AddFolder(int row, std::string_view entry,
                                std::vector<std::string_view>& names) {
  // A folder holds a few videos as a rule: those are sorted in place, as
  // stable_sort would, without the buffer it takes.
  if (names.size() > kFewNames) {
    std::stable_sort(names.begin(), names.end(), CaselessLess);
  } else {
    for (size_t i = 1; i < names.size(); ++i) {
      const std::string_view name = names[i];
      size_t at = i;
      for (; at > 0 && CaselessLess(name, names[at - 1]); --at) names[at] = names[at - 1];
      names[at] = name;
    }
  }
  batch_.AddFolder(row, entry, names, fold_);
}

VideoIndexBuild::Entries::Entries(const std::string& text, const std::vector<size_t>& ends)
    : taken_(ends.size()) {
  entries_.reserve(ends.size());
  for (size_t i = 0, begin = 0; i < ends.size(); begin = ends[i++])
    entries_.push_back(std::string_view(text).substr(begin, ends[i] - begin));
  std::sort(entries_.begin(), entries_.end());
}

bool VideoIndexBuild::Entries::Holds(std::string_view entry) const {
  return std::binary_search(entries_.begin(), entries_.end(), entry);
}

bool VideoIndexBuild::Entries::Take(std::string_view entry) {
  for (auto found = std::lower_bound(entries_.begin(), entries_.end(), entry);
       found != entries_.end() && *found == entry; ++found) {
    if (!taken_[static_cast<size_t>(found - entries_.begin())]) {
      taken_[static_cast<size_t>(found - entries_.begin())] = true;
      return true;
    }
  }
  return false;
}

VideoIndexBuild::Entries VideoIndexBuild::FixedFolderNames() {
  fixedText_.clear();
  fixedEnds_.clear();
  // As the lists load them; a file that is missing, or a count beyond its
  // lines, gives those there are.
  try {
    LoadFixedFolders(config_,
                     config_.ReadInteger(schema::kFixedFolderSection, schema::kCountKey, 0),
                     [this](const std::string&, const std::string& name) {
                       fixedText_ += name;
                       fixedEnds_.push_back(fixedText_.size());
                     });
  } catch (const std::exception&) {
  }
  return Entries(fixedText_, fixedEnds_);
}

bool VideoIndexBuild::ResolvesToWhatTheWalkRead(std::string_view entry) const {
  // Without mappings every entry resolves to the walk's folder: the home
  // entry to the program folder, any other (never ending in a separator)
  // to the program folder's path and the entry.
  if (!mapsEntries_) return true;
  const std::string named(entry);
  const std::string folder =
      ResolveFolderPath(named, programFolder_ + named, config_, home_, programFolder_);
  return entry == home_ ? folder == programFolder_
                        : folder.size() == programFolder_.size() + entry.size() + 1 &&
                              folder.compare(0, programFolder_.size(), programFolder_) == 0 &&
                              folder.compare(programFolder_.size(), entry.size(), entry) == 0;
}

bool VideoIndexBuild::BatchFull() const {
  return batch_.VideoCount() >= kBatchVideos || batch_.FolderCount() >= kBatchFolders;
}

void VideoIndexBuild::HandOver() {
  if (batch_.FolderCount() == 0) return;
  work_.Add([this](VideoIndex& found) { found.Append(std::move(batch_)); });
  batch_.Clear();
}

void VideoIndexBuild::Gather() {
  // The gathering gives way to the walk and to the window.
  platform::RunThisThreadInTheBackground();
  // The entries whose videos came from the walk, one after another, and
  // where each ends. No two are the same: the walk reads each folder once.
  std::string gatheredText;
  std::vector<size_t> gatheredEnds;
  // The same for the folders the walk reported but did not read.
  std::string unreadText;
  std::vector<size_t> unreadEnds;
  std::vector<WalkedVideos> walked;
  for (;;) {
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return stop_ || walkEnded_ || !walked_.empty(); });
      if (stop_) return;
      if (walked_.empty()) break;  // the walk has ended, and all it read is here
      walked.swap(walked_);
    }
    for (const WalkedVideos& videos : walked) {
      for (size_t i = 0; i < videos.Count(); ++i) {
        if (stop_.load()) return;
        const WalkedVideos::Folder folder = videos[i];
        if (!folder.read) {
          unreadText += folder.entry;
          unreadEnds.push_back(unreadText.size());
          continue;
        }
        // What the walk read is what a listing of the entry reads only where
        // the entry resolves to that folder.
        if (!folder.plain || !ResolvesToWhatTheWalkRead(folder.entry)) continue;
        gatheredText += folder.entry;
        gatheredEnds.push_back(gatheredText.size());
        names_.clear();
        for (size_t begin = 0, end; begin < folder.names.size(); begin = end + 1) {
          end = folder.names.find('\0', begin);
          names_.push_back(folder.names.substr(begin, end - begin));
        }
        AddFolder(-1, folder.entry, names_);
        if (BatchFull()) HandOver();
      }
    }
    walked.clear();
    HandOver();
  }
  // The rest of the list: the fixed folders, and what the walk did not read.
  // Each entry gathered stands for one row; a second row of the same entry
  // (a fixed folder's name) is read.
  Entries unread(unreadText, unreadEnds);
  Entries fixed = FixedFolderNames();
  // Most rows are walked folders that nothing maps elsewhere: their videos
  // came from the walk, or they hold none. The gathered entries are sorted
  // only once a row needs them.
  std::optional<Entries> gathered;
  for (size_t row = 0; row < entries_.size() && !stop_.load(); ++row) {
    const std::string& entry = entries_[row];
    if (fromWalk_ && !mapsEntries_ && !fixed.Holds(entry) && !unread.Holds(entry)) continue;
    if (!gathered) gathered.emplace(gatheredText, gatheredEnds);
    if (gathered->Take(entry)) continue;
    // A walked folder that the walk read without videos, where the entry
    // resolves to it, adds nothing.
    if (fromWalk_ && !fixed.Take(entry) && !unread.Take(entry) && ResolvesToWhatTheWalkRead(entry))
      continue;
    const std::vector<std::string> names = FindVideoFiles(
        ResolveFolderPath(entry, programFolder_ + entry, config_, home_, programFolder_),
        extensions_);
    names_.assign(names.begin(), names.end());
    AddFolder(static_cast<int>(row), entry, names_);
    if (BatchFull()) HandOver();
  }
  HandOver();
}

}  // namespace vistrune
