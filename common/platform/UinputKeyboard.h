#pragma once
// Types keys through a uinput keyboard: to whatever window the compositor
// gives the keyboard focus, X client or not. Kalvo's page keys for a
// presentation that is no X window. Thread-safe.

#include <memory>

#include "common/platform/UinputDevice.h"

namespace common {

class UinputKeyboard {
public:
    // The keys it can type: Page Up and Page Down.
    [[nodiscard]] static UinputSpec deviceSpec();

    // Creates the device on fd (taken). Null, with problem set, on failure.
    [[nodiscard]] static std::unique_ptr<UinputKeyboard> create(int fd, UinputIoctl ioctl,
                                                                std::string& problem);

    // Presses and releases the key of a virtual-key number, each a report of
    // its own. False for a key the device does not have or a failed write.
    bool tapKey(int vk);

private:
    explicit UinputKeyboard(std::unique_ptr<UinputDevice> device) : device_(std::move(device)) {}
    std::unique_ptr<UinputDevice> device_;
};

}  // namespace common
