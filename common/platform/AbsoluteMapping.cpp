#include "common/platform/AbsoluteMapping.h"

#include <algorithm>

namespace common {

namespace {

int mapAxis(std::int32_t d, int extent) {
    if (extent <= 0) {
        return 0;
    }
    // Arithmetic shift: a negative coordinate floors and then clamps to 0.
    const std::int64_t p = (static_cast<std::int64_t>(d) * extent) >> 16;
    return static_cast<int>(std::clamp<std::int64_t>(p, 0, extent - 1));
}

}  // namespace

PixelPoint absoluteToPixel(std::int32_t dx, std::int32_t dy, ScreenRect area) {
    return {area.x + mapAxis(dx, area.width), area.y + mapAxis(dy, area.height)};
}

}  // namespace common
