#include "kalvo/core/EraseLogic.h"

#include "kalvo/core/CHandwright.h"
#include "kalvo/core/CMyDoc.h"

namespace kalvo {

EraseBox eraseBoxAround(std::int32_t x, std::int32_t y) {
    return {x - kEraseHalfSize, y - kEraseHalfSize, x + kEraseHalfSize, y + kEraseHalfSize};
}

EraseBox eraseBoxOfPaintRect(const QRect& rect) {
    return {rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()};
}

QRect repaintRectOf(const EraseBox& box) {
    // A repaint while the eraser window exists deletes what its rectangle
    // holds, far edges included: the rectangle whose test is exactly the box.
    return QRect(box.left, box.top, box.right - box.left, box.bottom - box.top);
}

bool segmentInside(const CHandwright& segment, const EraseBox& box) {
    return box.contains(segment.m_x1, segment.m_y1) && box.contains(segment.m_x2, segment.m_y2);
}

int eraseSegmentsInside(CMyDoc& doc, const EraseBox& box) {
    // The scan runs on every pointer move over lists of many thousands of
    // segments: one pass that closes the gaps as it goes.
    return doc.RemoveSegmentsIf([&box](const CHandwright& s) { return segmentInside(s, box); });
}

}  // namespace kalvo
