#pragma once
// The console's frame-rate figure: frames counted between two readings of
// the UTC time of day, taken every two seconds. The date is not used, so a
// pair of readings across midnight gives a negative rate for one tick.

#include <cstdint>

namespace tovik {

struct RateReading {
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    double frames = 0.0;
};

// truncate((frames1 - frames0) / seconds); 0 when the two readings share
// their time of day.
[[nodiscard]] std::int32_t FrameRate(const RateReading& previous, const RateReading& current);

}  // namespace tovik
