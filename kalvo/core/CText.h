#pragma once
// A text label at a position, with its typeface and size.

#include <QString>

#include <cstdint>

#include "kalvo/core/CObject.h"

class QPainter;

namespace kalvo {

class CText : public CObject {
public:
    // Empty text at (0, 0) in "宋体" at 20 points.
    CText();

    // m_text, m_faceName (strings in the archive's wide form; the one-byte
    // form is accepted on loading), then m_x, m_y, m_pointSize. A short read
    // throws CArchive::ArchiveEof; the fields read before it stay.
    void Serialize(CArchive& ar) override;

    // Writes m_text with its top-left corner at (m_x, m_y), in the painter's
    // pen colour over a transparent background; the font size follows the
    // painter's device resolution.
    void Draw(QPainter& painter) const;

    QString m_text;
    QString m_faceName;
    std::int32_t m_x = 0;
    std::int32_t m_y = 0;
    std::int32_t m_pointSize = 200;  // tenths of a point
};

}  // namespace kalvo
