#include "tovik/console/FrameView.h"

#include <QPainter>

namespace tovik {

QImage ToQImage(const cv::Mat& frame) {
    if (frame.empty() || frame.depth() != CV_8U) {
        return {};
    }
    const auto stride = static_cast<qsizetype>(frame.step[0]);
    if (frame.channels() == 3) {
        return QImage(frame.data, frame.cols, frame.rows, stride, QImage::Format_BGR888).copy();
    }
    if (frame.channels() == 1) {
        return QImage(frame.data, frame.cols, frame.rows, stride, QImage::Format_Grayscale8).copy();
    }
    return {};
}

FrameView::FrameView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void FrameView::setFrame(const cv::Mat& frame) {
    image_ = ToQImage(frame);
    ++framesShown_;
    update();
}

void FrameView::clear() {
    image_ = QImage();
    update();
}

void FrameView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect r = rect();
    if (image_.isNull()) {
        painter.fillRect(r, QColor(64, 64, 64));
    } else {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(r, image_);
    }
    // The frame of the picture control.
    painter.setPen(QColor(0, 0, 0));
    painter.drawRect(r.adjusted(0, 0, -1, -1));
}

}  // namespace tovik
