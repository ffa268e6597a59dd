#include "library/video_index.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "config/schema.h"
#include "library/caseless_order.h"
#include "library/folder_paths.h"
#include "library/shared_state.h"
#include "platform/paths.h"

namespace vistrune {

namespace {

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// How many videos the gathering collects before it hands them over.
constexpr size_t kBatchVideos = 4096;

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
    std::string lowered;
    AppendKey(lowered, piece, {});
    if (key != lowered) folded.append(key);
  }
  foldedEnds.push_back(static_cast<uint32_t>(folded.size()));
}

void VideoIndex::AddFolder(int row, std::string_view entry, const std::vector<std::string>& names,
                           const SearchFold& fold) {
  if (names.empty()) return;
  rows_.push_back(static_cast<uint32_t>(row));
  AddText(entries_, entryEnds_, foldedEntries_, foldedEntryEnds_, entry, fold);
  for (const std::string& name : names)
    AddText(names_, nameEnds_, foldedNames_, foldedNameEnds_, name, fold);
  folderVideoEnds_.push_back(static_cast<uint32_t>(nameEnds_.size()));
}

void VideoIndex::Append(const VideoIndex& more) {
  // Each end counts from the beginning of its own text, so the ends of more
  // move by what this holds already.
  auto add = [](std::vector<uint32_t>& ends, const std::vector<uint32_t>& moreEnds,
                uint32_t offset) {
    ends.reserve(ends.size() + moreEnds.size());
    for (const uint32_t end : moreEnds) ends.push_back(end + offset);
  };
  rows_.insert(rows_.end(), more.rows_.begin(), more.rows_.end());
  add(entryEnds_, more.entryEnds_, static_cast<uint32_t>(entries_.size()));
  entries_ += more.entries_;
  add(foldedEntryEnds_, more.foldedEntryEnds_, static_cast<uint32_t>(foldedEntries_.size()));
  foldedEntries_ += more.foldedEntries_;
  add(folderVideoEnds_, more.folderVideoEnds_, static_cast<uint32_t>(nameEnds_.size()));
  add(nameEnds_, more.nameEnds_, static_cast<uint32_t>(names_.size()));
  names_ += more.names_;
  add(foldedNameEnds_, more.foldedNameEnds_, static_cast<uint32_t>(foldedNames_.size()));
  foldedNames_ += more.foldedNames_;
}

void VideoIndex::Clear() {
  *this = VideoIndex();
}

void VideoIndex::Compact() {
  for (std::vector<uint32_t>* ends :
       {&rows_, &entryEnds_, &foldedEntryEnds_, &folderVideoEnds_, &nameEnds_, &foldedNameEnds_})
    ends->shrink_to_fit();
  for (std::string* text : {&entries_, &foldedEntries_, &names_, &foldedNames_})
    text->shrink_to_fit();
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
  std::string key;
  std::vector<std::string_view> rest;
  for (size_t folder = firstFolder; folder < FolderCount(); ++folder) {
    key.clear();
    AppendKey(key, Entry(folder), Piece(foldedEntries_, foldedEntryEnds_, folder));
    // A word the entry holds is found for every video of the folder; the
    // others are looked for in the whole text of each video.
    rest.clear();
    for (const std::string& word : words)
      if (key.find(word) == std::string::npos) rest.push_back(word);
    key += platform::kPathDelimiter;
    const size_t entryLength = key.size();
    const uint32_t first = folder == 0 ? 0 : folderVideoEnds_[folder - 1];
    for (uint32_t video = first; video < folderVideoEnds_[folder]; ++video) {
      if (!rest.empty()) {
        key.resize(entryLength);
        AppendKey(key, Name(video), Piece(foldedNames_, foldedNameEnds_, video));
        if (!std::all_of(rest.begin(), rest.end(), [&key](std::string_view word) {
              return key.find(word) != std::string::npos;
            }))
          continue;
      }
      hits.push_back({static_cast<uint32_t>(folder), video});
    }
  }
}

VideoIndexBuild::VideoIndexBuild(std::vector<std::string> entries, SearchFold fold)
    : entries_(std::move(entries)),
      fold_(std::move(fold)),
      config_(ReadConfigSnapshot()),
      home_(HomeFolderName),
      programFolder_(AppPath),
      extensions_(ParseVideoExtensions(
          config_.ReadString(schema::kVideoSection, schema::kExtensionsKey, ""))) {
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    Run();
  }
}

VideoIndexBuild::~VideoIndexBuild() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

void VideoIndexBuild::Run() {
  std::exception_ptr error;
  try {
    VideoIndex batch;
    auto handOver = [&] {
      const std::lock_guard lock(mutex_);
      found_.Append(batch);
      batch.Clear();
    };
    for (size_t row = 0; row < entries_.size() && !stop_.load(); ++row) {
      const std::string& entry = entries_[row];
      std::vector<std::string> names = FindVideoFiles(
          ResolveFolderPath(entry, programFolder_ + entry, config_, home_, programFolder_),
          extensions_);
      std::stable_sort(names.begin(), names.end(), CaselessLess);
      batch.AddFolder(static_cast<int>(row), entry, names, fold_);
      if (batch.VideoCount() >= kBatchVideos) handOver();
    }
    handOver();
  } catch (...) {
    error = std::current_exception();
  }
  std::function<void()> ended;
  {
    const std::lock_guard lock(mutex_);
    error_ = error;
    ended_ = true;
    ended.swap(whenEnded_);
  }
  if (ended) ended();
}

VideoIndex VideoIndexBuild::TakeFound() {
  VideoIndex taken;
  const std::lock_guard lock(mutex_);
  std::swap(taken, found_);
  return taken;
}

void VideoIndexBuild::WhenEnded(std::function<void()> ended) {
  {
    const std::lock_guard lock(mutex_);
    if (!ended_) {
      whenEnded_ = std::move(ended);
      return;
    }
  }
  ended();
}

std::exception_ptr VideoIndexBuild::Finish() {
  if (thread_.joinable()) thread_.join();
  std::exception_ptr error;
  const std::lock_guard lock(mutex_);
  std::swap(error, error_);
  return error;
}

}  // namespace vistrune
