#pragma once
// The detection thread: grab, search, drive the pointer, publish, sleep. It
// never touches a widget and never waits on the UI thread; status values go
// out through atomics and the latest frame through a slot the UI polls.
// Pausing parks the thread at a safe point between frames.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include <opencv2/core.hpp>

#include "common/platform/Clock.h"
#include "common/platform/InputInjector.h"
#include "common/platform/KeyState.h"
#include "common/platform/ScreenInfo.h"
#include "tovik/tracking/LensModel.h"
#include "tovik/tracking/PointerMapper.h"
#include "tovik/tracking/SpotDetector.h"
#include "tovik/tracking/TrackingSettings.h"
#include "tovik/tracking/TrackingTrace.h"

namespace tovik {

// What a calibration leaves for tracking, copied whole when the thread
// starts and each time it resumes.
struct TrackingCalibration {
    cv::Matx33f homography = cv::Matx33f::eye();
    cv::Mat background;  // 8-bit BGR, the camera frame size
    std::int32_t autoThreshold = 0;
    DetectionWindow window;
    LensModel lens;  // applied to the spot before the homography when valid
    // The monitor the homography maps onto, in device pixels: the mapper
    // scales to its size and the injector spans it. It travels with the
    // calibration, so a monitor chosen while paused takes effect on resume.
    common::ScreenRect target;
};

// Status values the thread publishes and the UI shows from a timer.
class DetectionStatus final : public TrackingStatusSink {
public:
    enum class Button { Unknown, Down, Up };
    struct Values {
        std::uint64_t frames = 0;  // frames processed since the thread started
        int spotCount = 0;         // count of the last searched frame
        bool hasPosition = false;  // a spot frame has been mapped
        std::int32_t x = 0;
        std::int32_t yFromBottom = 0;
        Button button = Button::Unknown;
    };

    void showPosition(std::int32_t x, std::int32_t yFromBottom) override;
    void showButton(bool pressed) override;
    void countFrame(int spotCount);
    [[nodiscard]] Values read() const;

private:
    std::atomic<std::uint64_t> frames_{0};
    std::atomic<int> spotCount_{0};
    std::atomic<bool> hasPosition_{false};
    std::atomic<std::int32_t> x_{0};
    std::atomic<std::int32_t> y_{0};
    std::atomic<int> button_{0};
};

// The latest processed frame for display. The thread never waits for it: a
// frame offered while the reader holds the slot is dropped.
class FrameSlot {
public:
    // Copies the frame in; false when the slot was busy.
    bool publish(const cv::Mat& frame);
    // Copies the newest frame out when it is newer than `seen`.
    bool takeIfNewer(cv::Mat& out, std::uint64_t& seen);
    [[nodiscard]] std::uint64_t published() const { return sequence_.load(); }

private:
    std::mutex mutex_;
    cv::Mat frame_;
    std::atomic<std::uint64_t> sequence_{0};
};

// Copies the newest camera frame into `frame`, waiting at most `timeout`;
// false when none came.
using FrameSource = std::function<bool(cv::Mat& frame, std::chrono::milliseconds timeout)>;
// Called on the controlling thread (start, resume) while the loop is parked.
using CalibrationProvider = std::function<TrackingCalibration()>;

class DetectionLoop {
public:
    struct Services {
        FrameSource frames;
        TrackingSettings& settings;
        CalibrationProvider calibration;
        common::KeyState& keys;
        common::InputInjector& injector;
        common::Clock& clock;  // pointer timing and the sleep between frames
        DetectionStatus& status;
        FrameSlot& display;
    };

    // `grabTimeout` bounds each wait for a frame, so pause and stop are seen
    // promptly even when the camera delivers nothing.
    explicit DetectionLoop(Services services,
                           std::chrono::milliseconds grabTimeout = std::chrono::milliseconds(100));
    ~DetectionLoop();
    DetectionLoop(const DetectionLoop&) = delete;
    DetectionLoop& operator=(const DetectionLoop&) = delete;

    // Takes a calibration snapshot and starts the thread; once per object.
    void start();
    // Asks the thread to park at its next safe point and waits at most
    // `maxWait` for it; true when it is parked.
    bool pause(std::chrono::milliseconds maxWait = std::chrono::milliseconds(2000));
    // Takes a fresh calibration snapshot and lets the thread go on.
    void resume();
    // Stops the thread at its safe point and joins it; idempotent.
    void stop();

    void setShowPicture(bool show) { showPicture_.store(show); }
    // Records each frame and its processing time (see TrackingTrace); set
    // before start(). Null: nothing is recorded.
    void setTrace(TrackingTrace* trace) { trace_ = trace; }
    [[nodiscard]] bool showPicture() const { return showPicture_.load(); }
    [[nodiscard]] bool started() const { return thread_.joinable(); }
    [[nodiscard]] bool parked() const;
    [[nodiscard]] bool finished() const { return finished_.load(); }

private:
    void run(std::stop_token stop);
    // Parks while a pause is requested; applies a pending snapshot. False when
    // the thread must end.
    bool safePoint(std::stop_token& stop, TrackingCalibration& calibration, SpotDetector& detector);

    Services s_;
    std::chrono::milliseconds grabTimeout_;
    TrackingTrace* trace_ = nullptr;
    std::atomic<bool> showPicture_{false};
    std::atomic<bool> finished_{false};

    mutable std::mutex mutex_;
    std::condition_variable_any wake_;
    bool pauseRequested_ = false;
    bool parked_ = false;
    bool hasPending_ = false;
    TrackingCalibration pending_;

    std::jthread thread_;
};

}  // namespace tovik
