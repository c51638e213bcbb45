#pragma once
// The stacking of a program's own windows among those of other programs: a
// window that must stay on top asks whether another program covers it and
// raises itself; a translucent window asks whether a compositing manager
// draws the desktop beneath it.

#include <string>

#include "common/platform/WindowFinder.h"

namespace common {

class WindowStacking {
public:
    virtual ~WindowStacking() = default;
    // True when a viewable window of another program (or a window manager's
    // frame around one) lies above `window` and overlaps it. Windows of this
    // program and frames around them do not count, nor override-redirect
    // windows (menus, full-screen windows that must cover everything).
    [[nodiscard]] virtual bool coveredByOtherProgram(WindowId window) = 0;
    // Puts the window on top of the stack.
    virtual void raise(WindowId window) = 0;
    // True when a compositing manager draws the screen, and on platforms that
    // compose every window themselves.
    [[nodiscard]] virtual bool compositorPresent() = 0;
    // Sets both names of the window's native class to `name`; false when the
    // platform has no such thing.
    virtual bool setNativeClass(WindowId window, const std::string& name) = 0;
};

}  // namespace common
