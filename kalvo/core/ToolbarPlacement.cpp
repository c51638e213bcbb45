#include "kalvo/core/ToolbarPlacement.h"

#include <algorithm>

namespace kalvo {

QPoint floatingToolbarPosition(QSize screenSize, QSize toolbarSize) {
    const QPoint clientPoint(screenSize.width() - 50, screenSize.height() - 400);
    QPoint pos = kFrameOrigin + clientPoint;
    // On small screens the anchor would put the strip partly off the screen;
    // the left and top edges win when the strip is larger than the screen.
    pos.setX(std::max(0, std::min(pos.x(), screenSize.width() - toolbarSize.width())));
    pos.setY(std::max(0, std::min(pos.y(), screenSize.height() - toolbarSize.height())));
    return pos;
}

}  // namespace kalvo
