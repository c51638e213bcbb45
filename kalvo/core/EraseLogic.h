#pragma once
// The eraser's test: a segment goes when both of its end points lie inside a
// box, all four sides inclusive. A long segment crossing the box survives.

#include <QRect>

#include <cstdint>

namespace kalvo {

class CHandwright;
class CMyDoc;

// Half the side of the box erased around the pointer.
inline constexpr int kEraseHalfSize = 100;

struct EraseBox {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;   // inclusive
    std::int32_t bottom = 0;  // inclusive

    [[nodiscard]] constexpr bool contains(std::int32_t x, std::int32_t y) const {
        return x >= left && x <= right && y >= top && y <= bottom;
    }
};

// (x - 100, y - 100) to (x + 100, y + 100).
[[nodiscard]] EraseBox eraseBoxAround(std::int32_t x, std::int32_t y);

// A repainted rectangle taken with its far edges included, as the window
// system's paint rectangle is tested: left..left + width, top..top + height.
[[nodiscard]] EraseBox eraseBoxOfPaintRect(const QRect& rect);

// The area repainted to show the result of erasing the box; its paint test
// (eraseBoxOfPaintRect) is the box itself, so that repaint takes nothing more.
[[nodiscard]] QRect repaintRectOf(const EraseBox& box);

[[nodiscard]] bool segmentInside(const CHandwright& segment, const EraseBox& box);

// Deletes, in one pass over the list, every segment with both ends inside the
// box (neighbours included); returns how many went.
int eraseSegmentsInside(CMyDoc& doc, const EraseBox& box);

}  // namespace kalvo
