#pragma once
// The little the drawing windows need from the X server beyond Qt: their own
// WM_CLASS, and whether a compositing manager runs (it decides whether a
// translucent window shows the live desktop). Off X11 these do nothing.

class QWidget;

namespace kalvo {

// Sets both names of the window's WM_CLASS to `name` (creates the native
// window when needed). False when the platform is not X11.
bool setNativeWindowClass(QWidget& window, const char* name);

// True when a compositing manager owns the screen's _NET_WM_CM_S<n>
// selection, and on platforms that compose every window themselves.
[[nodiscard]] bool compositorRunning();

}  // namespace kalvo
