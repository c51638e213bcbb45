#include "kalvo/ui/CEraser.h"

#include <QMouseEvent>

#include "kalvo/ui/PickerResources.h"

namespace kalvo {

CEraser::CEraser(QWidget* parent)
    : CBitmapDialog(parent, nullptr, 0, nullptr,
                    // Like the toolbar, outside the window manager's stacking:
                    // it must stay above the full-screen drawing windows.
                    Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                        Qt::WindowDoesNotAcceptFocus | Qt::X11BypassWindowManagerHint) {
    setObjectName(QStringLiteral("158"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    LoadBitmapById(kPictureId);
    SetTransparentColor(0xFFFFFF);
    m_bTransparentControls = true;
    setGeometry(-100, -100, 100, 100);
    SetShaped(true);
}

void CEraser::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        if (onPress) {
            onPress();
        }
        setCursor(pickerCursor(kPressedCursorId));
        return;
    }
    CBitmapDialog::mousePressEvent(event);
}

void CEraser::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        if (onRelease) {
            onRelease();
        }
        return;
    }
    CBitmapDialog::mouseReleaseEvent(event);
}

}  // namespace kalvo
