#pragma once
// Creating a dialog's controls at their dialog-unit rectangles, each named by
// its control number.

#include <QString>
#include <QWidget>
#include <algorithm>

#include "tovik/console/DialogUnits.h"

namespace tovik {

// id < 0 leaves the objectName empty (controls without a number).
template <class W, class... Args>
W* AddControl(QWidget* parent, const DialogUnits& du, int id, int x, int y, int w, int h,
              Args&&... args) {
    auto* widget = new W(std::forward<Args>(args)..., parent);  // owned by parent
    if (id >= 0) {
        widget->setObjectName(QString::number(id));
    }
    du.place(*widget, x, y, w, h);
    return widget;
}

// Group boxes drawn the classic way: the title sits on the frame's top line,
// inside the box's rectangle.
inline const QString kClassicGroupBoxStyle = QStringLiteral(
    "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 0.55em; }"
    "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
    " left: 6px; padding: 0 2px; }");

// Widens a control whose text needs more room than its template gave it, up
// to `maxRightDu` (the next control or the frame around it).
inline void FitWidth(QWidget& widget, const DialogUnits& du, int maxRightDu) {
    QRect r = widget.geometry();
    const int needed = widget.sizeHint().width();
    if (needed > r.width()) {
        r.setWidth(std::min(needed, du.x(maxRightDu) - r.left()));
        widget.setGeometry(r);
    }
}

}  // namespace tovik
