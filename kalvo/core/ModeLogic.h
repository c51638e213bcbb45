#pragma once
// The surface modes and tools behind the toolbar's commands: screen overlay
// and whiteboard on and off, pen and eraser, clearing the board, ending a
// stroke before a dialog opens.

#include "kalvo/core/SurfaceActions.h"

namespace kalvo {

class CMyDoc;
class EditHistory;
struct DrawingState;

class ModeLogic {
public:
    // history: undone and redone by OnUndo and OnRedo, forgotten when a
    // surface is left (null: no undo).
    ModeLogic(DrawingState& state, CMyDoc& doc, SurfaceActions& actions,
              EditHistory* history = nullptr);

    // Command 32771: the overlay on (from no mode) or off (from screen mode).
    void OnDrawOnScreen();
    // Command 32781: the whiteboard on (from no mode) or off (from whiteboard).
    void OnWhiteboard();
    // Command 32774.
    void OnPickPen();
    // Command 32776.
    void OnEraser();
    // Command 32783, and after a page key passed to a presentation.
    void OnClearBoard();
    // Ends a stroke or an eraser drag in progress on the active surface.
    void EndStroke();
    // Undo and redo (Ctrl+Z, Ctrl+Y and Ctrl+Shift+Z, the toolbar's menu):
    // the active surface repaints when a step was replayed.
    void OnUndo();
    void OnRedo();

private:
    // Leaving a surface: no eraser window and no segment survive it.
    void dropBoardContents();
    void refreshActiveSurface();
    void repaintActiveInk();

    DrawingState& state_;
    CMyDoc& doc_;
    SurfaceActions& actions_;
    EditHistory* history_;
};

}  // namespace kalvo
