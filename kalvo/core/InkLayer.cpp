#include "kalvo/core/InkLayer.h"

#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cstdlib>

#include "kalvo/core/CMyDoc.h"
#include "kalvo/core/LivePen.h"
#include "kalvo/core/QtColor.h"

namespace kalvo {

InkLayer::InkLayer(QSize size) {
    resize(size);
}

void InkLayer::resize(QSize size) {
    if (size == image_.size() && !image_.isNull()) {
        return;
    }
    if (size.isEmpty()) {
        image_ = QImage();
        return;
    }
    image_ = QImage(size, QImage::Format_ARGB32_Premultiplied);
    image_.fill(Qt::transparent);
}

void InkLayer::rebuild(const CMyDoc& doc) {
    if (image_.isNull()) {
        return;
    }
    image_.fill(Qt::white);
    {
        QPainter painter(&image_);
        painter.setBrush(Qt::NoBrush);
        painter.setBackgroundMode(Qt::TransparentMode);
        const int segments = doc.GetSegmentCount();
        for (int i = 0; i < segments; ++i) {
            doc.GetSegment(i)->Draw(painter);
        }
        painter.setPen(QPen(Qt::black));
        const int texts = doc.GetTextCount();
        for (int i = 0; i < texts; ++i) {
            doc.GetText(i)->Draw(painter);
        }
    }
    dropWhitePixels(image_);
}

QRect InkLayer::drawLiveSegment(QPoint from, QPoint to, COLORREF color, std::int32_t width,
                                std::int32_t style) {
    const Qt::PenStyle penStyle = qtPenStyleFromGdi(style, width);
    if (image_.isNull() || penStyle == Qt::NoPen) {
        return {};
    }
    QPainter painter(&image_);
    if (penStyle == Qt::SolidLine) {
        // Solid live lines are drawn exactly as the repaint will draw them.
        CHandwright(from.x(), from.y(), to.x(), to.y(), color, width).Draw(painter);
    } else {
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(QPen(toQColor(color), std::max(1, width), penStyle, Qt::FlatCap));
        painter.drawLine(QPointF(from) + QPointF(0.5, 0.5), QPointF(to) + QPointF(0.5, 0.5));
    }
    const int margin = std::max(1, width) / 2 + 2;
    return QRect(from, to).normalized().adjusted(-margin, -margin, margin, margin);
}

void InkLayer::clear(const QRect& area) {
    const QRect r = area.intersected(image_.rect());
    if (r.isEmpty()) {
        return;
    }
    QPainter painter(&image_);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(r, Qt::transparent);
}

void dropWhitePixels(QImage& image) {
    if (image.format() != QImage::Format_ARGB32_Premultiplied &&
        image.format() != QImage::Format_ARGB32) {
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
    const int width = image.width();
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
        std::replace(row, row + width, std::uint32_t{0xFFFFFFFF}, std::uint32_t{0});
    }
}

}  // namespace kalvo
