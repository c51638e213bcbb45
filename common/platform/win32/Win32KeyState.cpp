#include "common/platform/win32/Win32KeyState.h"

#include <windows.h>

namespace common {

int Win32KeyState::asyncKeyState(int vk) {
    // As an unsigned 16-bit value: "down" reads 0x8000, as on the other
    // platforms, not as a negative number.
    return static_cast<unsigned short>(GetAsyncKeyState(vk));
}

}  // namespace common
