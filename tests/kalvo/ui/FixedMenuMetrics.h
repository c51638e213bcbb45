#pragma once
// Menu metrics with a fixed font, so that sizes do not follow the desktop's.

#include "kalvo/ui/CMenuXP.h"

namespace kalvo::test {

inline MenuXPMetrics fixedMetrics() {
    MenuXPMetrics m;
    m.menuFont = QFont(QStringLiteral("DejaVu Sans"));
    m.menuFont.setPixelSize(12);
    return m;
}

}  // namespace kalvo::test
