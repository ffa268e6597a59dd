#include "widgets/search_text.h"

#include <QChar>
#include <QList>
#include <QStringList>

namespace vistrune {

namespace {

// The hiragana that have a katakana at the same place of the katakana block.
constexpr char16_t kFirstHiragana = 0x3041;  // ぁ
constexpr char16_t kLastHiragana = 0x3096;   // ゖ
constexpr char16_t kKatakanaDistance = 0x30A1 - 0x3041;

// The characters of the Basic Multilingual Plane beyond ASCII that the fold
// leaves as they are wherever they stand, most kanji and katakana among
// them: each folds to itself, has no decomposition, combines with nothing
// before it (its combining class is 0 and it is no second part of a
// canonical decomposition), so that a text of them and of ASCII folds to
// itself with its ASCII capitals made small. Found from Qt's Unicode data
// once, on first use (some tens of milliseconds).
const std::vector<bool>& UnchangedCharacters() {
  static const std::vector<bool> unchanged = [] {
    std::vector<bool> second(0x10000), table(0x10000);
    for (char32_t c = 0; c <= QChar::LastValidCodePoint; ++c) {
      if (QChar::decompositionTag(c) != QChar::Canonical) continue;
      const QList<uint> parts = QChar::decomposition(c).toUcs4();
      for (qsizetype i = 1; i < parts.size(); ++i)
        if (parts[i] < 0x10000) second[parts[i]] = true;
    }
    for (char32_t c = 0x80; c < 0x10000; ++c) {
      if (QChar::isSurrogate(c) || second[c] || QChar::combiningClass(c) != 0 ||
          QChar::decompositionTag(c) != QChar::NoDecomposition)
        continue;
      const QString one(QChar(static_cast<char16_t>(c)));
      table[c] = FoldForSearch(one) == one;
    }
    return table;
  }();
  return unchanged;
}

#ifndef _WIN32
// Whether the fold leaves the UTF-8 text as it is but for its ASCII
// capitals: each character is ASCII or one of UnchangedCharacters. A byte
// sequence that is not UTF-8 says no.
bool FoldsAsAscii(std::string_view text) {
  const std::vector<bool>& unchanged = UnchangedCharacters();
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      ++i;
      continue;
    }
    // Two or three bytes: the BMP. Four bytes, or a broken sequence, are
    // left to the fold.
    const size_t length = lead >= 0xE0 ? 3 : 2;
    if (lead < 0xC2 || lead >= 0xF0 || i + length > text.size()) return false;
    char32_t c = lead & (length == 2 ? 0x1F : 0x0F);
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      c = (c << 6) | (next & 0x3F);
    }
    if (c < 0x80 || (length == 3 && c < 0x800) || !unchanged[c]) return false;
    i += length;
  }
  return true;
}
#endif

}  // namespace

QString FoldForSearch(const QString& text) {
  QString folded = text.normalized(QString::NormalizationForm_KC).toCaseFolded();
  for (QChar& c : folded) {
    if (c.unicode() >= kFirstHiragana && c.unicode() <= kLastHiragana &&
        c.script() == QChar::Script_Hiragana)
      c = QChar(static_cast<char16_t>(c.unicode() + kKatakanaDistance));
  }
  return folded;
}

std::string SearchKey(std::string_view narrow) {
#ifndef _WIN32
  // Names are UTF-8 here, as the fold's result is: most fold to themselves
  // but for their ASCII capitals, which the fold need not be asked.
  if (FoldsAsAscii(narrow)) return {};
#endif
  const QByteArray utf8 =
      FoldForSearch(QString::fromLocal8Bit(narrow.data(), static_cast<qsizetype>(narrow.size())))
          .toUtf8();
  return std::string(utf8.constData(), static_cast<size_t>(utf8.size()));
}

std::vector<std::string> SearchWords(const QString& query) {
  // The compatibility composition makes the full-width space a plain one.
  std::vector<std::string> words;
  for (const QString& word : FoldForSearch(query).split(u' ', Qt::SkipEmptyParts)) {
    const QByteArray utf8 = word.toUtf8();
    words.emplace_back(utf8.constData(), static_cast<size_t>(utf8.size()));
  }
  return words;
}

}  // namespace vistrune
