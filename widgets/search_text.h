// How the find window compares texts: letter case, full and half width and
// hiragana against katakana make no difference. The folding is the
// platform's Unicode data (compatibility composition, then case folding);
// only hiragana is turned into katakana here, by the fixed distance between
// the two Unicode blocks.
#pragma once

#include <QString>
#include <string>
#include <string_view>
#include <vector>

namespace vistrune {

// text folded: ＡＢＣ and abc, ｸﾘｯﾌﾟ and クリップ, あにめ and アニメ give the same.
QString FoldForSearch(const QString& text);

// A narrow text (as the file system gives names) folded, in UTF-8: the
// SearchFold of the video index ("" where that is the text itself with its
// ASCII capitals made small).
std::string SearchKey(std::string_view narrow);

// The words of a query, folded, in UTF-8: the query split at its spaces,
// half or full width. None for a query of spaces alone.
std::vector<std::string> SearchWords(const QString& query);

}  // namespace vistrune
