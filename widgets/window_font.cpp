#include "widgets/window_font.h"

#include <QStringList>

namespace vistrune {

QFont WindowFont(int pixelHeight) {
  QFont font;
  font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                    QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans JP")});
  font.setPixelSize(pixelHeight);
  return font;
}

void ApplyWindowFont(QWidget* widget) {
  widget->setFont(WindowFont());
}

}  // namespace vistrune
