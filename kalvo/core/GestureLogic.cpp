#include "kalvo/core/GestureLogic.h"

#include "kalvo/core/CMyDoc.h"
#include "kalvo/core/DrawingState.h"
#include "kalvo/core/EditHistory.h"
#include "kalvo/core/EraseLogic.h"

namespace kalvo {

QRect eraserFollowGeometry(QPoint pointer) {
    return QRect(pointer.x() - 26, pointer.y() - 29, 198, 123);
}

bool toolbarRectContains(const QRect& rect, QPoint point) {
    return point.x() >= rect.left() && point.x() < rect.left() + rect.width() &&
           point.y() >= rect.top() && point.y() < rect.top() + rect.height();
}

GestureLogic::GestureLogic(DrawingState& state, CMyDoc& doc, SurfaceActions& actions,
                           EditHistory* history)
    : state_(state), doc_(doc), actions_(actions), history_(history) {}

bool GestureLogic::routeToToolbar(PointerMessage message, QPoint point) {
    const std::optional<QRect> rect = actions_.toolbarRect();
    if (!rect || !toolbarRectContains(*rect, point)) {
        return false;
    }
    actions_.forwardToToolbar(message, point - rect->topLeft());
    return true;
}

void GestureLogic::leftDown(Surface surface, QPoint point) {
    (void)surface;
    state_.lastPoint = {point.x(), point.y()};
    if (routeToToolbar(PointerMessage::LeftDown, point)) {
        return;
    }
    if (history_ != nullptr) {
        history_->beginStep();
    }
    if (state_.penSelected == 1) {
        state_.drawing = 1;
        return;
    }
    state_.erasing = 1;
    if (actions_.hasEraser()) {
        actions_.setCursor(IDC_ERASER_PRESSED_CURSOR);
        actions_.moveEraser(QRect(point, kEraserPressedSize), true);
    }
}

void GestureLogic::mouseMove(Surface surface, QPoint point) {
    const QPoint last(state_.lastPoint.x, state_.lastPoint.y);
    // Once a stroke has reached the toolbar, lastPoint stays there and every
    // further move belongs to the toolbar until the next press outside it.
    if (routeToToolbar(PointerMessage::Move, last)) {
        return;
    }
    if (state_.drawing) {
        actions_.drawLiveSegment(surface, last, point);
        doc_.AddSegment(last.x(), last.y(), point.x(), point.y(), state_.penColor, state_.penWidth);
        state_.lastPoint = {point.x(), point.y()};
        return;
    }
    if (state_.erasing) {
        actions_.moveEraser(eraserFollowGeometry(point), false);
        const EraseBox box = eraseBoxAround(point.x(), point.y());
        if (eraseSegmentsInside(doc_, box) > 0) {
            actions_.repaintArea(surface, repaintRectOf(box));
        }
    }
}

void GestureLogic::leftUp(Surface surface) {
    (void)surface;
    if (routeToToolbar(PointerMessage::LeftUp, QPoint(state_.lastPoint.x, state_.lastPoint.y))) {
        return;
    }
    state_.drawing = 0;
    state_.erasing = 0;
    if (history_ != nullptr) {
        history_->endStep();
    }
    if (state_.penSelected == 0) {
        actions_.moveEraser(kEraserParkedGeometry, false);
        actions_.setCursor(IDC_ERASER_CURSOR);
    }
}

void GestureLogic::rightDown() {
    if (state_.erasing && history_ != nullptr) {
        history_->endStep();
    }
    state_.erasing = 0;
}

bool GestureLogic::paint(const QRect& rect) {
    // Only the eraser's drag erases what it uncovers. Any other repaint
    // (undo, redo, a refresh, a window moved away) shows the document: with
    // the eraser merely chosen it would otherwise wipe the repainted area.
    if (!actions_.hasEraser() || state_.erasing == 0) {
        return true;
    }
    eraseSegmentsInside(doc_, eraseBoxOfPaintRect(rect));
    return false;
}

}  // namespace kalvo
