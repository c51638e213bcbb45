#pragma once
// Conversions between stored colour references (0x00BBGGRR) and QColor.

#include <QColor>

#include "kalvo/core/ColorRef.h"

namespace kalvo {

[[nodiscard]] inline QColor toQColor(COLORREF color) {
    return QColor(colorRed(color), colorGreen(color), colorBlue(color));
}

// The alpha channel is dropped: a colour reference has none.
[[nodiscard]] inline COLORREF fromQColor(const QColor& color) {
    const QColor rgb = color.toRgb();
    return makeColorRef(rgb.red(), rgb.green(), rgb.blue());
}

}  // namespace kalvo
