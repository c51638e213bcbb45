#include "kalvo/core/BitmapRegion.h"

#include <algorithm>

namespace kalvo {

std::vector<RegionRect> bitmapRegionRuns(const QImage& image, COLORREF transparent,
                                         QSize clientSize) {
    std::vector<RegionRect> runs;
    if (image.isNull()) {
        return runs;
    }
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    const int w = std::min(rgb.width(), clientSize.width());
    const int h = std::min(rgb.height(), clientSize.height());
    const QRgb key = qRgb(colorRed(transparent), colorGreen(transparent), colorBlue(transparent));
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        int s = 0;
        for (int x = 0; x < w; ++x) {
            if ((row[x] & 0x00FFFFFFu) != (key & 0x00FFFFFFu)) {
                continue;
            }
            if (s != x) {
                runs.push_back({s, y, x, y + 1});
            }
            s = x + 1;
        }
        if (s != w) {
            runs.push_back({s, y, w, y + 1});
        }
    }
    return runs;
}

}  // namespace kalvo
