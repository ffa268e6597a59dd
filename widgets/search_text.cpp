#include "widgets/search_text.h"

#include <QChar>
#include <QStringList>

namespace vistrune {

namespace {

// The hiragana that have a katakana at the same place of the katakana block.
constexpr char16_t kFirstHiragana = 0x3041;  // ぁ
constexpr char16_t kLastHiragana = 0x3096;   // ゖ
constexpr char16_t kKatakanaDistance = 0x30A1 - 0x3041;

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
