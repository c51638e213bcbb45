#pragma once
// The mapping of absolute pointer coordinates (0..65535 over the target
// area) to desktop pixels, shared by the injectors.

#include <cstdint>

#include "common/platform/ScreenInfo.h"

namespace common {

struct PixelPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const PixelPoint&, const PixelPoint&) = default;
};

// px = x + ((dx * W) >> 16), py = y + ((dy * H) >> 16) in 64-bit arithmetic,
// then clamped into the area as the system cursor would be to its screen.
[[nodiscard]] PixelPoint absoluteToPixel(std::int32_t dx, std::int32_t dy, ScreenRect area);

}  // namespace common
