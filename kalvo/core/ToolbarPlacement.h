#pragma once
// Where the floating toolbar stands: a vertical strip near the right edge of
// the screen, kept wholly on the screen.

#include <QPoint>
#include <QSize>

namespace kalvo {

// The frame's client origin, off the screen, to which the toolbar's anchor
// point is relative.
inline constexpr QPoint kFrameOrigin{-20, -50};

// Moves a window of toolbarSize whose top-left corner would be at topLeft
// just far enough to lie wholly on the screen; the left and top edges win
// when the window is larger than the screen.
[[nodiscard]] QPoint keepOnScreen(QPoint topLeft, QSize toolbarSize, QSize screenSize);

}  // namespace kalvo
