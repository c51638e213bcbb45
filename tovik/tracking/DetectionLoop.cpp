#include "tovik/tracking/DetectionLoop.h"

#include <algorithm>
#include <optional>

#include "common/platform/ThreadName.h"
#include "tovik/tracking/FrameSearch.h"

namespace tovik {

void DetectionStatus::showPosition(std::int32_t x, std::int32_t yFromBottom) {
    x_.store(x);
    y_.store(yFromBottom);
    hasPosition_.store(true);
}

void DetectionStatus::showButton(bool pressed) {
    button_.store(static_cast<int>(pressed ? Button::Down : Button::Up));
}

void DetectionStatus::countFrame(int spotCount) {
    spotCount_.store(spotCount);
    frames_.fetch_add(1);
}

DetectionStatus::Values DetectionStatus::read() const {
    Values v;
    v.frames = frames_.load();
    v.spotCount = spotCount_.load();
    v.hasPosition = hasPosition_.load();
    v.x = x_.load();
    v.yFromBottom = y_.load();
    v.button = static_cast<Button>(button_.load());
    return v;
}

bool FrameSlot::publish(const cv::Mat& frame) {
    std::unique_lock lock(mutex_, std::try_to_lock);
    if (!lock.owns_lock()) {
        return false;
    }
    frame.copyTo(frame_);
    sequence_.fetch_add(1);
    return true;
}

bool FrameSlot::takeIfNewer(cv::Mat& out, std::uint64_t& seen) {
    std::lock_guard lock(mutex_);
    const std::uint64_t now = sequence_.load();
    if (now == seen || frame_.empty()) {
        return false;
    }
    frame_.copyTo(out);
    seen = now;
    return true;
}

DetectionLoop::DetectionLoop(Services services, std::chrono::milliseconds grabTimeout)
    : s_(std::move(services)), grabTimeout_(grabTimeout) {}

DetectionLoop::~DetectionLoop() {
    stop();
}

void DetectionLoop::start() {
    if (thread_.joinable() || finished_.load()) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        if (s_.calibration) {
            pending_ = s_.calibration();
            pending_.background = pending_.background.clone();
            hasPending_ = true;
        }
    }
    thread_ = std::jthread([this](std::stop_token stop) {
        common::nameThisThread("tovik-detect");
        run(std::move(stop));
    });
}

bool DetectionLoop::pause(std::chrono::milliseconds maxWait) {
    if (!thread_.joinable()) {
        return false;
    }
    std::unique_lock lock(mutex_);
    pauseRequested_ = true;
    wake_.notify_all();
    return wake_.wait_for(lock, maxWait, [this] { return parked_ || finished_.load(); }) && parked_;
}

void DetectionLoop::resume() {
    std::lock_guard lock(mutex_);
    if (s_.calibration) {
        // Taken here, on the controlling thread, so the calibration is never
        // read while someone else may be replacing it.
        pending_ = s_.calibration();
        pending_.background = pending_.background.clone();
        hasPending_ = true;
    }
    pauseRequested_ = false;
    wake_.notify_all();
}

void DetectionLoop::stop() {
    if (!thread_.joinable()) {
        return;
    }
    thread_.request_stop();
    {
        std::lock_guard lock(mutex_);
        wake_.notify_all();
    }
    thread_.join();
}

bool DetectionLoop::parked() const {
    std::lock_guard lock(mutex_);
    return parked_;
}

bool DetectionLoop::safePoint(std::stop_token& stop, TrackingCalibration& calibration,
                              SpotDetector& detector) {
    std::unique_lock lock(mutex_);
    if (pauseRequested_ && !stop.stop_requested()) {
        parked_ = true;
        wake_.notify_all();
        wake_.wait(lock, stop, [this] { return !pauseRequested_; });
        parked_ = false;
    }
    if (stop.stop_requested()) {
        return false;
    }
    if (hasPending_) {
        calibration = std::move(pending_);
        pending_ = TrackingCalibration{};
        hasPending_ = false;
        detector.window = calibration.window;
    }
    return true;
}

void DetectionLoop::run(std::stop_token stop) {
    TrackingCalibration calibration;
    // The detector holds a 4000-entry pixel list: kept off the thread's stack.
    auto detector = std::make_unique<SpotDetector>();
    // Set from the first snapshot on, before any frame is mapped.
    std::optional<common::ScreenRect> target;
    PointerMapper mapper(s_.injector, s_.status, s_.clock, {}, s_.settings.DbClickThd.get());
    FrameSearchState searchState;
    cv::Mat frame;

    while (safePoint(stop, calibration, *detector)) {
        if (target != calibration.target) {
            target = calibration.target;
            s_.injector.setTargetArea(*target);
            mapper.setScreen(target->size());
        }
        if (!s_.frames || !s_.frames(frame, grabTimeout_) || frame.empty()) {
            // No frame: back to the safe point, without a busy spin when the
            // source fails at once.
            std::unique_lock lock(mutex_);
            wake_.wait_for(lock, stop, std::chrono::milliseconds(5),
                           [this] { return pauseRequested_; });
            continue;
        }

        if (trace_ != nullptr) {
            trace_->frameGrabbed();
        }
        const TrackingSettings& st = s_.settings;
        FrameSearchSettings search;
        search.f13Trig = st.F13Trig;
        search.autoTh = st.AutoTh;
        search.amp = st.Amp;
        search.autoThreshold = calibration.autoThreshold;
        search.area = st.Area;
        search.areaUp = st.AreaUp;
        search.subPixel = st.SubPixelSpot;
        const FrameSearchResult found =
            SearchFrame(*detector, s_.keys, frame, calibration.background, search, searchState);

        PointerMapper::FrameSettings pointer;
        pointer.move = st.Move;
        pointer.mouseLeft = st.MouseLeft;
        pointer.f13Trig = st.F13Trig;
        pointer.smoothing = st.PointerSmoothing;
        pointer.rightHold = st.RightHold;
        pointer.rightRadius = st.RightRadius;
        const cv::Point2f straight = calibration.lens.undistort({found.cx, found.cy});
        mapper.onFrame(found.spot, straight.x, straight.y, calibration.homography, pointer);
        if (found.spot) {
            MarkSpot(frame, found.cx, found.cy);
        }
        if (showPicture_.load()) {
            s_.display.publish(frame);
        }
        s_.status.countFrame(searchState.shownCount);
        if (trace_ != nullptr) {
            trace_->frameProcessed();
        }

        // Re-read every time, so the slider acts from the next sleep on.
        const int interval = std::clamp<int>(st.SamplingInterval, 0, 1000);
        s_.clock.sleepFor(std::chrono::milliseconds(interval));
    }
    {
        std::lock_guard lock(mutex_);
        finished_.store(true);
        wake_.notify_all();
    }
}

}  // namespace tovik
