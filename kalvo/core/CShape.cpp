#include "kalvo/core/CShape.h"

namespace kalvo {

void CShape::Serialize(CArchive&) {}

void CShape::Draw(QPainter&) const {}

}  // namespace kalvo
