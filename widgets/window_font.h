// The font every window uses: MS P Gothic at 12 pixels (9 points at 96 dpi)
// where the system has it, otherwise an installed Japanese proportional gothic.
#pragma once

#include <QFont>
#include <QWidget>

namespace vistrune {

QFont WindowFont(int pixelHeight = 12);

// Gives widget and its children the window font. Qt keeps what a child set
// for itself in its window description (a larger size, say) and takes the
// rest from the window.
void ApplyWindowFont(QWidget* widget);

}  // namespace vistrune
