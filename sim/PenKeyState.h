#pragma once
// The key state the console reads while the simulator is its camera: F13
// comes from the pen's button, every other key from the real key state.

#include <cstdint>
#include <memory>
#include <mutex>

#include "common/platform/KeyState.h"
#include "sim/LightPen.h"

namespace sim {

class PenKeyState final : public common::KeyState {
public:
    PenKeyState(std::shared_ptr<const LightPen> pen, std::unique_ptr<common::KeyState> fallback);

    // F13: 0x8000 while the button is down, 1 when it was pressed and released
    // since the previous F13 query, else 0.
    int asyncKeyState(int vk) override;

private:
    std::shared_ptr<const LightPen> pen_;
    std::unique_ptr<common::KeyState> fallback_;
    std::mutex mutex_;
    std::uint64_t seenPresses_ = 0;
};

}  // namespace sim
