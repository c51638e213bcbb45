#include "kalvo/core/ColorDialogPlacement.h"

namespace kalvo {

QPoint PlaceColorDialog(const QRect& toolbarRect, const QRect& buttonRect, const QSize& dialogSize,
                        const QSize& screenSize) {
    int x = toolbarRect.left() + buttonRect.left();
    int y = toolbarRect.top() + buttonRect.top();
    if (x + dialogSize.width() > screenSize.width()) {
        x = screenSize.width() - dialogSize.width();
    }
    if (x < 0) {
        x = 0;
    }
    if (y + dialogSize.height() > screenSize.height()) {
        y = screenSize.height() - dialogSize.height();
    }
    return {x, y};
}

}  // namespace kalvo
