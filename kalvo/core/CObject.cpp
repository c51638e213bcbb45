#include "kalvo/core/CObject.h"

namespace kalvo {

void CObject::Serialize(CArchive&) {}

}  // namespace kalvo
