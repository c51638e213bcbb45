#pragma once
// Pointer injection with the contract of the classic mouse_event call: the
// same flag values, absolute coordinates in 0..65535 over the target area
// (the primary monitor unless set otherwise).

#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

#include "common/platform/ScreenInfo.h"

namespace common {

namespace MouseFlags {
inline constexpr std::uint32_t Move = 0x0001;
inline constexpr std::uint32_t LeftDown = 0x0002;
inline constexpr std::uint32_t LeftUp = 0x0004;
inline constexpr std::uint32_t RightDown = 0x0008;  // the uinput back end only, so far
inline constexpr std::uint32_t RightUp = 0x0010;
inline constexpr std::uint32_t Absolute = 0x8000;
}  // namespace MouseFlags

class InputInjector {
public:
    virtual ~InputInjector() = default;

    // Combined flags act as the move first, then the button. With Absolute,
    // dx and dy map to the target area as px = x + ((dx * W) >> 16),
    // py = y + ((dy * H) >> 16), clamped into the area like the system
    // cursor to its screen. Without Absolute a move is relative by (dx, dy)
    // pixels.
    virtual void send(std::uint32_t flags, std::int32_t dx, std::int32_t dy) = 0;

    // The rectangle absolute coordinates span, in device pixels of the
    // desktop: the target monitor. An empty rectangle restores the default.
    virtual void setTargetArea(ScreenRect area) = 0;
};

// Remembers every call; thread-safe, for tests and for the demo's report.
class RecordingInjector final : public InputInjector {
public:
    struct Event {
        std::uint32_t flags;
        std::int32_t dx;
        std::int32_t dy;
        std::chrono::steady_clock::time_point time;
    };

    void send(std::uint32_t flags, std::int32_t dx, std::int32_t dy) override {
        std::lock_guard lock(mutex_);
        events_.push_back({flags, dx, dy, std::chrono::steady_clock::now()});
    }
    void setTargetArea(ScreenRect area) override {
        std::lock_guard lock(mutex_);
        area_ = area;
    }
    [[nodiscard]] ScreenRect targetArea() const {
        std::lock_guard lock(mutex_);
        return area_;
    }
    [[nodiscard]] std::vector<Event> events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        events_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<Event> events_;
    ScreenRect area_;
};

}  // namespace common
