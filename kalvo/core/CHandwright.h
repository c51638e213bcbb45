#pragma once
// One straight segment of a freehand stroke, in drawing-window client pixels.

#include <cstdint>

#include "kalvo/core/CShape.h"

namespace kalvo {

class CHandwright : public CShape {
public:
    static constexpr int kArchiveSize = 24;

    CHandwright() = default;
    CHandwright(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2, COLORREF color,
                std::int32_t width)
        : CShape(color, width), m_x1(x1), m_y1(y1), m_x2(x2), m_y2(y2) {}

    // 24 bytes: the start point and the end point as two 8-byte blocks (x, y),
    // then colour and width; all little-endian 32-bit. Loading throws
    // CArchive::ArchiveEof on a short read; the blocks read before it stay.
    void Serialize(CArchive& ar) override;

    // A solid, aliased line of m_width pixels (below 1: one pixel) in
    // m_color with flat ends. The start point is painted and the end point is
    // not, in every direction, so the segments of a stroke meet without
    // overlapping; a segment whose points are equal paints nothing.
    void Draw(QPainter& painter) const override;

    std::int32_t m_x1 = 0;
    std::int32_t m_y1 = 0;
    std::int32_t m_x2 = 0;
    std::int32_t m_y2 = 0;
};

}  // namespace kalvo
