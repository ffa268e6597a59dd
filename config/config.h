// Access to Vistrune.ini, the one file that holds the program's state.
//
// The file is code page 932 (Shift-JIS) on disk on every platform. Callers
// pass and receive strings in the platform's narrow encoding (UTF-8 on
// Linux); this layer converts at its boundary. No call keeps the file open or
// caches it: every call sees the file as it is on disk at that moment.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "config/errors.h"
#include "config/ini_text.h"

namespace vistrune {

// The program folder, with a trailing separator. Set once at start-up by the
// main window; tests point it at a temporary folder.
extern std::string AppPath;

// The lines of the file as line access sees them: its code page 932 bytes up
// to the first NUL, split at CR LF, a lone CR or a lone LF. Each line is
// converted to the narrow encoding when it is first taken, bytes that form
// no character becoming U+FFFD, so a large file costs only the lines used.
// Get() of an index outside the list raises EStringListError with that index.
class StringList {
 public:
  StringList() = default;
  explicit StringList(std::shared_ptr<const std::string> cp932);
  int Count() const { return static_cast<int>(spans_.size()); }
  const std::string& Get(int index) const;
  // Every line.
  std::vector<std::string> Items() const;

 private:
  std::shared_ptr<const std::string> cp932_;
  std::vector<ini::LineSpan> spans_;
  // The lines taken so far, by index.
  mutable std::unordered_map<int, std::string> converted_;
};

// Vistrune.ini at a given path. The value holds only the path: every call
// reads or changes the file as it is on disk at that moment.
class ConfigFile {
 public:
  explicit ConfigFile(std::string path) : path_(std::move(path)) {}
  const std::string& Path() const { return path_; }

  // True when a file, not a folder, exists at the path.
  bool Exists() const;

  // The value of Key in Section, or Default when the file, the section or the
  // key is missing or the file cannot be read. An empty value gives "", not
  // Default. At most 2047 bytes of the stored value. Never fails.
  std::string ReadString(const std::string& Section, const std::string& Key,
                         const std::string& Default) const;

  // The value of Key in Section parsed as a 32-bit integer (decimal, or
  // hexadecimal after $, x, X, 0x, 0X); Default when missing or not a number.
  int32_t ReadInteger(const std::string& Section, const std::string& Key, int32_t Default) const;

  // Sets Key in Section to Value, editing only the line concerned (or adding
  // lines at the end of the section or of the file). The file on disk is
  // replaced whole and atomically. Raises EIniFileException on failure; the
  // file then keeps its previous content. A read-only file (owner-write bit
  // clear) fails for every user. Refused the same way, with nothing written:
  // text that code page 932 cannot hold, a CR, LF or NUL anywhere, and an "="
  // in Section or Key.
  void WriteString(const std::string& Section, const std::string& Key,
                   const std::string& Value) const;
  void WriteInteger(const std::string& Section, const std::string& Key, int32_t Value) const;

  // The whole file as lines, in file order, up to its first NUL byte. Bytes
  // that form no code page 932 character come back as U+FFFD. Raises
  // EFOpenError when the file cannot be read.
  StringList LoadLines() const;

  // Replaces the whole file with the fixed 3N+6-line layout of schema.h,
  // followed, only when VideoExtensions is given, by the two lines "[Video]"
  // and "Extensions=" with its value. Paths and Names have the same length.
  // Raises EInOutError on failure; the file then keeps its previous content.
  // Refused before the file is touched: an entry or value that code page 932
  // cannot hold (code 1113), one with a CR, LF or NUL, or lists of different
  // lengths (code 87).
  void Rewrite(const std::string& StyleValue, const std::vector<std::string>& Paths,
               const std::vector<std::string>& Names,
               const std::optional<std::string>& VideoExtensions = std::nullopt) const;

  // When no file exists, creates it as Rewrite(StyleValue, {}, {}) would; an
  // existing file is left as it is. A failure is reported as a keyed
  // write's, EIniFileException "<path> に書き込めません", since it is the
  // first step of the keyed writes that follow it.
  void CreateIfMissing(const std::string& StyleValue) const;

 private:
  std::string path_;
};

// One reading of the file, for a window's creation step: its keyed values
// and its lines as they were at that moment, so that the step reads the file
// once, not once per value or per fixed folder.
class ConfigSnapshot {
 public:
  // Reads the file once. Never fails: a file that is missing or cannot be
  // read holds no values, as it does for ConfigFile's keyed reads.
  explicit ConfigSnapshot(const ConfigFile& file);

  // What ConfigFile::ReadString and ReadInteger gave at that moment.
  std::string ReadString(const std::string& Section, const std::string& Key,
                         const std::string& Default) const;
  int32_t ReadInteger(const std::string& Section, const std::string& Key, int32_t Default) const;
  // Whether Section holds any key then: where it holds none, every keyed
  // read of it gives its default.
  bool HoldsKeys(const std::string& Section) const;

  // What ConfigFile::LoadLines gave at that moment: the lines, or
  // EFOpenError when the file could not be read.
  const StringList& Lines() const;

 private:
  std::string path_;
  std::shared_ptr<std::string> bytes_;
  bool read_ = false;
  mutable std::optional<StringList> lines_;
  // The keys of Section, indexed at the first look-up; none where the file
  // was not read or the name cannot be written in code page 932.
  const ini::KeyIndex* KeysOf(const std::string& Section) const;
  // The sections looked up so far, by their name's form, each indexed once.
  mutable std::unordered_map<std::string, ini::KeyIndex> sections_;
};

// Whether text can be stored as a path or display name by the whole
// rewrite and read back the same: code page 932 holds every character of it
// exactly, and it has no CR, LF or NUL to break the line layout.
bool CanStoreInConfigFile(const std::string& text);

// The operations the windows call, on the file in the program folder:
// ConfigFilePath() is AppPath + "Vistrune.ini", and each of the others is
// the ConfigFile operation of the same meaning on that file.
std::string ConfigFilePath();
bool ConfigFileExists();
std::string ReadConfigString(const std::string& Section, const std::string& Key,
                             const std::string& Default);
int32_t ReadConfigInteger(const std::string& Section, const std::string& Key, int32_t Default);
void WriteConfigString(const std::string& Section, const std::string& Key,
                       const std::string& Value);
void WriteConfigInteger(const std::string& Section, const std::string& Key, int32_t Value);
void CreateConfigFileIfMissing(const std::string& StyleValue);
StringList LoadConfigLines();
// The file in the program folder, read once: ConfigSnapshot of it.
ConfigSnapshot ReadConfigSnapshot();
void RewriteConfigFile(const std::string& StyleValue, const std::vector<std::string>& Paths,
                       const std::vector<std::string>& Names,
                       const std::optional<std::string>& VideoExtensions = std::nullopt);

}  // namespace vistrune
