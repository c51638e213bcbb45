// Undo and redo through the gestures and commands that really change the
// board: strokes, eraser drags, clearing, and leaving a surface.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kalvo/core/CMyDoc.h"
#include "kalvo/core/DrawingState.h"
#include "kalvo/core/EditHistory.h"
#include "kalvo/core/GestureLogic.h"
#include "kalvo/core/ModeLogic.h"
#include "kalvo/core/RecordingSurfaceActions.h"

namespace kalvo {
namespace {

using testing::RecordingSurfaceActions;

class EditHistoryTest : public ::testing::Test {
protected:
    EditHistoryTest() {
        actions.onLeftUp = [this](Surface s) { gesture.leftUp(s); };
        modes.OnWhiteboard();
    }

    // A stroke from x0 along a row, one segment per step of 10 pixels.
    void stroke(int x0, int y, int segments) {
        gesture.leftDown(Surface::Board, {x0, y});
        for (int i = 1; i <= segments; ++i) {
            gesture.mouseMove(Surface::Board, {x0 + 10 * i, y});
        }
        gesture.leftUp(Surface::Board);
    }

    std::vector<std::string> board() const { return testing::segmentsText(doc); }

    DrawingState state;
    CMyDoc doc;
    RecordingSurfaceActions actions;
    EditHistory history{doc};
    GestureLogic gesture{state, doc, actions, &history};
    ModeLogic modes{state, doc, actions, &history};
};

TEST_F(EditHistoryTest, StrokesUndoWholeAndRedoInOrder) {
    stroke(0, 0, 3);
    stroke(0, 500, 2);
    const auto both = board();
    actions.calls.clear();

    modes.OnUndo();

    EXPECT_EQ(doc.GetSegmentCount(), 3);
    EXPECT_EQ(actions.calls.back(), "ink board");
    modes.OnUndo();
    EXPECT_EQ(doc.GetSegmentCount(), 0);
    EXPECT_FALSE(history.canUndo());
    modes.OnRedo();
    modes.OnRedo();
    EXPECT_EQ(board(), both);
    EXPECT_FALSE(history.canRedo());
}

TEST_F(EditHistoryTest, OneEraserDragIsOneStepAndComesBackInPlace) {
    stroke(0, 0, 2);     // erased
    stroke(0, 1000, 2);  // kept, between the erased ones in the list
    stroke(300, 50, 2);  // erased
    const auto drawn = board();
    modes.OnEraser();
    actions.eraser = true;

    gesture.leftDown(Surface::Board, {0, 0});
    gesture.mouseMove(Surface::Board, {10, 10});   // takes the first stroke
    gesture.mouseMove(Surface::Board, {320, 40});  // and, later, the third
    gesture.leftUp(Surface::Board);
    ASSERT_EQ(doc.GetSegmentCount(), 2);
    modes.OnUndo();

    EXPECT_EQ(board(), drawn);
    modes.OnRedo();
    EXPECT_EQ(doc.GetSegmentCount(), 2);
    modes.OnUndo();
    modes.OnUndo();  // the third stroke, drawn before the drag
    EXPECT_EQ(doc.GetSegmentCount(), 4);
}

TEST_F(EditHistoryTest, ClearIsUndoneAndRedone) {
    stroke(0, 0, 4);
    const auto drawn = board();

    modes.OnClearBoard();
    modes.OnUndo();

    EXPECT_EQ(board(), drawn);
    modes.OnRedo();
    EXPECT_EQ(doc.GetSegmentCount(), 0);
}

TEST_F(EditHistoryTest, NewStrokeCutsRedoButAClickWithoutMovementDoesNot) {
    stroke(0, 0, 2);
    stroke(0, 100, 2);
    modes.OnUndo();

    stroke(50, 50, 0);  // a click: no segment
    EXPECT_TRUE(history.canRedo());
    stroke(0, 200, 1);

    EXPECT_FALSE(history.canRedo());
    modes.OnRedo();
    EXPECT_EQ(doc.GetSegmentCount(), 3);
    modes.OnUndo();
    modes.OnUndo();
    EXPECT_EQ(doc.GetSegmentCount(), 0);
}

TEST_F(EditHistoryTest, UndoDuringAStrokeEndsItAndTakesItBack) {
    gesture.leftDown(Surface::Board, {0, 0});
    gesture.mouseMove(Surface::Board, {10, 0});

    modes.OnUndo();

    EXPECT_EQ(state.drawing, 0);
    EXPECT_EQ(doc.GetSegmentCount(), 0);
}

TEST_F(EditHistoryTest, LeavingTheSurfaceForgetsEverything) {
    stroke(0, 0, 2);
    modes.OnClearBoard();

    modes.OnWhiteboard();
    modes.OnDrawOnScreen();
    modes.OnUndo();

    EXPECT_EQ(doc.GetSegmentCount(), 0);
    EXPECT_EQ(history.heldSegments(), 0u);
}

TEST(EditHistory, OldestStepsGoBeyondTheSegmentBudgetNewestStays) {
    CMyDoc doc;
    EditHistory history(doc, 5);
    for (int step = 0; step < 4; ++step) {
        history.beginStep();
        doc.AddSegment(step, 0, step, 1, 0, 1);
        doc.AddSegment(step, 1, step, 2, 0, 1);
        history.endStep();
    }

    EXPECT_EQ(history.undoDepth(), 2u);
    EXPECT_EQ(history.heldSegments(), 4u);
    EXPECT_TRUE(history.undo());
    EXPECT_TRUE(history.undo());
    EXPECT_FALSE(history.undo());
    EXPECT_EQ(doc.GetSegmentCount(), 4);  // the two oldest steps stay drawn

    EditHistory tight(doc, 1);
    doc.ClearSegments();  // one step of four segments, over the budget
    EXPECT_EQ(tight.undoDepth(), 1u);
    EXPECT_TRUE(tight.undo());
    EXPECT_EQ(doc.GetSegmentCount(), 4);
}

}  // namespace
}  // namespace kalvo
