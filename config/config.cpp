#include "config/config.h"

#include <optional>
#include <string_view>

#include "charset/cp932.h"
#include "config/ini_text.h"
#include "config/schema.h"
#include "platform/encoding.h"
#include "platform/file_io.h"
#include "platform/paths.h"

namespace vistrune {

std::string AppPath;

namespace {

// The longest value a keyed read returns, in file bytes: what a 2048-byte
// buffer holds before its closing NUL. The cut never splits a double-byte
// character, so a value of such characters may come back a byte shorter.
constexpr size_t kMaxValueBytes = 2047;

// Codes of a whole rewrite that is refused before the file is touched.
// An entry with a CR, LF or NUL in it would break the line layout, as would
// lists of different lengths: "invalid parameter".
constexpr int kEntryBreaksLayout = platform::kInvalidParameter;
// An entry with a character that code page 932 cannot hold: Windows' code
// for "no mapping for the Unicode character in the target code page".
constexpr int kEntryNotStorable = 1113;

// A keyed read's value as the caller gets it: at most kMaxValueBytes of it,
// in the narrow encoding.
std::string ValueOf(std::string_view value) {
  return platform::Cp932ToNarrow(
      value.substr(0, cp932::WholeCharPrefixLength(value, kMaxValueBytes)));
}

// Line access's failure: the file at path cannot be read.
[[noreturn]] void ThrowCannotOpen(const std::string& path) {
  throw EFOpenError(platform::Utf8ToNarrow("ファイル ") + path +
                    platform::Utf8ToNarrow(" は開けません"));
}

bool HoldsLineBreakOrNul(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

[[noreturn]] void ThrowWriteFailure(const std::string& path) {
  throw EIniFileException(path + platform::Utf8ToNarrow(" に書き込めません"));
}

// An entry of the whole rewrite in code page 932, or EInOutError.
std::string RewriteEntry(const std::string& entry) {
  if (HoldsLineBreakOrNul(entry)) throw EInOutError(kEntryBreaksLayout);
  std::string converted;
  if (!platform::NarrowToCp932(entry, converted)) throw EInOutError(kEntryNotStorable);
  return converted;
}

}  // namespace

bool CanStoreInConfigFile(const std::string& text) {
  std::string converted;
  return !HoldsLineBreakOrNul(text) && platform::NarrowToCp932(text, converted);
}

StringList::StringList(std::shared_ptr<const std::string> cp932) : cp932_(std::move(cp932)) {
  // Splitting before converting gives the lines that converting first
  // would: CR, LF and NUL are never part of a double-byte character.
  spans_ = ini::TextLineSpans(*cp932_);
}

const std::string& StringList::Get(int index) const {
  if (index < 0 || index >= Count()) throw EStringListError(index);
  auto found = converted_.find(index);
  if (found == converted_.end()) {
    const ini::LineSpan& span = spans_[static_cast<size_t>(index)];
    found = converted_
                .emplace(index, platform::Cp932ToNarrow(std::string_view(*cp932_).substr(
                                    span.begin, span.end - span.begin)))
                .first;
  }
  return found->second;
}

std::vector<std::string> StringList::Items() const {
  std::vector<std::string> items;
  for (int i = 0; i < Count(); ++i) items.push_back(Get(i));
  return items;
}

bool ConfigFile::Exists() const {
  return platform::FileExists(path_);
}

std::string ConfigFile::ReadString(const std::string& Section, const std::string& Key,
                                   const std::string& Default) const {
  std::string section;
  std::string key;
  // A name that code page 932 cannot hold is in no file.
  if (!platform::NarrowToCp932(Section, section) || !platform::NarrowToCp932(Key, key))
    return Default;
  // A file that cannot be read holds nothing, as a missing one does.
  std::string text;
  if (platform::ReadWholeFile(path_, text) != platform::kFileOk) return Default;
  std::optional<std::string_view> value = ini::FindValue(text, section, key);
  if (!value) return Default;
  return ValueOf(*value);
}

int32_t ConfigFile::ReadInteger(const std::string& Section, const std::string& Key,
                                int32_t Default) const {
  return ini::ParseInteger(ReadString(Section, Key, "")).value_or(Default);
}

void ConfigFile::WriteString(const std::string& Section, const std::string& Key,
                             const std::string& Value) const {
  std::string section;
  std::string key;
  std::string value;
  if (!platform::NarrowToCp932(Section, section) || !platform::NarrowToCp932(Key, key) ||
      !platform::NarrowToCp932(Value, value))
    ThrowWriteFailure(path_);
  // Refused too, with nothing written: what would not be found again as it
  // was written. A line break or NUL would split the line or hide the rest
  // of the file from line access; an "=" in a section name would stop its
  // line being a section line, an "=" in a key would cut the key short.
  if (HoldsLineBreakOrNul(section) || HoldsLineBreakOrNul(key) || HoldsLineBreakOrNul(value) ||
      section.find('=') != std::string::npos || key.find('=') != std::string::npos)
    ThrowWriteFailure(path_);

  // Read, edited and replaced as one change, so that no change another copy
  // of the program makes meanwhile is lost.
  const auto edit = [&](std::string_view text) { return ini::SetValue(text, section, key, value); };
  if (platform::UpdateWholeFile(path_, edit) != platform::kFileOk) ThrowWriteFailure(path_);
}

void ConfigFile::WriteInteger(const std::string& Section, const std::string& Key,
                              int32_t Value) const {
  WriteString(Section, Key, std::to_string(Value));
}

void ConfigFile::CreateIfMissing(const std::string& StyleValue) const {
  if (Exists()) return;
  try {
    Rewrite(StyleValue, {}, {});
  } catch (const EInOutError&) {
    ThrowWriteFailure(path_);
  }
}

StringList ConfigFile::LoadLines() const {
  auto bytes = std::make_shared<std::string>();
  if (platform::ReadWholeFile(path_, *bytes) != platform::kFileOk) ThrowCannotOpen(path_);
  return StringList(std::move(bytes));
}

ConfigSnapshot::ConfigSnapshot(const ConfigFile& file)
    : path_(file.Path()),
      bytes_(std::make_shared<std::string>()),
      read_(platform::ReadWholeFile(path_, *bytes_) == platform::kFileOk) {}

const StringList& ConfigSnapshot::Lines() const {
  if (!read_) ThrowCannotOpen(path_);
  if (!lines_) lines_.emplace(bytes_);
  return *lines_;
}

std::string ConfigSnapshot::ReadString(const std::string& Section, const std::string& Key,
                                       const std::string& Default) const {
  std::string key;
  const ini::KeyIndex* keys = KeysOf(Section);
  if (keys == nullptr || !platform::NarrowToCp932(Key, key)) return Default;
  const auto found = keys->find(ini::NameForm(key));
  if (found == keys->end()) return Default;
  return ValueOf(std::string_view(*bytes_).substr(found->second.first, found->second.second));
}

bool ConfigSnapshot::HoldsKeys(const std::string& Section) const {
  const ini::KeyIndex* keys = KeysOf(Section);
  return keys != nullptr && !keys->empty();
}

const ini::KeyIndex* ConfigSnapshot::KeysOf(const std::string& Section) const {
  std::string section;
  if (!read_ || !platform::NarrowToCp932(Section, section)) return nullptr;
  auto indexed = sections_.find(ini::NameForm(section));
  if (indexed == sections_.end())
    indexed = sections_.emplace(ini::NameForm(section), ini::IndexSection(*bytes_, section)).first;
  return &indexed->second;
}

int32_t ConfigSnapshot::ReadInteger(const std::string& Section, const std::string& Key,
                                    int32_t Default) const {
  return ini::ParseInteger(ReadString(Section, Key, "")).value_or(Default);
}

void ConfigFile::Rewrite(const std::string& StyleValue, const std::vector<std::string>& Paths,
                         const std::vector<std::string>& Names,
                         const std::optional<std::string>& VideoExtensions) const {
  if (Paths.size() != Names.size()) throw EInOutError(kEntryBreaksLayout);
  // Every entry is checked and converted before the file is touched.
  const std::string style = RewriteEntry(StyleValue);
  std::vector<std::string> paths;
  std::vector<std::string> names;
  for (size_t i = 0; i < Paths.size(); ++i) {
    paths.push_back(RewriteEntry(Paths[i]));
    names.push_back(RewriteEntry(Names[i]));
  }
  std::optional<std::string> extensions;
  if (VideoExtensions) extensions = RewriteEntry(*VideoExtensions);

  std::string text;
  auto line = [&text](std::initializer_list<std::string_view> parts) {
    for (std::string_view part : parts) text.append(part);
    text.append("\r\n");
  };
  using namespace schema;
  line({"[", kStyleSection, "]"});
  line({kStyleKey, "=", style});
  line({"[", kFixedFolderSection, "]"});
  line({kCountKey, "=", std::to_string(paths.size())});
  for (const std::string& path : paths) line({path});
  line({"[", kNameSection, "]"});
  for (size_t i = 0; i < paths.size(); ++i) line({paths[i], "=", names[i]});
  line({"[", kName2Section, "]"});
  for (size_t i = 0; i < paths.size(); ++i) line({names[i], "=", paths[i]});
  // After the fixed layout, where readers that take lines by position never
  // look.
  if (extensions) {
    line({"[", kVideoSection, "]"});
    line({kExtensionsKey, "=", *extensions});
  }

  int code = platform::ReplaceWholeFile(path_, text);
  if (code != platform::kFileOk) throw EInOutError(code);
}

std::string ConfigFilePath() {
  return AppPath + schema::kFileName;
}

namespace {

ConfigFile ProgramConfigFile() {
  return ConfigFile(ConfigFilePath());
}

}  // namespace

bool ConfigFileExists() {
  return ProgramConfigFile().Exists();
}

std::string ReadConfigString(const std::string& Section, const std::string& Key,
                             const std::string& Default) {
  return ProgramConfigFile().ReadString(Section, Key, Default);
}

int32_t ReadConfigInteger(const std::string& Section, const std::string& Key, int32_t Default) {
  return ProgramConfigFile().ReadInteger(Section, Key, Default);
}

void WriteConfigString(const std::string& Section, const std::string& Key,
                       const std::string& Value) {
  ProgramConfigFile().WriteString(Section, Key, Value);
}

void WriteConfigInteger(const std::string& Section, const std::string& Key, int32_t Value) {
  ProgramConfigFile().WriteInteger(Section, Key, Value);
}

void CreateConfigFileIfMissing(const std::string& StyleValue) {
  ProgramConfigFile().CreateIfMissing(StyleValue);
}

StringList LoadConfigLines() {
  return ProgramConfigFile().LoadLines();
}

ConfigSnapshot ReadConfigSnapshot() {
  return ConfigSnapshot(ProgramConfigFile());
}

void RewriteConfigFile(const std::string& StyleValue, const std::vector<std::string>& Paths,
                       const std::vector<std::string>& Names,
                       const std::optional<std::string>& VideoExtensions) {
  ProgramConfigFile().Rewrite(StyleValue, Paths, Names, VideoExtensions);
}

}  // namespace vistrune
