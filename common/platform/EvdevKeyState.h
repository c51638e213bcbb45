#pragma once
// Key state read from the kernel's input devices (libevdev): the pen's button
// arrives as F13 on a keyboard device, which a Wayland compositor does not
// show to other programs. Reads every keyboard with an F13 key the user may
// open; other answers come from a second key state (the X server's).
// Thread-safe.

#include <memory>
#include <string>
#include <vector>

#include "common/platform/KeyState.h"

namespace common {

class EvdevKeyState final : public KeyState {
public:
    // Opens the event devices in dir that have an F13 key and takes fallback
    // (may be null). Null, with problem set to one line for the user, when
    // none can be opened; fallback is then left as it was.
    [[nodiscard]] static std::unique_ptr<EvdevKeyState> open(std::unique_ptr<KeyState>& fallback,
                                                             std::string& problem,
                                                             const std::string& dir = "/dev/input");
    ~EvdevKeyState() override;
    EvdevKeyState(const EvdevKeyState&) = delete;
    EvdevKeyState& operator=(const EvdevKeyState&) = delete;

    // The devices' answer for F13, Esc and the page keys, combined with the
    // fallback's: 0x8000 when down now, 1 when only pressed since the last
    // query, else 0.
    [[nodiscard]] int asyncKeyState(int vk) override;

    // The names of the devices being read.
    [[nodiscard]] std::vector<std::string> deviceNames() const;

private:
    struct Impl;
    explicit EvdevKeyState(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace common
