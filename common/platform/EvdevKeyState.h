#pragma once
// Key state read from the kernel's input devices: the pen's button arrives as
// F13 on a keyboard device, which a Wayland compositor does not show to other
// programs. Reads every device with an F13 key the user may open, also one
// plugged in later; other answers come from a second key state (the X
// server's). Only F13, Esc and the page keys are kept: no other key is
// recorded, and nothing about keys is logged. Thread-safe.

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/platform/KeyState.h"

namespace common {

// The calls made on an opened event device; a test stands a FIFO in for one.
struct EvdevCalls {
    // ioctl(2): EVIOCGBIT(EV_KEY, n), EVIOCGKEY(n) and EVIOCGNAME(n).
    std::function<int(int fd, unsigned long request, void* arg)> ioctl;
    // read(2) of input_event records: -1 with EAGAIN when none is queued,
    // with ENODEV once the device is gone.
    std::function<ssize_t(int fd, void* buffer, std::size_t size)> read;
};

[[nodiscard]] EvdevCalls systemEvdevCalls();

class EvdevKeyState final : public KeyState {
public:
    // Opens the event devices in dir that have an F13 key, watches dir for
    // new ones and takes fallback (may be null). When none can be opened yet,
    // problem says why in one line for the user. Null only when dir can be
    // neither read nor watched; fallback is then left as it was.
    [[nodiscard]] static std::unique_ptr<EvdevKeyState> open(std::unique_ptr<KeyState>& fallback,
                                                             std::string& problem,
                                                             const std::string& dir = "/dev/input",
                                                             EvdevCalls calls = systemEvdevCalls());
    ~EvdevKeyState() override;
    EvdevKeyState(const EvdevKeyState&) = delete;
    EvdevKeyState& operator=(const EvdevKeyState&) = delete;

    // The devices' answer for F13, Esc and the page keys, combined with the
    // fallback's: 0x8000 when down now, 1 when only pressed since the last
    // query, else 0. A device that is gone holds no key down.
    [[nodiscard]] int asyncKeyState(int vk) override;

    // The names of the devices being read.
    [[nodiscard]] std::vector<std::string> deviceNames() const;

private:
    struct Impl;
    explicit EvdevKeyState(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace common
