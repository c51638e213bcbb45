#pragma once
// Virtual-key numbers and the kernel's key codes, for the keys the programs
// read or type outside X: F13 (the pen's button), Esc and the page keys.

#include <linux/input-event-codes.h>

namespace common {

// The evdev key code of a virtual key, or 0 when it is not one of ours.
[[nodiscard]] constexpr int evdevKeyForVk(int vk) {
    switch (vk) {
        case 0x1B:
            return KEY_ESC;
        case 0x21:
            return KEY_PAGEUP;
        case 0x22:
            return KEY_PAGEDOWN;
        case 0x7C:
            return KEY_F13;
        default:
            return 0;
    }
}

}  // namespace common
