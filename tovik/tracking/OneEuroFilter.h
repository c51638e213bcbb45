#pragma once
// Smooths the pointer while the pen is held still and follows it closely when
// it moves: a low-pass filter whose cut-off rises with the speed (the
// "One Euro" filter). Positions in screen pixels.

#include <optional>

#include <opencv2/core.hpp>

#include "common/platform/Clock.h"

namespace tovik {

class OneEuroFilter {
public:
    struct Params {
        // Tuned on the simulated webcam at 30 frames per second: at rest the
        // cut-off stays near 2 Hz; a stroke of 350 px/s lifts it above 100 Hz
        // within two frames, so the pointer trails by about half a pixel.
        double minCutoff = 1.0;    // Hz, at rest: lower is smoother
        double beta = 0.3;         // cut-off gained per pixel per second of speed
        double speedCutoff = 5.0;  // Hz, for the speed estimate itself
    };
    OneEuroFilter() = default;
    explicit OneEuroFilter(Params params) : p_(params) {}

    // The next position, seen at `t`; the first after a reset passes as is.
    [[nodiscard]] cv::Point2d filter(cv::Point2d position, common::Clock::time_point t);
    void reset() { last_.reset(); }

private:
    struct State {
        cv::Point2d position;
        cv::Point2d speed;
        common::Clock::time_point t;
    };
    Params p_;
    std::optional<State> last_;
};

}  // namespace tovik
