#include "kalvo/core/DrawingState.h"

namespace kalvo {

DrawingState& drawingState() {
    static DrawingState state;
    return state;
}

void resetDrawingState() {
    drawingState() = DrawingState{};
}

}  // namespace kalvo
