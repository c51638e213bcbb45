#pragma once
// The live line's pen: the stored style number (0 solid, 1 dash, 2 dot,
// 3 dash-dot, 4 dash-dot-dot, 5 none, 6 inside-frame) as a Qt pen style.
// Dashes and dots exist only for lines one pixel wide (width 0 or 1); a wider
// pen of those styles draws solid, as pens made from a style number do.

#include <Qt>

#include <cstdint>

namespace kalvo {

// Numbers outside the table draw solid, as an inside-frame line does.
[[nodiscard]] constexpr Qt::PenStyle qtPenStyleFromGdi(std::int32_t style, std::int32_t width) {
    if (width > 1 && style >= 1 && style <= 4) {
        return Qt::SolidLine;
    }
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
