// Reading the user's list of more video formats: what each piece of a value
// typed by hand becomes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/folder_paths.h"

namespace vistrune {
namespace {

TEST(VideoExtensionsTest, ListsWhatAValueTypedByHandSensiblyMeans) {
  struct Case {
    std::string text;
    std::vector<std::string> extensions;
  };
  const std::vector<Case> cases = {
      {"", {}},
      {".mp4 .MKV\t,webm,,  .Mp4 ", {"mkv", "mp4", "webm"}},
      {".AVI wmv .mpg .MPEG .ts", {"ts"}},
      {".tar.gz ..mp4 . mp4. .", {}},
      // Twenty characters, and one with more than ASCII, kept in its case.
      {".abcdefghijklmnopqrst .動画MP4", {"abcdefghijklmnopqrst", "動画MP4"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseVideoExtensions(c.text), c.extensions);
  }
}

}  // namespace
}  // namespace vistrune
