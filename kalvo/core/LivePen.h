#pragma once
// The live line's pen: the stored style number (0 solid, 1 dash, 2 dot,
// 3 dash-dot, 4 dash-dot-dot, 5 none, 6 inside-frame) as a Qt pen style.

#include <Qt>

#include <cstdint>

namespace kalvo {

// Numbers outside the table draw solid, as an inside-frame line does.
[[nodiscard]] constexpr Qt::PenStyle qtPenStyleFromGdi(std::int32_t style) {
    switch (style) {
        case 1:
            return Qt::DashLine;
        case 2:
            return Qt::DotLine;
        case 3:
            return Qt::DashDotLine;
        case 4:
            return Qt::DashDotDotLine;
        case 5:
            return Qt::NoPen;
        default:
            return Qt::SolidLine;
    }
}

}  // namespace kalvo
