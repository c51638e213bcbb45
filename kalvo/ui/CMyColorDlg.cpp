#include "kalvo/ui/CMyColorDlg.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include "kalvo/core/ColorDialogPlacement.h"

namespace kalvo {

CMYCOLORDLG::CMYCOLORDLG(COLORREF initial, QRect toolbarRect, QRect buttonRect, QWidget* parent)
    : QColorDialog(QColor(colorRed(initial), colorGreen(initial), colorBlue(initial)), parent),
      m_toolbarRect(toolbarRect),
      m_buttonRect(buttonRect) {
    // Our own widget dialog, so that it can be placed at the button.
    setOption(QColorDialog::DontUseNativeDialog, true);
    setWindowTitle(QStringLiteral("颜色"));
}

namespace {
// How long a dialog the window manager gives no frame is placed again when it
// moves: the manager's own placement comes within that time.
constexpr int kPlacingMs = 1500;
}  // namespace

QRect CMYCOLORDLG::screenArea() const {
    const QScreen* screen = QGuiApplication::screenAt(m_toolbarRect.center());
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    return screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

void CMYCOLORDLG::place() {
    // pos() and move() are the frame's corner; the frame's size is known
    // once the window manager has framed the window.
    const QPoint target =
        PlaceColorDialog(m_toolbarRect, m_buttonRect, frameGeometry().size(), screenArea());
    if (target != pos()) {
        move(target);
    }
}

void CMYCOLORDLG::showEvent(QShowEvent* event) {
    QColorDialog::showEvent(event);
    place();
    m_placing = true;
    QTimer::singleShot(kPlacingMs, this, [this] { m_placing = false; });
}

void CMYCOLORDLG::placeOnceFramed() {
    if (!m_placing) {
        return;
    }
    // Until the window manager has framed the window, its moves are its own
    // placement. Once the frame is known the dialog goes where it fits with
    // it, once: every later move is the user's.
    if (frameGeometry().size() != size()) {
        m_placing = false;
    }
    place();
}

void CMYCOLORDLG::moveEvent(QMoveEvent* event) {
    QColorDialog::moveEvent(event);
    placeOnceFramed();
}

void CMYCOLORDLG::resizeEvent(QResizeEvent* event) {
    QColorDialog::resizeEvent(event);
    placeOnceFramed();
}

COLORREF CMYCOLORDLG::chosenColorRef() const {
    const QColor c = selectedColor().isValid() ? selectedColor() : currentColor();
    return makeColorRef(c.red(), c.green(), c.blue());
}

std::optional<COLORREF> CMYCOLORDLG::ChooseColor(COLORREF current, QRect toolbarRect,
                                                 QRect buttonRect, QWidget* parent) {
    CMYCOLORDLG dlg(current, toolbarRect, buttonRect, parent);
    if (dlg.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dlg.chosenColorRef();
}

}  // namespace kalvo
