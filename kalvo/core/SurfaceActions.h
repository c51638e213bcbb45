#pragma once
// What the drawing-surface logic asks of the windows: showing and hiding the
// two surfaces, drawing a live segment, moving the eraser window, cursors,
// toolbar images and pointer forwarding. The windows implement it; tests
// record the calls.

#include <QPoint>
#include <QRect>

#include <optional>

namespace kalvo {

enum class Surface {
    Overlay,  // the screen overlay ("palette")
    Board,    // the whiteboard ("wBoard")
};

// Pointer messages a drawing window passes on to the floating toolbar.
enum class PointerMessage {
    LeftDown,
    LeftUp,
    Move,
};

// Cursor icons of the drawing windows.
inline constexpr int IDC_PEN_CURSOR = 165;
inline constexpr int IDC_ERASER_CURSOR = 233;
inline constexpr int IDC_ERASER_PRESSED_CURSOR = 168;

class SurfaceActions {
public:
    virtual ~SurfaceActions() = default;

    // The floating toolbar window's rectangle in screen coordinates, or
    // nothing when there is no toolbar.
    [[nodiscard]] virtual std::optional<QRect> toolbarRect() const = 0;
    // Passes a pointer message to the toolbar window at a point relative to
    // its top-left corner.
    virtual void forwardToToolbar(PointerMessage message, QPoint relative) = 0;
    virtual void setToolbarImages(int normalBitmap, int hotBitmap) = 0;
    virtual void showToolbar() = 0;

    virtual void showSurface(Surface surface) = 0;
    virtual void hideSurface(Surface surface) = 0;
    // Hides and shows the surface again so that it repaints from the document
    // over what lies beneath now (a cleared board, a turned slide).
    virtual void refreshSurface(Surface surface) = 0;
    // Redraws the surface's ink from the document, nothing else: undo and
    // redo change only the ink.
    virtual void repaintInk(Surface surface) = 0;
    // While the whiteboard is on, the main frame covers the screen.
    virtual void placeFrame(bool fullScreen) = 0;

    // Draws one segment straight on the surface with the live pen of the
    // drawing state; the document is changed by the caller.
    virtual void drawLiveSegment(Surface surface, QPoint from, QPoint to) = 0;
    // Repaints an area of the surface after segments were erased from it.
    virtual void repaintArea(Surface surface, const QRect& area) = 0;
    // Sets the cursor of both drawing windows to an icon (IDC_...).
    virtual void setCursor(int icon) = 0;
    // A left-button release at (0, 0) handled at once by the surface.
    virtual void sendLeftUp(Surface surface) = 0;

    [[nodiscard]] virtual bool hasEraser() const = 0;
    virtual void createEraser() = 0;
    virtual void destroyEraser() = 0;
    // Moves the eraser window (if any); raise: also to the top of the
    // z-order, and it becomes the window being dragged.
    virtual void moveEraser(const QRect& geometry, bool raise) = 0;
};

}  // namespace kalvo
