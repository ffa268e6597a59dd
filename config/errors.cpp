#include "config/errors.h"

#include "platform/encoding.h"

namespace vistrune {

namespace {

// The message texts are UTF-8 here; InOutErrorMessage gives them in the
// narrow encoding.
std::string InOutErrorText(int code) {
  switch (code) {
    case 2:
      return "ファイルが見つかりません";
    case 3:
      return "不正なファイル名です";
    case 4:
      return "オープンしたファイルが多すぎます";
    case 5:
      return "ファイルへのアクセスが拒否されました";
    case 100:
      return "ファイルの末尾以降を読み込みました";
    case 101:
      return "ディスクがいっぱいです";
    case 106:
      return "入力値が数値ではありません";
    default:
      return "I/O エラー (" + std::to_string(code) + ")";
  }
}

}  // namespace

EStringListError::EStringListError(int index)
    : Exception(platform::Utf8ToNarrow("リストのインデックスが範囲を超えています (" +
                                       std::to_string(index) + ")")),
      index_(index) {}

EInOutError::EInOutError(int code) : Exception(InOutErrorMessage(code)), code_(code) {}

std::string InOutErrorMessage(int code) {
  return platform::Utf8ToNarrow(InOutErrorText(code));
}

}  // namespace vistrune
