#include "kalvo/core/TrueColorStrip.h"

namespace kalvo {

QColor stripMaskColor(const QImage& strip) {
    if (strip.isNull()) {
        return {};
    }
    return QColor(strip.pixel(0, strip.height() - 1));
}

std::vector<QImage> splitTrueColorStrip(const QImage& strip, int buttonWidth) {
    std::vector<QImage> images;
    if (strip.isNull() || buttonWidth <= 0 || strip.width() < buttonWidth) {
        return images;
    }
    const QRgb mask = stripMaskColor(strip).rgb() & 0xFFFFFFu;
    const QImage argb = strip.convertToFormat(QImage::Format_ARGB32);
    const int count = strip.width() / buttonWidth;
    images.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        QImage image = argb.copy(i * buttonWidth, 0, buttonWidth, argb.height());
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                if ((line[x] & 0xFFFFFFu) == mask) {
                    line[x] = 0;
                }
            }
        }
        images.push_back(std::move(image));
    }
    return images;
}

}  // namespace kalvo
