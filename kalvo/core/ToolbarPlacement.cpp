#include "kalvo/core/ToolbarPlacement.h"

#include <algorithm>

namespace kalvo {

QPoint keepOnScreen(QPoint topLeft, QSize toolbarSize, QSize screenSize) {
    topLeft.setX(std::max(0, std::min(topLeft.x(), screenSize.width() - toolbarSize.width())));
    topLeft.setY(std::max(0, std::min(topLeft.y(), screenSize.height() - toolbarSize.height())));
    return topLeft;
}

}  // namespace kalvo
