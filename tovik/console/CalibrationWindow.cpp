#include "tovik/console/CalibrationWindow.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QThread>
#include <QWindow>

#include <X11/Xlib.h>

namespace tovik {

void CalibrationWindow::syncWithServer() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 != nullptr && x11->display() != nullptr) {
        XSync(x11->display(), False);
    }
}

CalibrationWindow::CalibrationWindow(bool acceptsEscape)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      acceptsEscape_(acceptsEscape) {
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setWindowTitle(QStringLiteral("Calibration"));
    setObjectName(QStringLiteral("Calibration"));
    setCursor(Qt::ArrowCursor);
    setFocusPolicy(Qt::StrongFocus);
    const QRect screen = QGuiApplication::primaryScreen() != nullptr
                             ? QGuiApplication::primaryScreen()->geometry()
                             : QRect(0, 0, 1024, 768);
    setGeometry(screen);
    image_ = QImage(screen.size(), QImage::Format_RGB32);
    image_.fill(Qt::white);
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

void CalibrationWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (size() != image_.size()) {
        QImage bigger(size(), QImage::Format_RGB32);
        bigger.fill(Qt::white);
        QPainter p(&bigger);
        p.drawImage(0, 0, image_);
        p.end();
        image_ = bigger;
    }
}

void CalibrationWindow::drawText(int x, int y, const QString& text) {
    QPainter p(&image_);
    p.setFont(font());
    const QFontMetrics fm(font());
    const QRect box(x, y, fm.horizontalAdvance(text), fm.height());
    p.fillRect(box, Qt::white);
    p.setPen(Qt::black);
    p.drawText(x, y + fm.ascent(), text);
    update(box);
}

void CalibrationWindow::drawRectangle(int left, int top, int right, int bottom) {
    if (right <= left || bottom <= top) {
        return;
    }
    QPainter p(&image_);
    const QRect box(left, top, right - left, bottom - top);
    p.fillRect(box, Qt::black);
    update(box);
}

void CalibrationWindow::drawDot(int cx, int cy, bool red) {
    QPainter p(&image_);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(red ? QColor(255, 0, 0) : QColor(0, 255, 0));
    // The ellipse of the square (cx-8, cy-8)..(cx+8, cy+8), right and bottom
    // exclusive like the rectangles: 16 pixels across, outline included.
    p.drawEllipse(QRect(cx - 8, cy - 8, 15, 15));
    update(QRect(cx - 9, cy - 9, 19, 19));
}

void CalibrationWindow::flush() {
    if (isVisible()) {
        repaint();
    }
    syncWithServer();
}

void CalibrationWindow::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.drawImage(event->rect(), image_, event->rect());
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
