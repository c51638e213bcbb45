#pragma once
// The little Kalvo's windows need from the X server beyond Qt: the drawing
// windows' own WM_CLASS, whether a compositing manager runs (it decides
// whether a translucent window shows the live desktop), and the stacking of
// the floating toolbar. Off X11 these do nothing.

class QWidget;

namespace kalvo {

// Sets both names of the window's WM_CLASS to `name` (creates the native
// window when needed). False when the platform is not X11.
bool setNativeWindowClass(QWidget& window, const char* name);

// True when a compositing manager owns the screen's _NET_WM_CM_S<n>
// selection, and on platforms that compose every window themselves.
[[nodiscard]] bool compositorRunning();

// True when a viewable window of another program (or a window manager's frame
// around one) lies above `window` and overlaps it. Windows of this program
// and frames around them do not count, nor override-redirect windows (menus,
// full-screen windows that must cover everything): those stay on top.
[[nodiscard]] bool obscuredByOtherPrograms(const QWidget& window);

}  // namespace kalvo
