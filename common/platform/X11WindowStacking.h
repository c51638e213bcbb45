#pragma once
// Window stacking on an X display, over a connection the caller owns (a
// toolkit's own, so that its windows exist on the server when asked about).

#include <memory>

#include "common/platform/WindowStacking.h"

namespace common {

// `display` is the caller's Xlib Display*; `ownPid` marks this program's
// windows (_NET_WM_PID).
[[nodiscard]] std::unique_ptr<WindowStacking> makeX11WindowStacking(void* display, long ownPid);

// Waits until the server has handled every request sent on the caller's
// Xlib `display`: what was drawn is then on the screen.
void syncX11Display(void* display);

}  // namespace common
