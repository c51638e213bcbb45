#include "kalvo/ui/CMyColorDlg.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWindow>

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
// The latest a dialog is still being placed after showing, should it never
// be painted.
constexpr int kPlacingMs = 1500;
}  // namespace

QRect CMYCOLORDLG::screenArea() const {
    const QScreen* screen = QGuiApplication::screenAt(m_toolbarRect.center());
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    return screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

void CMYCOLORDLG::place(bool always) {
    // pos() and move() are the frame's corner; the frame's size is known
    // once the window manager has framed the window.
    const QPoint target =
        PlaceColorDialog(m_toolbarRect, m_buttonRect, frameGeometry().size(), screenArea());
    if (target != pos()) {
        move(target);
    } else if (always && windowHandle() != nullptr) {
        // pos() may still hold what we asked for before the map while the
        // window manager's own placement is on its way: asked again, the
        // window manager moves it back.
        windowHandle()->setFramePosition(target);
    }
}

void CMYCOLORDLG::showEvent(QShowEvent* event) {
    QColorDialog::showEvent(event);
    place();
    m_placing = true;
    QTimer::singleShot(kPlacingMs, this, [this] { m_placing = false; });
}

void CMYCOLORDLG::moveEvent(QMoveEvent* event) {
    QColorDialog::moveEvent(event);
    // The window manager's own placement and framing, before it maps the
    // window: the dialog goes where it fits with its frame.
    if (m_placing) {
        place();
    }
}

void CMYCOLORDLG::resizeEvent(QResizeEvent* event) {
    QColorDialog::resizeEvent(event);
    if (m_placing) {
        place();
    }
}

void CMYCOLORDLG::paintEvent(QPaintEvent* event) {
    // Painted: the window is mapped, so framed. Placed once more with the
    // frame; every later move is the user's.
    if (m_placing) {
        m_placing = false;
        place(true);
    }
    QColorDialog::paintEvent(event);
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
