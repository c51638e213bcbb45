#pragma once
// The process-wide drawing state shared by the drawing windows, the view's
// command handlers, the frame and the eraser window; their window handles
// live with the surface controller. Everything runs on the
// user-interface thread, so it is a plain record.

#include <QString>

#include <cstdint>

#include "kalvo/core/ColorRef.h"

namespace kalvo {

// Surface modes.
enum SurfaceMode : std::int32_t {
    kModeNone = 0,
    kModeScreen = 1,
    kModeWhiteboard = 2,
};

struct DrawingPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

struct DrawingState {
    COLORREF penColor = 255;    // red until the preferences are read
    std::int32_t penStyle = 0;  // style of the live line, 0 = solid
    std::int32_t penWidth = 0;  // pixels
    std::int32_t mode = kModeNone;
    std::int32_t screenActive = 0;  // the screen overlay is on
    std::int32_t boardActive = 0;   // the whiteboard is on
    std::int32_t penSelected = 0;   // 1 pen tool, 0 eraser tool
    std::uint8_t drawing = 0;       // a pen stroke is in progress
    std::uint8_t erasing = 0;       // the eraser is being dragged
    DrawingPoint lastPoint;         // drawing-window client pixels
    std::int32_t folderChosen = 0;  // the save folder was chosen in this run
    QString browseStartPath;        // folder shown first by the folder dialog
};

// The one record of the process.
[[nodiscard]] DrawingState& drawingState();

// Back to the values at start (for tests and a new start-up).
void resetDrawingState();

}  // namespace kalvo
