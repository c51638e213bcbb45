#pragma once
// The shape of a window cut to the opaque pixels of its bitmap: one-pixel-high
// rectangles, one per run of pixels that differ from the transparent colour.

#include <QImage>
#include <QSize>

#include <vector>

#include "kalvo/core/ColorRef.h"

namespace kalvo {

// Edges as left, top, right, bottom with right and bottom exclusive.
struct RegionRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    friend bool operator==(const RegionRect&, const RegionRect&) = default;
};

// Scans the part of `image` that lies inside the client size, row by row,
// left to right. Pixels equal to `transparent` (compared as RGB, alpha
// ignored) end a run; each run becomes (start, y, end, y + 1).
[[nodiscard]] std::vector<RegionRect> bitmapRegionRuns(const QImage& image, COLORREF transparent,
                                                       QSize clientSize);

}  // namespace kalvo
