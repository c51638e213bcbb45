#include "tovik/tracking/PointerMapper.h"

#include <chrono>
#include <cmath>
#include <limits>

#include "tovik/tracking/HomographyMap.h"

namespace tovik {
namespace {

using common::MouseFlags::Absolute;
using common::MouseFlags::LeftDown;
using common::MouseFlags::LeftUp;
using common::MouseFlags::Move;

// Truncation toward zero, saturated to the 32-bit range; NaN gives 0.
std::int32_t truncSaturate(double v) {
    if (std::isnan(v)) {
        return 0;
    }
    constexpr double lo = std::numeric_limits<std::int32_t>::min();
    constexpr double hi = std::numeric_limits<std::int32_t>::max();
    if (v <= lo) {
        return std::numeric_limits<std::int32_t>::min();
    }
    if (v >= hi) {
        return std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(v);
}

double distance(const cv::Point2d& a, const cv::Point2d& b) {
    const double dx = a.x - b.x;
    const double dy = a.y - b.y;
    return std::sqrt(dx * dx + dy * dy);
}

}  // namespace

PointerMapper::PointerMapper(common::InputInjector& injector, TrackingStatusSink& status,
                             const common::Clock& clock, common::ScreenSize screen,
                             std::int32_t dbClickThd)
    : injector_(injector),
      status_(status),
      clock_(clock),
      screen_(screen),
      dbClickThd_(dbClickThd) {}

std::int32_t PointerMapper::scaleToAbsolute(double p, int size) {
    if (size == 0) {
        // What a division by zero would give, without performing one.
        return p > 0 ? std::numeric_limits<std::int32_t>::max()
                     : (p < 0 ? std::numeric_limits<std::int32_t>::min() : 0);
    }
    return truncSaturate(p / size * 65535.0);
}

void PointerMapper::onFrame(bool spot, float cx, float cy, const cv::Matx33f& homography,
                            const FrameSettings& settings) {
    const auto elapsedMs = [this] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(clock_.now() - firstPressTime_)
            .count();
    };
    const auto sendAt = [this](std::uint32_t flags, const cv::Point2d& p) {
        injector_.send(flags, scaleToAbsolute(p.x, screen_.width),
                       scaleToAbsolute(p.y, screen_.height));
    };

    if (spot) {
        const cv::Vec3f out = ApplyHomography(homography, cx, cy);
        // A point sent to infinity, or a matrix holding NaN, gives no usable
        // position: the frame is ignored rather than sending undefined values.
        if (out[2] == 0.0f) {
            return;
        }
        cv::Point2d p(static_cast<double>(out[0]) / out[2], static_cast<double>(out[1]) / out[2]);
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
            return;
        }
        if (settings.smoothing != 0) {
            // Each touch starts afresh: its press lands where the pen landed.
            if (!penDown_) {
                smoother_.reset();
            }
            p = smoother_.filter(p, clock_.now());
        }
        mapped_ = p;
        status_.showPosition(truncSaturate(p.x), truncSaturate(screen_.height - p.y));

        if (distance(p, lastMovePos_) > settings.move) {
            sendAt(Absolute | Move, p);
            lastMovePos_ = p;
        }

        if (!penDown_) {
            if (settings.mouseLeft != 0) {
                if (clickPending_ == 0) {
                    injector_.send(Move | LeftDown, 0, 0);
                    firstPressTime_ = clock_.now();
                    firstPressPos_ = p;
                    clickPending_ = 1;
                } else {
                    if (elapsedMs() < 200 && distance(p, firstPressPos_) < dbClickThd_) {
                        if (settings.f13Trig != 0) {
                            sendAt(Absolute | Move | LeftDown, firstPressPos_);
                        } else {
                            sendAt(Absolute | Move, firstPressPos_);
                            injector_.send(LeftDown, 0, 0);
                        }
                    } else {
                        injector_.send(Move | LeftDown, 0, 0);
                    }
                    clickPending_ = 0;
                }
            }
            penDown_ = true;
            status_.showButton(true);
        }
        return;
    }

    if (!penDown_) {
        return;
    }
    if (settings.mouseLeft != 0) {
        const long long limit = tapSnapped_ ? 300 : 100;
        if (clickPending_ == 1 && elapsedMs() < limit &&
            distance(mapped_, firstPressPos_) < dbClickThd_) {
            sendAt(Absolute | Move | LeftUp, firstPressPos_);
            tapSnapped_ = !tapSnapped_;
        } else {
            injector_.send(Move | LeftUp, 0, 0);
            clickPending_ = 0;
            tapSnapped_ = false;
        }
    }
    penDown_ = false;
    status_.showButton(false);
}

}  // namespace tovik
