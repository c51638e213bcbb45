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

    [[nodiscard]] State stateAt(Clock::time_point t) const;
    [[nodiscard]] State state() const { return stateAt(Clock::now()); }
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

    mutable std::mutex mutex_;
    cv::Point2d position_{0, 0};
    std::optional<Glide> glide_;
    bool lit_ = false;
    bool button_ = false;
    std::uint64_t presses_ = 0;
};

}  // namespace sim
