#pragma once
// Base of the drawable marks: a colour and a line width.

#include <cstdint>

#include "kalvo/core/CObject.h"
#include "kalvo/core/ColorRef.h"

class QPainter;

namespace kalvo {

class CShape : public CObject {
public:
    CShape() = default;  // fields zero: the object is filled by loading
    CShape(COLORREF color, std::int32_t width) : m_color(color), m_width(width) {}

    // The base part has no stored form of its own.
    void Serialize(CArchive& ar) override;
    virtual void Draw(QPainter& painter) const;

    COLORREF m_color = 0;
    std::int32_t m_width = 0;  // device pixels
};

}  // namespace kalvo
