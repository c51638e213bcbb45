#pragma once
// The simulated light pen: a position in screen pixels, lit or dark, and a
// button that stands for the F13 key. Thread-safe: the control channel steers
// it while the frame producer reads it.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>

#include <opencv2/core.hpp>

namespace sim {

class LightPen {
public:
    using Clock = std::chrono::steady_clock;

    struct State {
        cv::Point2d position;
        bool lit = false;
        bool button = false;
    };

    // Moving stops a glide in progress.
    void moveTo(cv::Point2d position);
    void setLit(bool lit);
    void setButton(bool down);
    void set(cv::Point2d position, bool lit);
    // Glides in a straight line from `from` to `to`, starting now; each frame
    // sees the position of its own capture time.
    void glide(cv::Point2d from, cv::Point2d to, std::chrono::milliseconds duration);

    // The state at time `t` of the pen's clock.
    [[nodiscard]] State stateAt(Clock::time_point t) const;
    [[nodiscard]] State state() const;
    // The state a frame captured at `captured` sees. The pen keeps the
    // camera's time: when a frame comes more than half a period late (a
    // camera stalled by a busy machine), the pen's clock stands still for the
    // delay, so a glide goes on from where the last frame saw it instead of
    // jumping across the stall, as a real camera would never have missed it.
    [[nodiscard]] State sample(Clock::time_point captured, Clock::duration period);
    // Whether a frame has seen the pen at the end of its glide (or no glide).
    [[nodiscard]] bool glideSeen() const;
    struct Button {
        bool down = false;
        // Counts presses, so a key-state reader can tell a press that came
        // and went between two of its queries.
        std::uint64_t presses = 0;
    };
    [[nodiscard]] Button button() const;

private:
    struct Glide {
        cv::Point2d from, to;
        Clock::time_point start;
        Clock::duration duration;
    };

    [[nodiscard]] State stateLocked(Clock::time_point t) const;

    mutable std::mutex mutex_;
    cv::Point2d position_{0, 0};
    std::optional<Glide> glide_;
    // How far the pen's clock is behind the steady clock: the sum of the
    // camera's stalls. Frames and glides alike are timed on the pen's clock.
    Clock::duration lag_{0};
    std::optional<Clock::time_point> lastSample_;
    bool lit_ = false;
    bool button_ = false;
    std::uint64_t presses_ = 0;
};

}  // namespace sim
