#include "kalvo/core/EraseLogic.h"

#include <vector>

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
    return QRect(QPoint(box.left, box.top), QPoint(box.right, box.bottom));
}

bool segmentInside(const CHandwright& segment, const EraseBox& box) {
    return box.contains(segment.m_x1, segment.m_y1) && box.contains(segment.m_x2, segment.m_y2);
}

int eraseSegmentsInside(CMyDoc& doc, const EraseBox& box) {
    // The scan runs on every pointer move over lists of many thousands of
    // segments: collect first, then delete from the back so that the indices
    // still to go stay valid and nothing moves twice.
    std::vector<int> doomed;
    const int count = doc.GetSegmentCount();
    for (int i = 0; i < count; ++i) {
        if (segmentInside(*doc.GetSegment(i), box)) {
            doomed.push_back(i);
        }
    }
    for (auto it = doomed.rbegin(); it != doomed.rend(); ++it) {
        doc.DeleteSegment(*it);
    }
    return static_cast<int>(doomed.size());
}

}  // namespace kalvo
