// Strokes, the eraser and pointer forwarding of the drawing windows, without
// windows.

#include <gtest/gtest.h>

#include "kalvo/core/CMyDoc.h"
#include "kalvo/core/DrawingState.h"
#include "kalvo/core/EraseLogic.h"
#include "kalvo/core/GestureLogic.h"
#include "kalvo/core/RecordingSurfaceActions.h"

namespace kalvo {
namespace {

using testing::RecordingSurfaceActions;
using testing::segmentsText;
using Texts = std::vector<std::string>;

class GestureLogicTest : public ::testing::Test {
protected:
    GestureLogicTest() {
        state.penSelected = 1;
        state.penColor = 0x00112233;
        state.penWidth = 4;
    }

    DrawingState state;
    CMyDoc doc;
    RecordingSurfaceActions actions;
    GestureLogic gesture{state, doc, actions};
};

TEST_F(GestureLogicTest, StrokeAddsExactlyOneSegmentPerMoveAndClickAddsNone) {
    gesture.leftDown(Surface::Overlay, {10, 10});
    gesture.leftUp(Surface::Overlay);
    EXPECT_EQ(doc.GetSegmentCount(), 0);
    EXPECT_EQ(state.drawing, 0);

    gesture.leftDown(Surface::Overlay, {10, 10});
    EXPECT_EQ(state.drawing, 1);
    gesture.mouseMove(Surface::Overlay, {20, 15});
    gesture.mouseMove(Surface::Overlay, {20, 15});  // a move to the same point still counts
    gesture.mouseMove(Surface::Overlay, {35, 40});
    gesture.leftUp(Surface::Overlay);
    gesture.mouseMove(Surface::Overlay, {50, 50});  // after the release: nothing

    // Each segment starts where the last ended.
    EXPECT_EQ(segmentsText(doc), (Texts{"10,10-20,15", "20,15-20,15", "20,15-35,40"}));
    EXPECT_EQ(doc.GetSegment(0)->m_color, 0x00112233u);
    EXPECT_EQ(doc.GetSegment(0)->m_width, 4);
    EXPECT_EQ(actions.calls.front(), "live overlay 10,10-20,15");
    EXPECT_EQ(state.drawing, 0);
}

TEST_F(GestureLogicTest, PenWidthChangeAppliesOnlyToLaterSegments) {
    gesture.leftDown(Surface::Board, {0, 0});
    gesture.mouseMove(Surface::Board, {5, 5});
    state.penWidth = 6;
    gesture.mouseMove(Surface::Board, {9, 9});

    EXPECT_EQ(doc.GetSegment(0)->m_width, 4);
    EXPECT_EQ(doc.GetSegment(1)->m_width, 6);
}

TEST(EraseLogic, BoxIsInclusiveAndNeedsBothEnds) {
    CMyDoc doc;
    doc.AddSegment(400, 400, 600, 600, 0, 1);  // both ends exactly on corners: inside
    doc.AddSegment(399, 450, 450, 450, 0, 1);  // start one pixel left of the box
    doc.AddSegment(450, 450, 450, 601, 0, 1);  // end one pixel below
    doc.AddSegment(300, 500, 700, 500, 0, 1);  // long segment through the box
    doc.AddSegment(600, 400, 400, 600, 0, 1);  // other diagonal: inside

    EXPECT_EQ(eraseSegmentsInside(doc, eraseBoxAround(500, 500)), 2);

    EXPECT_EQ(segmentsText(doc), (Texts{"399,450-450,450", "450,450-450,601", "300,500-700,500"}));
}

TEST(EraseLogic, NeighboursGoInOnePass) {
    CMyDoc doc;
    doc.AddSegment(0, 0, 1, 1, 0, 1);
    doc.AddSegment(1, 1, 2, 2, 0, 1);
    doc.AddSegment(2, 2, 3, 3, 0, 1);
    doc.AddSegment(900, 900, 901, 901, 0, 1);
    doc.AddSegment(3, 3, 4, 4, 0, 1);
    doc.AddSegment(950, 950, 951, 951, 0, 1);
    int changes = 0;
    doc.SetChangeCallback([&] { ++changes; });

    EXPECT_EQ(eraseSegmentsInside(doc, eraseBoxAround(0, 0)), 4);
    EXPECT_EQ(eraseSegmentsInside(doc, eraseBoxAround(-500, -500)), 0);

    EXPECT_EQ(segmentsText(doc), (Texts{"900,900-901,901", "950,950-951,951"}));
    EXPECT_EQ(changes, 1);  // one change for the pass, none for a pass that finds nothing
}

TEST(EraseLogic, PaintRectangleIncludesItsFarEdges) {
    const EraseBox box = eraseBoxOfPaintRect(QRect(10, 20, 30, 40));

    EXPECT_TRUE(box.contains(10, 20));
    EXPECT_TRUE(box.contains(40, 60));  // left + width, top + height
    EXPECT_FALSE(box.contains(41, 60));
    EXPECT_FALSE(box.contains(9, 20));
}

TEST_F(GestureLogicTest, EraserDragMovesWindowErasesAroundPointerAndParksOnRelease) {
    state.penSelected = 0;
    actions.eraser = true;
    doc.AddSegment(250, 250, 260, 260, 0, 1);  // within 100 of (300, 300)
    doc.AddSegment(150, 300, 300, 300, 0, 1);  // start 150 away: stays
    gesture.leftDown(Surface::Overlay, {30, 40});

    gesture.mouseMove(Surface::Overlay, {300, 300});

    EXPECT_EQ(state.erasing, 1);
    EXPECT_EQ(state.drawing, 0);
    EXPECT_EQ(segmentsText(doc), Texts{"150,300-300,300"});
    EXPECT_EQ(actions.calls,
              (Texts{"cursor 168", "raise eraser 30,40 20x20", "move eraser 274,271 198x123",
                     "repaint overlay 200,200 200x200"}));

    actions.calls.clear();
    gesture.leftUp(Surface::Overlay);

    EXPECT_EQ(state.erasing, 0);
    EXPECT_EQ(actions.calls, (Texts{"move eraser -200,-210 198x123", "cursor 233"}));
}

TEST_F(GestureLogicTest, RepaintAfterAnEraseTakesNothingBeyondTheEraseBox) {
    state.penSelected = 0;
    actions.eraser = true;
    doc.AddSegment(290, 290, 310, 310, 0, 1);  // inside: erased, so the area is repainted
    doc.AddSegment(350, 350, 401, 401, 0, 1);  // one past the box's right and bottom sides
    doc.AddSegment(199, 199, 250, 250, 0, 1);  // one before its left and top sides
    gesture.leftDown(Surface::Overlay, {300, 300});
    gesture.mouseMove(Surface::Overlay, {300, 300});
    ASSERT_FALSE(actions.repainted.empty());

    // The window repaints what was asked; with the eraser window up, that
    // repaint deletes what lies inside the repainted area.
    for (const QRect& area : actions.repainted) {
        EXPECT_FALSE(gesture.paint(area));
    }

    EXPECT_EQ(segmentsText(doc), (Texts{"350,350-401,401", "199,199-250,250"}));
}

TEST_F(GestureLogicTest, RightPressStopsErasing) {
    state.penSelected = 0;
    gesture.leftDown(Surface::Board, {1, 1});
    gesture.rightDown();
    doc.AddSegment(5, 5, 6, 6, 0, 1);

    gesture.mouseMove(Surface::Board, {5, 5});

    EXPECT_EQ(state.erasing, 0);
    EXPECT_EQ(doc.GetSegmentCount(), 1);
}

TEST_F(GestureLogicTest, RepaintDuringAnEraserDragDeletesInsideAndDrawsNothing) {
    doc.AddSegment(10, 10, 40, 60, 0, 1);  // far corner on the far edges: inside
    doc.AddSegment(10, 10, 41, 10, 0, 1);  // one past the right edge
    doc.AddSegment(0, 0, 5, 5, 0, 1);      // outside
    actions.eraser = true;
    EXPECT_TRUE(gesture.paint(QRect(0, 0, 100, 100)));  // chosen, not dragging
    EXPECT_EQ(doc.GetSegmentCount(), 3);
    state.erasing = 1;

    EXPECT_FALSE(gesture.paint(QRect(10, 10, 30, 50)));
    EXPECT_EQ(doc.GetSegmentCount(), 2);

    actions.eraser = false;
    EXPECT_TRUE(gesture.paint(QRect(0, 0, 100, 100)));
    EXPECT_EQ(doc.GetSegmentCount(), 2);
}

TEST_F(GestureLogicTest, ToolbarRectangleIsHalfOpen) {
    const QRect rect(100, 200, 30, 300);

    EXPECT_TRUE(toolbarRectContains(rect, {100, 200}));
    EXPECT_TRUE(toolbarRectContains(rect, {129, 499}));
    EXPECT_FALSE(toolbarRectContains(rect, {130, 300}));
    EXPECT_FALSE(toolbarRectContains(rect, {110, 500}));
    EXPECT_FALSE(toolbarRectContains(rect, {99, 300}));
}

TEST_F(GestureLogicTest, StrokeReachingToolbarIsForwardedUntilNextPressOutside) {
    actions.toolbar = QRect(100, 100, 30, 300);
    gesture.leftDown(Surface::Overlay, {50, 150});
    gesture.mouseMove(Surface::Overlay, {110, 150});  // tested point: lastPoint (50,150)
    ASSERT_EQ(doc.GetSegmentCount(), 1);
    EXPECT_TRUE(actions.forwarded.empty());

    gesture.mouseMove(Surface::Overlay, {300, 150});  // lastPoint (110,150) is in the toolbar
    gesture.mouseMove(Surface::Overlay, {400, 400});
    gesture.leftUp(Surface::Overlay);

    EXPECT_EQ(doc.GetSegmentCount(), 1);
    ASSERT_EQ(actions.forwarded.size(), 3u);
    EXPECT_EQ(actions.forwarded[0].message, PointerMessage::Move);
    EXPECT_EQ(actions.forwarded[0].relative, QPoint(10, 50));
    EXPECT_EQ(actions.forwarded[2].message, PointerMessage::LeftUp);
    EXPECT_EQ(state.drawing, 1);  // the release went to the toolbar

    gesture.leftDown(Surface::Overlay, {500, 500});
    gesture.mouseMove(Surface::Overlay, {510, 510});

    EXPECT_EQ(actions.forwarded.size(), 3u);
    EXPECT_EQ(doc.GetSegmentCount(), 2);
}

TEST_F(GestureLogicTest, PressInsideToolbarIsForwardedAndStartsNothing) {
    actions.toolbar = QRect(100, 100, 30, 300);

    gesture.leftDown(Surface::Overlay, {129, 100});

    ASSERT_EQ(actions.forwarded.size(), 1u);
    EXPECT_EQ(actions.forwarded[0].message, PointerMessage::LeftDown);
    EXPECT_EQ(actions.forwarded[0].relative, QPoint(29, 0));
    EXPECT_EQ(state.drawing, 0);
    EXPECT_EQ(state.lastPoint.x, 129);
}

}  // namespace
}  // namespace kalvo
