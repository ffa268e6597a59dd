// What Vistrune.ini holds: its name, sections, keys, style values and the
// positions of the lines that are read by position. Every part of the
// program that reads or writes the file takes these names from here, so the
// writers and the readers cannot drift apart.
//
// The whole rewrite lays the file out as follows, N being the number of fixed
// folders (line indices count from 0, each line ends in CR LF):
//
//   0          [Style]
//   1          Style=ListBox or Style=ComboBox        (the style line)
//   2          [FixedFolder Setting]
//   3          count=N
//   4 … N+3    one fixed folder's full path per line  (the path lines)
//   N+4        [Name]
//   …          path=display name, one per folder
//   2N+5       [Name2]
//   …          display name=path, one per folder
//   3N+6       [Video]                                (these two only when
//   3N+7       Extensions=.mp4 .mkv …                  more formats are listed)
//
// The main window's close adds [Form] with Pos.Left and Pos.Top by key, and
// rewrites the style line by key. Older copies of the program read lines 1, 3
// and 4 … N+3 by position and the rest by key, so whatever this program adds
// goes after the fixed layout, to be read by key.
#pragma once

#include <string>
#include <string_view>

namespace vistrune::schema {

// The file's name in the program folder.
inline constexpr char kFileName[] = "Vistrune.ini";

// The style used at start, written as the style line.
inline constexpr char kStyleSection[] = "Style";
inline constexpr char kStyleKey[] = "Style";
inline constexpr char kListBoxStyle[] = "ListBox";
inline constexpr char kComboBoxStyle[] = "ComboBox";

// The number of fixed folders, then their path lines.
inline constexpr char kFixedFolderSection[] = "FixedFolder Setting";
inline constexpr char kCountKey[] = "count";

// Path to display name, keyed by the path.
inline constexpr char kNameSection[] = "Name";
// Display name to path, keyed by the name the folder list shows.
inline constexpr char kName2Section[] = "Name2";

// The main window's position, written when it closes.
inline constexpr char kFormSection[] = "Form";
inline constexpr char kLeftKey[] = "Pos.Left";
inline constexpr char kTopKey[] = "Pos.Top";

// Video formats listed beyond avi, wmv, mpg and mpeg, read by key at each
// listing. The value is a list of extensions; kDefaultVideoExtensions is the
// one the settings window writes when the user asks for them.
inline constexpr char kVideoSection[] = "Video";
inline constexpr char kExtensionsKey[] = "Extensions";
inline constexpr char kDefaultVideoExtensions[] =
    ".mp4 .m4v .mkv .webm .mov .ts .m2ts .mts .flv .3gp .vob .asf .rmvb .ogv .divx";

// Line indices that line access reads.
inline constexpr int kStyleLine = 1;
inline constexpr int kFirstPathLine = 4;

// The text of the style line for a style value: "Style=ListBox".
inline std::string StyleLine(std::string_view style) {
  return std::string(kStyleKey) + "=" + std::string(style);
}

}  // namespace vistrune::schema
