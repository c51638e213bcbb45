#pragma once
// A developer's record of what tracking did, for end-to-end checks and
// measurements: each processed frame with its capture time and the time spent
// on it, each injected pointer event with the frame that caused it, and each
// completed calibration with its homography. Off unless TOVIK_EVENT_LOG names
// a file. One line per record, flushed at once, so a reader can follow the
// file while the program runs and nothing is lost when it is killed:
//   frame NUMBER CAPTURE_US PROCESS_US
//   event SEND_US FLAGS DX DY FRAME CAPTURE_US
//   calibration KIND H00 H01 H02 H10 H11 H12 H20 H21 H22
// Times are steady-clock (CLOCK_MONOTONIC) microseconds, comparable across
// processes. The homography maps camera pixels to screen pixels.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include <opencv2/core.hpp>

#include "common/platform/InputInjector.h"

namespace tovik {

// Which camera frame is being processed: the device's own number and capture
// time when it tells them (the simulator does), else a count and the grab time.
struct FrameStamp {
    std::uint64_t number = 0;
    std::chrono::steady_clock::time_point captured;
};

class TrackingTrace {
public:
    static constexpr const char* kVariable = "TOVIK_EVENT_LOG";
    using FrameQuery = std::function<std::optional<FrameStamp>()>;

    // Null when the variable is unset or empty, or (with a message on stderr)
    // when the file cannot be created.
    [[nodiscard]] static std::unique_ptr<TrackingTrace> fromEnvironment();
    // An existing file is replaced; null with `error` set when it cannot be.
    [[nodiscard]] static std::unique_ptr<TrackingTrace> open(const std::string& path,
                                                             std::string& error);
    ~TrackingTrace();
    TrackingTrace(const TrackingTrace&) = delete;
    TrackingTrace& operator=(const TrackingTrace&) = delete;

    // Asks the camera which frame the last grab returned; set before tracking
    // starts.
    void setFrameQuery(FrameQuery query);

    // The detection thread got a frame: later events belong to it.
    void frameGrabbed();
    // The detection thread finished with that frame.
    void frameProcessed();
    void pointerEvent(std::uint32_t flags, std::int32_t dx, std::int32_t dy);
    // `kind` is "auto" or "manual".
    void calibrationCompleted(std::string_view kind, const cv::Matx33f& homography);

private:
    explicit TrackingTrace(std::FILE* file) : file_(file) {}
    void writeLine(const char* text);

    std::mutex mutex_;
    std::FILE* file_;
    FrameQuery query_;
    std::optional<FrameStamp> current_;
    std::chrono::steady_clock::time_point grabbedAt_;
    std::uint64_t grabs_ = 0;
};

// Passes every event on, then records it with the frame that caused it.
class TracingInjector final : public common::InputInjector {
public:
    TracingInjector(common::InputInjector& inner, TrackingTrace& trace)
        : inner_(inner), trace_(trace) {}
    void send(std::uint32_t flags, std::int32_t dx, std::int32_t dy) override {
        inner_.send(flags, dx, dy);
        trace_.pointerEvent(flags, dx, dy);
    }
    void setTargetArea(common::ScreenRect area) override { inner_.setTargetArea(area); }

private:
    common::InputInjector& inner_;
    TrackingTrace& trace_;
};

}  // namespace tovik
