#pragma once
// Key state from the X server: a key counts while it is down (the server's
// keymap) and once after each press seen since the previous query of that
// key (XInput2 raw key presses, latched between polls). Its own display
// connection; thread-safe.

#include <memory>
#include <vector>

#include "common/platform/KeyState.h"

namespace common {

class X11KeyState final : public KeyState {
public:
    // Null when the display cannot be opened. Without XInput2 only the
    // down-now state is reported.
    [[nodiscard]] static std::unique_ptr<X11KeyState> open(const char* displayName);
    ~X11KeyState() override;
    X11KeyState(const X11KeyState&) = delete;
    X11KeyState& operator=(const X11KeyState&) = delete;

    // 0x8000 when down now, 1 when only pressed since the last query, else 0.
    [[nodiscard]] int asyncKeyState(int vk) override;

    // True when raw key presses are being latched (XInput2 2.1 or later).
    [[nodiscard]] bool latchesPresses() const;

    // The key codes that stand for a virtual key in the current keymap.
    [[nodiscard]] std::vector<int> keycodesFor(int vk);

private:
    struct Impl;
    explicit X11KeyState(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace common
