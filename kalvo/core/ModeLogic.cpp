#include "kalvo/core/ModeLogic.h"

#include "kalvo/core/CMyDoc.h"
#include "kalvo/core/DrawingState.h"
#include "kalvo/core/EditHistory.h"
#include "kalvo/core/ToolbarCommands.h"

namespace kalvo {

ModeLogic::ModeLogic(DrawingState& state, CMyDoc& doc, SurfaceActions& actions,
                     EditHistory* history)
    : state_(state), doc_(doc), actions_(actions), history_(history) {}

void ModeLogic::dropBoardContents() {
    if (actions_.hasEraser()) {
        actions_.destroyEraser();
    }
    doc_.ClearSegments();
    // The next surface starts empty: nothing of this one comes back.
    if (history_ != nullptr) {
        history_->clear();
    }
}

void ModeLogic::OnDrawOnScreen() {
    if (state_.screenActive == 0 && state_.mode == kModeNone) {
        actions_.showSurface(Surface::Overlay);
        state_.screenActive = 1;
        state_.mode = kModeScreen;
        const ModeImages images = imagesForMode(kModeScreen);
        actions_.setToolbarImages(images.normal, images.hot);
        actions_.showToolbar();
        OnPickPen();
    } else if (state_.mode == kModeScreen) {
        dropBoardContents();
        const ModeImages images = imagesForMode(kModeNone);
        actions_.setToolbarImages(images.normal, images.hot);
        state_.mode = kModeNone;
        state_.screenActive = 0;
        actions_.showToolbar();
        actions_.hideSurface(Surface::Overlay);
    } else {
        state_.screenActive = 0;
    }
}

void ModeLogic::OnWhiteboard() {
    if (state_.boardActive == 0 && state_.mode == kModeNone) {
        actions_.placeFrame(true);
        actions_.showSurface(Surface::Board);
        const ModeImages images = imagesForMode(kModeWhiteboard);
        actions_.setToolbarImages(images.normal, images.hot);
        state_.boardActive = 1;
        state_.mode = kModeWhiteboard;
        actions_.showToolbar();
        OnPickPen();
    } else if (state_.boardActive == 1 && state_.mode == kModeWhiteboard) {
        dropBoardContents();
        actions_.placeFrame(false);
        actions_.hideSurface(Surface::Board);
        state_.mode = kModeNone;
        state_.boardActive = 0;
        const ModeImages images = imagesForMode(kModeNone);
        actions_.setToolbarImages(images.normal, images.hot);
        actions_.showToolbar();
    }
}

void ModeLogic::OnPickPen() {
    actions_.setCursor(IDC_PEN_CURSOR);
    state_.penSelected = 1;
    if (actions_.hasEraser()) {
        actions_.destroyEraser();
    }
}

void ModeLogic::OnEraser() {
    actions_.setCursor(IDC_ERASER_CURSOR);
    EndStroke();
    if (actions_.hasEraser()) {
        return;
    }
    actions_.createEraser();
    EndStroke();
    state_.penSelected = 0;
}

void ModeLogic::OnClearBoard() {
    doc_.ClearSegments();
    refreshActiveSurface();
}

void ModeLogic::refreshActiveSurface() {
    if (state_.mode == kModeScreen) {
        actions_.refreshSurface(Surface::Overlay);
    } else if (state_.mode == kModeWhiteboard) {
        actions_.refreshSurface(Surface::Board);
    }
}

void ModeLogic::repaintActiveInk() {
    if (state_.mode == kModeScreen) {
        actions_.repaintInk(Surface::Overlay);
    } else if (state_.mode == kModeWhiteboard) {
        actions_.repaintInk(Surface::Board);
    }
}

void ModeLogic::OnUndo() {
    EndStroke();
    if (history_ != nullptr && history_->undo()) {
        repaintActiveInk();
    }
}

void ModeLogic::OnRedo() {
    EndStroke();
    if (history_ != nullptr && history_->redo()) {
        repaintActiveInk();
    }
}

void ModeLogic::EndStroke() {
    if (state_.screenActive) {
        actions_.sendLeftUp(Surface::Overlay);
    }
    if (state_.boardActive) {
        actions_.sendLeftUp(Surface::Board);
    }
}

}  // namespace kalvo
