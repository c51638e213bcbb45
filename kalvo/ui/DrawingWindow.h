#pragma once
// One of the two full-screen drawing windows: the screen overlay ("palette",
// translucent over the live desktop) or the whiteboard ("wBoard", white).
// Both pass their messages to one shared handler and keep the ink of the
// document in an InkLayer composed over their background.

#include <QImage>
#include <QRegion>
#include <QWidget>

#include "kalvo/core/InkLayer.h"
#include "kalvo/core/SurfaceActions.h"

namespace kalvo {

class CMyDoc;
class DrawingWindow;
struct DrawingState;

// The messages both drawing windows share. Points and rectangles are in
// desktop coordinates (the window's own pixels plus its position on the
// desktop), as the document stores them.
class DrawingWindowHandler {
public:
    virtual ~DrawingWindowHandler() = default;
    // A repaint of `rect` (once for each rectangle of the repainted region):
    // true to draw the ink, false to draw none there.
    [[nodiscard]] virtual bool paintRequested(DrawingWindow& window, const QRect& rect) = 0;
    virtual void closeRequested(DrawingWindow& window) = 0;
    virtual void keyDown(DrawingWindow& window, int vk) = 0;
    // An editing key: ID_EDIT_UNDO or ID_EDIT_REDO.
    virtual void editCommand(DrawingWindow& window, int command) = 0;
    virtual void mouseMove(DrawingWindow& window, QPoint point) = 0;
    virtual void leftDown(DrawingWindow& window, QPoint point) = 0;
    virtual void leftUp(DrawingWindow& window, QPoint point) = 0;
    virtual void rightDown(DrawingWindow& window, QPoint point) = 0;
};

// Virtual-key number of a Qt key for the keys the surfaces care about
// (Page Up 0x21, Page Down 0x22); 0 for others.
[[nodiscard]] int virtualKeyOf(int qtKey);

// Ctrl+Z undoes; Ctrl+Y and Ctrl+Shift+Z redo (ID_EDIT_...); 0 for any other key.
[[nodiscard]] int editCommandOf(int qtKey, Qt::KeyboardModifiers modifiers);

class DrawingWindow final : public QWidget {
    Q_OBJECT
public:
    // Window classes and titles.
    static constexpr const char* kOverlayClass = "palette";
    static constexpr const char* kBoardClass = "wBoard";
    static constexpr const char* kOverlayTitle = "画板";
    static constexpr const char* kBoardTitle = "bai画板";

    // Created hidden, covering `screen` until it is first shown.
    DrawingWindow(Surface kind, const CMyDoc& doc, const DrawingState& state, QRect screen);

    [[nodiscard]] Surface kind() const { return kind_; }
    void setHandler(DrawingWindowHandler* handler) { handler_ = handler; }

    // Shows the window over `area` (a monitor, in Qt's screen coordinates)
    // and redraws the ink. The overlay without a compositor first takes a
    // picture of that area to show under the ink.
    void showSurface(const QRect& area);
    // Redraws every segment and text at the next repaint (now, if visible).
    void refreshInk();
    // Draws one segment (desktop coordinates) with the live pen of the
    // drawing state.
    void drawLiveSegment(QPoint from, QPoint to);
    // Repaints an area given in desktop coordinates.
    void repaintArea(const QRect& area);
    // The program ends: closes the window without the close request's box.
    void closeForExit();

    // What the overlay shows beneath the ink (null: the live desktop).
    [[nodiscard]] const QImage& background() const { return background_; }
    [[nodiscard]] const InkLayer& ink() const { return ink_; }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    const char* className() const;

    Surface kind_;
    const CMyDoc& doc_;
    const DrawingState& state_;
    DrawingWindowHandler* handler_ = nullptr;
    InkLayer ink_;
    bool inkStale_ = true;
    bool exiting_ = false;
    QRegion liveArea_;  // painted since the last repaint by live segments only
    QImage background_;
};

}  // namespace kalvo
