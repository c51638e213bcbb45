#include "tovik/console/CalibrationWindow.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QThread>
#include <QWindow>
#include <cmath>

#include "common/platform/X11WindowStacking.h"
#include "tovik/console/DeviceGeometry.h"

#ifdef _WIN32
// windows.h first: the other system headers build on it.
#include <windows.h>
#endif

namespace tovik {

void CalibrationWindow::syncWithServer() {
#ifdef _WIN32
    // Painting is synchronous on Windows; only GDI's batch is left to send.
    GdiFlush();
#else
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 != nullptr && x11->display() != nullptr) {
        common::syncX11Display(x11->display());
    }
#endif
}

CalibrationWindow::CalibrationWindow(bool acceptsEscape, common::ScreenRect target)
    // Bypassing the window manager keeps the window above everything, the
    // console included: some managers map a new window beneath the focused
    // one, and then the camera would never see the patterns.
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::X11BypassWindowManagerHint),
      acceptsEscape_(acceptsEscape),
      target_(target.width > 0 && target.height > 0 ? target : primaryDeviceRect()) {
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setWindowTitle(QStringLiteral("Calibration"));
    setObjectName(QStringLiteral("Calibration"));
    setCursor(Qt::ArrowCursor);
    setFocusPolicy(Qt::StrongFocus);
    setGeometry(logicalRectFor(target_));
    image_ = QImage(target_.width, target_.height, QImage::Format_RGB32);
    image_.fill(Qt::white);
    // Text keeps its size on the screen whatever the scale factor.
    QFont f = font();
    f.setPixelSize(static_cast<int>(std::lround(QFontInfo(f).pixelSize() * devicePixelRatioF())));
    setFont(f);
}

void CalibrationWindow::showOnScreen() {
    show();
    raise();
    activateWindow();
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 3000 && (windowHandle() == nullptr || !windowHandle()->isExposed())) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
    flush();
}

QRect CalibrationWindow::logicalBox(const QRect& device) const {
    const double ratio = devicePixelRatioF();
    const int left = static_cast<int>(std::floor(device.left() / ratio));
    const int top = static_cast<int>(std::floor(device.top() / ratio));
    const int right = static_cast<int>(std::ceil((device.right() + 1) / ratio));
    const int bottom = static_cast<int>(std::ceil((device.bottom() + 1) / ratio));
    return {left, top, right - left + 1, bottom - top + 1};
}

void CalibrationWindow::drawText(int x, int y, const QString& text) {
    QPainter p(&image_);
    p.setFont(font());
    const QFontMetrics fm(font());
    const QRect box(x, y, fm.horizontalAdvance(text), fm.height());
    p.fillRect(box, Qt::white);
    p.setPen(Qt::black);
    p.drawText(x, y + fm.ascent(), text);
    update(logicalBox(box));
}

void CalibrationWindow::clear() {
    image_.fill(Qt::white);
    update();
}

void CalibrationWindow::drawRectangle(int left, int top, int right, int bottom) {
    if (right <= left || bottom <= top) {
        return;
    }
    QPainter p(&image_);
    const QRect box(left, top, right - left, bottom - top);
    p.fillRect(box, Qt::black);
    update(logicalBox(box));
}

void CalibrationWindow::drawDot(int cx, int cy, bool red) {
    QPainter p(&image_);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(red ? QColor(255, 0, 0) : QColor(0, 255, 0));
    // The ellipse of the square (cx-8, cy-8)..(cx+8, cy+8), right and bottom
    // exclusive like the rectangles: 16 pixels across, outline included.
    p.drawEllipse(QRect(cx - 8, cy - 8, 15, 15));
    update(logicalBox(QRect(cx - 9, cy - 9, 19, 19)));
}

void CalibrationWindow::flush() {
    if (isVisible()) {
        repaint();
    }
    syncWithServer();
}

void CalibrationWindow::paintEvent(QPaintEvent* /*event*/) {
    // A view of the picture (no copy) marked with the screen's ratio, so Qt
    // puts each of its pixels on one device pixel.
    const QImage& picture = image_;
    QImage view(picture.constBits(), picture.width(), picture.height(), picture.bytesPerLine(),
                picture.format());
    view.setDevicePixelRatio(devicePixelRatioF());
    QPainter p(this);
    p.drawImage(QPointF(0, 0), view);
}

void CalibrationWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        if (acceptsEscape_) {
            emit escapeClosed();
            close();
        }
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace tovik
