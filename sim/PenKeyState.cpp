#include "sim/PenKeyState.h"

namespace sim {

PenKeyState::PenKeyState(std::shared_ptr<const LightPen> pen,
                         std::unique_ptr<common::KeyState> fallback)
    : pen_(std::move(pen)), fallback_(std::move(fallback)) {
    if (pen_) {
        seenPresses_ = pen_->button().presses;
    }
}

int PenKeyState::asyncKeyState(int vk) {
    if (vk != common::VK_F13_KEY) {
        return fallback_ ? fallback_->asyncKeyState(vk) : 0;
    }
    if (!pen_) {
        return 0;
    }
    std::lock_guard lock(mutex_);
    const LightPen::Button button = pen_->button();
    const bool pressedSince = button.presses != seenPresses_;
    seenPresses_ = button.presses;
    if (button.down) {
        return 0x8000;
    }
    return pressedSince ? 1 : 0;
}

}  // namespace sim
