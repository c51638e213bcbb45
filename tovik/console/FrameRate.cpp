#include "tovik/console/FrameRate.h"

#include <cmath>
#include <limits>

namespace tovik {

std::int32_t FrameRate(const RateReading& p, const RateReading& c) {
    const double seconds = (c.hour - p.hour) * 3600.0 + (c.minute - p.minute) * 60.0 +
                           (c.second - p.second) + (c.millisecond - p.millisecond) * 0.001;
    if (seconds == 0.0) {
        return 0;
    }
    const double rate = std::trunc((c.frames - p.frames) / seconds);
    if (!std::isfinite(rate)) {
        return 0;
    }
    constexpr double lo = std::numeric_limits<std::int32_t>::min();
    constexpr double hi = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(rate < lo ? lo : (rate > hi ? hi : rate));
}

}  // namespace tovik
