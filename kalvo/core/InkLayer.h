#pragma once
// The ink of a drawing surface as an image the size of the window: every
// segment and text of the document drawn over white with white then made
// transparent, plus the live segments drawn since. The window composes it
// over its background (the desktop or white).

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <cstdint>

#include "kalvo/core/ColorRef.h"

namespace kalvo {

class CMyDoc;

class InkLayer {
public:
    explicit InkLayer(QSize size = {});

    // Drops the ink when the size changes.
    void resize(QSize size);
    [[nodiscard]] QSize size() const { return image_.size(); }

    // Redraws every segment in list order, then every text (black), over
    // white; pixels left exactly white become transparent, so white segments
    // vanish here while they stay in the document. `origin`: the document
    // point at the layer's corner.
    void rebuild(const CMyDoc& doc, QPoint origin = {});

    // Draws one segment with the live pen (`style` is the stored style
    // number); returns the area it touched.
    QRect drawLiveSegment(QPoint from, QPoint to, COLORREF color, std::int32_t width,
                          std::int32_t style);

    // Makes an area transparent.
    void clear(const QRect& area);

    [[nodiscard]] const QImage& image() const { return image_; }

private:
    QImage image_;
};

// Turns every pixel equal to opaque white into a transparent one.
void dropWhitePixels(QImage& image);

}  // namespace kalvo
