#include "kalvo/ui/ToolbarButton.h"

#include <QEnterEvent>
#include <QImage>
#include <QPainter>

namespace kalvo {

namespace {

// Buttons are the image plus the usual toolbar padding.
constexpr int kPadX = 7;
constexpr int kPadY = 6;

QPixmap greyed(const QPixmap& source) {
    QImage image = source.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int grey = 128 + qGray(line[x]) / 2;
            line[x] = qRgba(grey, grey, grey, qAlpha(line[x]) / 2);
        }
    }
    return QPixmap::fromImage(image);
}

}  // namespace

ToolbarButton::ToolbarButton(int command, QWidget* parent)
    : QAbstractButton(parent), command_(command) {
    setObjectName(QString::number(command));
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
}

void ToolbarButton::setNormalImage(const QPixmap& image) {
    normal_ = image;
    update();
}

void ToolbarButton::setHotImage(const QPixmap& image) {
    hot_ = image;
    update();
}

void ToolbarButton::setDisabledImage(const QPixmap& image) {
    disabled_ = image;
    update();
}

void ToolbarButton::setHot(bool hot) {
    if (hotState_ != hot) {
        hotState_ = hot;
        update();
    }
}

QSize ToolbarButton::sizeHint() const {
    const QSize image = normal_.isNull() ? QSize(24, 24) : normal_.deviceIndependentSize().toSize();
    return image + QSize(kPadX, kPadY);
}

void ToolbarButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect frame = rect().adjusted(0, 0, -1, -1);
    const bool enabled = isEnabled();
    const bool sunken = enabled && (isDown() || isChecked());
    QPixmap image = normal_;
    if (!enabled) {
        // Disabled: the disabled image, greyed so the state reads at a glance.
        image = greyed(disabled_.isNull() ? normal_ : disabled_);
    } else if ((hotState_ || sunken) && !hot_.isNull()) {
        image = hot_;
    }
    if (enabled && (hotState_ || sunken)) {
        painter.setPen(sunken ? QColor(0x80, 0x80, 0x80) : QColor(0xFF, 0xFF, 0xFF));
        painter.drawLine(frame.topLeft(), frame.topRight());
        painter.drawLine(frame.topLeft(), frame.bottomLeft());
        painter.setPen(sunken ? QColor(0xFF, 0xFF, 0xFF) : QColor(0x80, 0x80, 0x80));
        painter.drawLine(frame.bottomLeft(), frame.bottomRight());
        painter.drawLine(frame.topRight(), frame.bottomRight());
    }
    if (image.isNull()) {
        return;
    }
    const QSize size = image.deviceIndependentSize().toSize();
    QPoint at((width() - size.width()) / 2, (height() - size.height()) / 2);
    if (sunken) {
        at += QPoint(1, 1);
    }
    painter.drawPixmap(at, image);
}

void ToolbarButton::enterEvent(QEnterEvent* event) {
    setHot(true);
    QAbstractButton::enterEvent(event);
}

void ToolbarButton::leaveEvent(QEvent* event) {
    setHot(false);
    QAbstractButton::leaveEvent(event);
}

void ToolbarButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        setHot(false);
    }
    QAbstractButton::changeEvent(event);
}

}  // namespace kalvo
