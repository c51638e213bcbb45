#include "kalvo/core/ToolbarPlacement.h"

#include <algorithm>

namespace kalvo {

QPoint keepOnScreen(QPoint topLeft, QSize toolbarSize, QSize screenSize) {
    topLeft.setX(std::max(0, std::min(topLeft.x(), screenSize.width() - toolbarSize.width())));
    topLeft.setY(std::max(0, std::min(topLeft.y(), screenSize.height() - toolbarSize.height())));
    return topLeft;
}

QPoint floatingToolbarPosition(QSize screenSize, QSize toolbarSize) {
    // On small screens the anchor would put the strip partly off the screen.
    const QPoint clientPoint(screenSize.width() - 50, screenSize.height() - 400);
    return keepOnScreen(kFrameOrigin + clientPoint, toolbarSize, screenSize);
}

}  // namespace kalvo
