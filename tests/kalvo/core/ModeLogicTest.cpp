// The surface modes and tools: every row of the mode table, the tools and the
// end of a stroke before a dialog.

#include <gtest/gtest.h>

#include <array>

#include "kalvo/core/CMyDoc.h"
#include "kalvo/core/DrawingState.h"
#include "kalvo/core/GestureLogic.h"
#include "kalvo/core/ModeLogic.h"
#include "kalvo/core/RecordingSurfaceActions.h"
#include "kalvo/core/ToolbarCommands.h"

namespace kalvo {
namespace {

using testing::addSegments;
using testing::RecordingSurfaceActions;
using Calls = std::vector<std::string>;
using ModeState = std::array<int, 4>;

class ModeLogicTest : public ::testing::Test {
protected:
    ModeLogicTest() {
        actions.onLeftUp = [this](Surface s) { gesture.leftUp(s); };
    }

    // The mode, the surfaces' active flags and the tool.
    ModeState modeState() const {
        return {state.mode, state.screenActive, state.boardActive, state.penSelected};
    }

    DrawingState state;
    CMyDoc doc;
    RecordingSurfaceActions actions;
    GestureLogic gesture{state, doc, actions};
    ModeLogic modes{state, doc, actions};
};

TEST_F(ModeLogicTest, ScreenModeOnSelectsPenAndScreenImages) {
    modes.OnDrawOnScreen();

    EXPECT_EQ(modeState(), (ModeState{kModeScreen, 1, 0, 1}));
    const Calls expected{"show overlay", "images 207 210", "show toolbar", "cursor 165"};
    EXPECT_EQ(actions.calls, expected);
}

TEST_F(ModeLogicTest, ScreenModeOffDestroysEraserClearsSegmentsAndHides) {
    modes.OnDrawOnScreen();
    modes.OnEraser();
    addSegments(doc, 3);
    actions.calls.clear();

    modes.OnDrawOnScreen();

    EXPECT_EQ(modeState(), (ModeState{kModeNone, 0, 0, 0}));
    EXPECT_EQ(doc.GetSegmentCount(), 0);
    EXPECT_FALSE(actions.eraser);
    const Calls expected{"destroy eraser", "images 209 208", "show toolbar", "hide overlay"};
    EXPECT_EQ(actions.calls, expected);
}

TEST_F(ModeLogicTest, WhiteboardOnAndOff) {
    modes.OnWhiteboard();

    EXPECT_EQ(modeState(), (ModeState{kModeWhiteboard, 0, 1, 1}));
    const Calls on{"frame full", "show board", "images 211 212", "show toolbar", "cursor 165"};
    EXPECT_EQ(actions.calls, on);

    addSegments(doc, 2);
    actions.calls.clear();
    modes.OnWhiteboard();

    EXPECT_EQ(modeState(), (ModeState{kModeNone, 0, 0, 1}));
    EXPECT_EQ(doc.GetSegmentCount(), 0);
    const Calls off{"frame parked", "hide board", "images 209 208", "show toolbar"};
    EXPECT_EQ(actions.calls, off);
}

TEST_F(ModeLogicTest, OtherSurfaceCommandChangesNothing) {
    modes.OnDrawOnScreen();
    addSegments(doc, 1);
    actions.calls.clear();

    modes.OnWhiteboard();  // a disabled command that still arrives

    EXPECT_EQ(modeState(), (ModeState{kModeScreen, 1, 0, 1}));
    EXPECT_EQ(doc.GetSegmentCount(), 1);
    EXPECT_TRUE(actions.calls.empty());

    modes.OnDrawOnScreen();
    modes.OnWhiteboard();
    actions.calls.clear();

    modes.OnDrawOnScreen();

    EXPECT_EQ(modeState(), (ModeState{kModeWhiteboard, 0, 1, 1}));
    EXPECT_TRUE(actions.calls.empty());
}

TEST_F(ModeLogicTest, SegmentsDoNotCarryFromScreenToWhiteboard) {
    modes.OnDrawOnScreen();
    gesture.leftDown(Surface::Overlay, {1, 1});
    gesture.mouseMove(Surface::Overlay, {9, 9});
    modes.OnDrawOnScreen();

    modes.OnWhiteboard();

    EXPECT_EQ(doc.GetSegmentCount(), 0);
}

TEST_F(ModeLogicTest, EraserToolCreatesWindowOnceAndPenDestroysIt) {
    modes.OnDrawOnScreen();
    actions.calls.clear();

    modes.OnEraser();

    EXPECT_EQ(state.penSelected, 0);
    EXPECT_TRUE(actions.eraser);
    const Calls eraser{"cursor 233", "left up overlay", "create eraser", "left up overlay"};
    EXPECT_EQ(actions.calls, eraser);

    actions.calls.clear();
    modes.OnEraser();
    // The release of EndStroke now finds the eraser tool: it parks the window.
    const Calls again{"cursor 233", "left up overlay", "move eraser -200,-210 198x123",
                      "cursor 233"};
    EXPECT_EQ(actions.calls, again);

    actions.calls.clear();
    modes.OnPickPen();

    EXPECT_EQ(state.penSelected, 1);
    EXPECT_FALSE(actions.eraser);
    const Calls pen{"cursor 165", "destroy eraser"};
    EXPECT_EQ(actions.calls, pen);
}

TEST_F(ModeLogicTest, EnteringModeAfterEraserSelectsPen) {
    modes.OnWhiteboard();
    modes.OnEraser();
    modes.OnWhiteboard();
    EXPECT_EQ(state.penSelected, 0);  // leaving keeps the tool...

    modes.OnDrawOnScreen();

    EXPECT_EQ(state.penSelected, 1);  // ...entering picks the pen
}

TEST_F(ModeLogicTest, EndStrokeEndsStrokeOnActiveSurfaceOnly) {
    modes.OnWhiteboard();
    gesture.leftDown(Surface::Board, {5, 5});
    ASSERT_EQ(state.drawing, 1);
    actions.calls.clear();

    modes.EndStroke();

    EXPECT_EQ(state.drawing, 0);
    EXPECT_EQ(actions.calls, Calls{"left up board"});
}

TEST_F(ModeLogicTest, EndStrokeWithoutSurfaceSendsNothing) {
    modes.EndStroke();

    EXPECT_TRUE(actions.calls.empty());
}

TEST_F(ModeLogicTest, ClearBoardRefreshesTheActiveSurface) {
    addSegments(doc, 4);
    modes.OnClearBoard();
    EXPECT_EQ(doc.GetSegmentCount(), 0);
    EXPECT_TRUE(actions.calls.empty());

    modes.OnDrawOnScreen();
    addSegments(doc, 2);
    actions.calls.clear();
    modes.OnClearBoard();
    EXPECT_EQ(doc.GetSegmentCount(), 0);
    EXPECT_EQ(actions.calls, Calls{"refresh overlay"});

    modes.OnDrawOnScreen();
    modes.OnWhiteboard();
    actions.calls.clear();
    modes.OnClearBoard();
    EXPECT_EQ(actions.calls, Calls{"refresh board"});
}

}  // namespace
}  // namespace kalvo
