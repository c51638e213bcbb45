#pragma once
// The pointer side of the drawing windows' message handler: strokes become
// one segment per pointer move, the eraser removes segments around the
// pointer, and pointer messages over the floating toolbar are passed to it.
// It decides; the windows act through SurfaceActions.

#include <QPoint>
#include <QRect>

#include "kalvo/core/SurfaceActions.h"

namespace kalvo {

class CMyDoc;
class EditHistory;
struct DrawingState;

// Where the eraser window stands while it follows the pointer, and where it
// waits between drags.
[[nodiscard]] QRect eraserFollowGeometry(QPoint pointer);
inline constexpr QRect kEraserParkedGeometry{-200, -210, 198, 123};
inline constexpr QSize kEraserPressedSize{20, 20};

// Left and top inclusive, right and bottom exclusive (rect's own right() is
// the last column inside).
[[nodiscard]] bool toolbarRectContains(const QRect& rect, QPoint point);

class GestureLogic {
public:
    // history: each stroke and eraser drag becomes one of its steps (null: none).
    GestureLogic(DrawingState& state, CMyDoc& doc, SurfaceActions& actions,
                 EditHistory* history = nullptr);

    void leftDown(Surface surface, QPoint point);
    void mouseMove(Surface surface, QPoint point);
    // The release's own position is not used: the tested point is lastPoint.
    void leftUp(Surface surface);
    void rightDown();

    // A repaint of `rect`: true when the surface must draw every segment and
    // text. During an eraser drag (the eraser window exists and erasing is
    // set) the segments with both ends inside the rectangle are deleted
    // instead and nothing is drawn (false).
    [[nodiscard]] bool paint(const QRect& rect);

    // Passes the message to the toolbar when the point lies inside its
    // rectangle; true when it was taken.
    bool routeToToolbar(PointerMessage message, QPoint point);

private:
    DrawingState& state_;
    CMyDoc& doc_;
    SurfaceActions& actions_;
    EditHistory* history_;
};

}  // namespace kalvo
