#include "widgets/search_text.h"

#include <QChar>
#include <QList>
#include <QStringList>
#include <atomic>
#include <cstdint>

namespace vistrune {

namespace {

// The hiragana that have a katakana at the same place of the katakana block.
constexpr char16_t kFirstHiragana = 0x3041;  // ぁ
constexpr char16_t kLastHiragana = 0x3096;   // ゖ
constexpr char16_t kKatakanaDistance = 0x30A1 - 0x3041;

#ifndef _WIN32
// Whether the fold leaves the character of the Basic Multilingual Plane
// beyond ASCII as it is wherever it stands, as it does most kanji and kana:
// it folds to itself, has no decomposition but a canonical one (which the
// fold composes again: ガ, 가), and neither it nor the first part of its
// decomposition combines with anything before it (combining class 0, no
// second part of a canonical decomposition). A text of such characters and
// ASCII then folds to itself with its ASCII capitals made small. Found from
// Qt's Unicode data, each character the first time it is asked for.
bool FoldLeavesAsItIs(char32_t c) {
  static const std::vector<bool> second = [] {
    std::vector<bool> parts(0x10000);
    for (char32_t u = 0; u <= QChar::LastValidCodePoint; ++u) {
      if (QChar::decompositionTag(u) != QChar::Canonical) continue;
      const QList<uint> decomposed = QChar::decomposition(u).toUcs4();
      for (qsizetype i = 1; i < decomposed.size(); ++i)
        if (decomposed[i] < 0x10000) parts[decomposed[i]] = true;
    }
    return parts;
  }();
  // Per character: 0 not asked yet, 1 left as it is, 2 changed. Threads
  // that ask at once find the same.
  static std::atomic<uint8_t> known[0x10000];
  const uint8_t state = known[c].load(std::memory_order_relaxed);
  if (state != 0) return state == 1;
  char32_t first = c;
  while (first < 0x10000 && QChar::decompositionTag(first) == QChar::Canonical)
    first = QChar::decomposition(first).toUcs4().front();
  const auto tag = QChar::decompositionTag(c);
  bool left = !QChar::isSurrogate(c) && first < 0x10000 && !second[c] && !second[first] &&
              QChar::combiningClass(c) == 0 && QChar::combiningClass(first) == 0 &&
              (tag == QChar::NoDecomposition || tag == QChar::Canonical);
  if (left) {
    const QString one(QChar(static_cast<char16_t>(c)));
    left = FoldForSearch(one) == one;
  }
  known[c].store(left ? 1 : 2, std::memory_order_relaxed);
  return left;
}

// Whether the fold leaves the UTF-8 text as it is but for its ASCII
// capitals: each character is ASCII or one FoldLeavesAsItIs. A byte
// sequence that is not UTF-8 says no.
bool FoldsAsAscii(std::string_view text) {
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
    if (c < 0x80 || (length == 3 && c < 0x800) || !FoldLeavesAsItIs(c)) return false;
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
