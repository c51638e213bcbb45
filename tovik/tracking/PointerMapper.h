#pragma once
// Turns the per-frame spot stream into pointer moves, presses and releases,
// snapping quick taps and double taps to the point of the first press. No
// thread and no widget inside: one call per frame.

#include <cstdint>

#include <opencv2/core.hpp>

#include "common/platform/Clock.h"
#include "common/platform/InputInjector.h"
#include "common/platform/ScreenInfo.h"
#include "tovik/tracking/OneEuroFilter.h"

namespace tovik {

// Receives the status values shown in the console: screen x (control 1030),
// y counted from the bottom edge (1031) and the button text (1026).
class TrackingStatusSink {
public:
    virtual ~TrackingStatusSink() = default;
    virtual void showPosition(std::int32_t x, std::int32_t yFromBottom) = 0;
    virtual void showButton(bool pressed) = 0;
};

class PointerMapper {
public:
    // The double-click radius is taken once, here, as the detection thread
    // does when it starts; the screen size changes only through setScreen().
    PointerMapper(common::InputInjector& injector, TrackingStatusSink& status,
                  const common::Clock& clock, common::ScreenSize screen, std::int32_t dbClickThd);

    struct FrameSettings {
        std::int32_t move = 5;       // Move: dead band in screen pixels
        std::int32_t mouseLeft = 1;  // MouseLeft: emulate the button
        std::int32_t f13Trig = 1;    // F13Trig: selects the snapped-press form
        std::int32_t smoothing = 0;  // PointerSmoothing: One-Euro filter on the position
        // RightHold: a press held this many milliseconds within rightRadius
        // pixels of where it began becomes a right click; 0 = off.
        std::int32_t rightHold = 0;
        std::int32_t rightRadius = 8;  // RightRadius
    };

    // Another target monitor (after a pause): later frames scale to its size.
    void setScreen(common::ScreenSize screen) { screen_ = screen; }

    // One frame: whether it holds a spot and, when it does, the centroid in
    // camera pixels.
    void onFrame(bool spot, float cx, float cy, const cv::Matx33f& homography,
                 const FrameSettings& settings);

    // Absolute mouse coordinate of a screen point: truncate(p / size * 65535),
    // saturated to the 32-bit range.
    [[nodiscard]] static std::int32_t scaleToAbsolute(double p, int size);

    // State, readable for tests and the console.
    [[nodiscard]] bool penDown() const { return penDown_; }
    [[nodiscard]] int clickPending() const { return clickPending_; }
    [[nodiscard]] bool tapSnapped() const { return tapSnapped_; }
    [[nodiscard]] cv::Point2d lastMovePos() const { return lastMovePos_; }
    [[nodiscard]] cv::Point2d mappedPoint() const { return mapped_; }
    // A right click was sent for the current touch; the rest of it is ignored.
    [[nodiscard]] bool rightClicked() const { return rightClicked_; }

private:
    common::InputInjector& injector_;
    TrackingStatusSink& status_;
    const common::Clock& clock_;
    common::ScreenSize screen_;
    std::int32_t dbClickThd_;

    cv::Point2d mapped_{0, 0};
    cv::Point2d lastMovePos_{0, 0};
    bool penDown_ = false;
    int clickPending_ = 0;
    bool tapSnapped_ = false;
    common::Clock::time_point firstPressTime_{};
    cv::Point2d firstPressPos_{0, 0};
    OneEuroFilter smoother_;

    // Holding still for a right click: where and when this touch's press was.
    void holdForRightClick(const cv::Point2d& p, const FrameSettings& settings);
    bool holdArmed_ = false;
    bool rightClicked_ = false;
    common::Clock::time_point holdStart_{};
    cv::Point2d holdPos_{0, 0};
};

}  // namespace tovik
