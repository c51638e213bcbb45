#pragma once
// Helpers shared by the X11 back ends. Included by their .cpp files only:
// Xlib's macros (None, Status, Bool) must not reach the rest of the code.

#include <X11/Xlib.h>

#include <memory>
#include <vector>

#include "common/platform/ScreenInfo.h"

namespace common::x11 {

struct DisplayCloser {
    void operator()(Display* d) const;
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

// Opens a connection for one back end. Replaces Xlib's default error handler,
// which would end the process, by one that ignores the error: a window that
// vanishes while we look at it is an ordinary event, not a fault.
[[nodiscard]] DisplayPtr openDisplay(const char* displayName);

// Size of the root window, asked from the server (the screen may have been
// resized since the connection was opened).
[[nodiscard]] ScreenSize rootSize(Display* display);

// The RandR monitors in device pixels, the primary marked; one covering the
// root window when RandR is missing or reports none.
[[nodiscard]] std::vector<Monitor> monitors(Display* display);

// Whether the server offers the XTest extension (pointer and key injection).
[[nodiscard]] bool hasXTest(Display* display);

// The keysym of a virtual-key number, or 0 (NoSymbol) when it has none here.
[[nodiscard]] unsigned long keysymForVk(int vk);

// Every key code that produces the virtual key in the current keymap. F13 is
// also found by its XKB key name "FK13", since common keymaps give that key
// another symbol (or none).
[[nodiscard]] std::vector<int> keycodesForVk(Display* display, int vk);

}  // namespace common::x11
