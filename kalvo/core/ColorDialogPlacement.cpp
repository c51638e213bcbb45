#include "kalvo/core/ColorDialogPlacement.h"

namespace kalvo {

QPoint PlaceColorDialog(const QRect& toolbarRect, const QRect& buttonRect, const QSize& dialogSize,
                        const QRect& screen) {
    int x = toolbarRect.left() + buttonRect.left();
    int y = toolbarRect.top() + buttonRect.top();
    const int right = screen.x() + screen.width();
    const int bottom = screen.y() + screen.height();
    if (x + dialogSize.width() > right) {
        x = right - dialogSize.width();
    }
    if (x < screen.x()) {
        x = screen.x();
    }
    if (y + dialogSize.height() > bottom) {
        y = bottom - dialogSize.height();
    }
    return {x, y};
}

}  // namespace kalvo
