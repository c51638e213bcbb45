#pragma once
// The stacking Kalvo's windows need from the window system beyond Qt: the
// drawing windows' own native class, whether a compositing manager runs (it
// decides whether a translucent window shows the live desktop), and the
// stacking of the floating toolbar: the X11 or the Win32 back end, elsewhere
// a stand-in without other programs and with a compositor.

#include "common/platform/WindowStacking.h"

class QWidget;

namespace kalvo {

// The stacking on Qt's own display connection; one for the process.
[[nodiscard]] common::WindowStacking& desktopStacking();

// Sets the window's native class to `name` (creates the native window when
// needed). False when the platform has no such thing.
bool setNativeWindowClass(QWidget& window, const char* name);

}  // namespace kalvo
