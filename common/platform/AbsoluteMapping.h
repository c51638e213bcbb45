#pragma once
// The mapping of absolute pointer coordinates (0..65535 over the primary
// screen) to pixels, shared by the X11 injector and its tests.

#include <cstdint>

#include "common/platform/ScreenInfo.h"

namespace common {

struct PixelPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const PixelPoint&, const PixelPoint&) = default;
};

// px = (dx * W) >> 16, py = (dy * H) >> 16 in 64-bit arithmetic, then clamped
// to the screen as the system cursor would be.
[[nodiscard]] PixelPoint absoluteToPixel(std::int32_t dx, std::int32_t dy, ScreenSize screen);

}  // namespace common
