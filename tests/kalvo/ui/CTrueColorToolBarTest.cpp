#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "KalvoUiTest.h"
#include "common/platform/FakeWindowStacking.h"
#include "kalvo/core/CMyDoc.h"
#include "kalvo/core/DrawingState.h"
#include "kalvo/core/ToolbarCommands.h"
#include "kalvo/ui/CMainFrame.h"
#include "kalvo/ui/CMyView.h"
#include "kalvo/ui/CTrueColorToolBar.h"
#include "kalvo/ui/ToolbarButton.h"

namespace kalvo {
namespace {

class ToolbarTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetDrawingState();
        frame_ = std::make_unique<CMainFrame>(doc_, test::pathsIn(dir_));
        ASSERT_TRUE(frame_->OnCreate());
        bar_ = frame_->toolBar();
    }
    void TearDown() override { resetDrawingState(); }

    QTemporaryDir dir_;
    CMyDoc doc_;
    std::unique_ptr<CMainFrame> frame_;
    CTrueColorToolBar* bar_ = nullptr;
};

TEST_F(ToolbarTest, TwelveButtonsInOrderNamedByCommandWithTheirTooltips) {
    const int commands[] = {32771, 32781, 32774, 32776, 32775, 32823,
                            32783, 32777, 32784, 57670, 32837, 32824};
    const char* tips[] = {"Draw on the screen",
                          "Draw on a whiteboard",
                          "Pick a pen",
                          "Eraser",
                          "Line width Setting",
                          "Color Setting",
                          "Clear the board",
                          "Save as image",
                          "Virtual Keyboard",
                          "Help",
                          "",
                          "Exit"};

    ASSERT_EQ(bar_->buttonCount(), 12);
    for (int i = 0; i < 12; ++i) {
        SCOPED_TRACE(i);
        ToolbarButton* b = bar_->button(i);
        EXPECT_EQ(b->command(), commands[i]);
        EXPECT_EQ(b->objectName(), QString::number(commands[i]));
        EXPECT_EQ(b->toolTip(), QString::fromUtf8(tips[i]));
        EXPECT_EQ(bar_->findChild<ToolbarButton*>(QString::number(commands[i])), b);
    }
    EXPECT_EQ(bar_->button(12), nullptr);
    EXPECT_TRUE(bar_->buttonRect(12).isEmpty());
}

TEST_F(ToolbarTest, FloatsAlwaysOnTopWithoutSystemFrameAndCaptionedPenOstraLab) {
    const Qt::WindowFlags flags = bar_->windowFlags();

    EXPECT_TRUE(flags.testFlag(Qt::Tool));
    EXPECT_TRUE(flags.testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_EQ(bar_->windowTitle(), "Pen-Ostra Lab");
    EXPECT_EQ(bar_->captionText(), "Pen-Ostra Lab");
    EXPECT_TRUE(bar_->isVisible());
    EXPECT_FALSE(frame_->isVisible());
    EXPECT_EQ(frame_->pos(), QPoint(-20, -50));
    EXPECT_EQ(frame_->windowTitle(), " Kalvo");
}

TEST_F(ToolbarTest, RaisedAgainOnlyWhileAnotherProgramCoversIt) {
    common::FakeWindowStacking stacking;  // raising uncovers
    bar_->useStacking(stacking);
    stacking.covered = true;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !stacking.raised.empty(); }, 2000));
    EXPECT_EQ(stacking.raised, std::vector<common::WindowId>{bar_->winId()});
    QTest::qWait(500);  // one more check, uncovered
    EXPECT_EQ(stacking.raised.size(), 1U);
}

TEST_F(ToolbarTest, OnlyTheExitButtonTakesTheToolbarAway) {
    // A close request from the window system (a close key, a task list)
    // would leave the program running with nothing to end it from.
    EXPECT_FALSE(bar_->close());
    EXPECT_TRUE(bar_->isVisible());

    QSignalSpy closed(frame_.get(), &CMainFrame::closed);
    frame_->OnCommand(ID_EXIT);

    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(bar_->isVisible());
}

TEST_F(ToolbarTest, StandsAsOneColumnNearTheRightEdgeAndOnTheScreen) {
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    const QRect window = bar_->windowRect();

    for (int i = 1; i < 12; ++i) {
        EXPECT_EQ(bar_->buttonRect(i).left(), bar_->buttonRect(0).left());
        EXPECT_EQ(bar_->buttonRect(i).top(), bar_->buttonRect(i - 1).bottom() + 1);
        EXPECT_EQ(bar_->button(i)->geometry(), bar_->buttonRect(i));
    }
    EXPECT_EQ(bar_->buttonRect(0).size(), QSize(31, 30));
    EXPECT_EQ(
        window.topLeft(),
        QPoint(std::min(screen.width() - 70, screen.width() - window.width()),
               std::max(0, std::min(screen.height() - 450, screen.height() - window.height()))));
    EXPECT_LE(window.right(), screen.width() - 1);
    EXPECT_LE(window.bottom(), screen.height() - 1);
}

TEST_F(ToolbarTest, CommandsWithoutHandlerAreDisabledAndTheUnusedButtonNeverWorks) {
    frame_->GetActiveView()->SetCommandHandler(ID_PICK_PEN, [] {});
    QSignalSpy triggered(bar_, &CTrueColorToolBar::commandTriggered);

    EXPECT_FALSE(bar_->buttonForCommand(ID_UNUSED_BUTTON)->isEnabled());
    EXPECT_TRUE(bar_->buttonForCommand(ID_EXIT)->isEnabled());
    EXPECT_TRUE(bar_->buttonForCommand(ID_CLEAR_BOARD)->isEnabled());
    EXPECT_TRUE(bar_->buttonForCommand(ID_PICK_PEN)->isEnabled());
    QTest::mouseClick(bar_->buttonForCommand(ID_UNUSED_BUTTON), Qt::LeftButton);
    EXPECT_EQ(triggered.count(), 0);
    QTest::mouseClick(bar_->buttonForCommand(ID_PICK_PEN), Qt::LeftButton);
    ASSERT_EQ(triggered.count(), 1);
    EXPECT_EQ(triggered.at(0).at(0).toInt(), ID_PICK_PEN);
}

TEST_F(ToolbarTest, SurfaceCommandsAreDisabledWhileTheOtherSurfaceIsOn) {
    CMyView& view = *frame_->GetActiveView();
    view.SetCommandHandler(ID_DRAW_ON_SCREEN, [] {});
    view.SetCommandHandler(ID_WHITEBOARD, [] {});

    drawingState().screenActive = 1;
    frame_->UpdateToolbarStates();
    const bool boardWhileScreen = bar_->buttonForCommand(ID_WHITEBOARD)->isEnabled();
    const bool screenWhileScreen = bar_->buttonForCommand(ID_DRAW_ON_SCREEN)->isEnabled();
    drawingState().screenActive = 0;
    drawingState().boardActive = 1;
    frame_->UpdateToolbarStates();

    EXPECT_FALSE(boardWhileScreen);
    EXPECT_TRUE(screenWhileScreen);
    EXPECT_FALSE(bar_->buttonForCommand(ID_DRAW_ON_SCREEN)->isEnabled());
    EXPECT_TRUE(bar_->buttonForCommand(ID_WHITEBOARD)->isEnabled());
}

TEST_F(ToolbarTest, ForwardedPointerEventsLightAndTriggerButtons) {
    QSignalSpy triggered(bar_, &CTrueColorToolBar::commandTriggered);
    const QPoint clear = bar_->buttonRect(6).center();
    const QPoint unused = bar_->buttonRect(10).center();

    EXPECT_TRUE(bar_->deliverMouseEvent(QEvent::MouseMove, clear));
    const bool hot = bar_->button(6)->isHot();
    bar_->deliverMouseEvent(QEvent::MouseButtonPress, clear);
    bar_->deliverMouseEvent(QEvent::MouseButtonRelease, clear);
    bar_->deliverMouseEvent(QEvent::MouseButtonPress, unused);
    bar_->deliverMouseEvent(QEvent::MouseButtonRelease, unused);
    // Pressed on a button, released off it: no command.
    bar_->deliverMouseEvent(QEvent::MouseButtonPress, clear);
    bar_->deliverMouseEvent(QEvent::MouseButtonRelease, bar_->buttonRect(11).center());

    EXPECT_TRUE(hot);
    ASSERT_EQ(triggered.count(), 1);
    EXPECT_EQ(triggered.at(0).at(0).toInt(), ID_CLEAR_BOARD);
    EXPECT_FALSE(bar_->deliverMouseEvent(QEvent::MouseMove, QPoint(-1, 5)));
    EXPECT_FALSE(bar_->button(6)->isHot());
}

TEST_F(ToolbarTest, DraggingTheCaptionMovesTheToolbar) {
    const QPoint start = bar_->pos();
    const QPoint grip = bar_->captionRect().center();

    bar_->deliverMouseEvent(QEvent::MouseButtonPress, grip);
    bar_->deliverMouseEvent(QEvent::MouseMove, grip + QPoint(-30, 12));
    bar_->deliverMouseEvent(QEvent::MouseButtonRelease, grip + QPoint(-30, 12));

    EXPECT_EQ(bar_->pos(), start + QPoint(-30, 12));
}

TEST_F(ToolbarTest, ContextMenuOffersUndoAndRedoEnabledByTheirCommands) {
    int undone = 0;
    bool canRedo = false;
    frame_->GetActiveView()->SetCommandHandler(ID_EDIT_UNDO, [&] { ++undone; });
    frame_->GetActiveView()->SetCommandHandler(
        ID_EDIT_REDO, [] {}, [&] { return canRedo; });
    const QPoint at = bar_->captionRect().center();
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, at, bar_->mapToGlobal(at));

    QCoreApplication::sendEvent(bar_, &rightClick);
    ASSERT_NE(bar_->contextMenu(), nullptr);
    const QList<QAction*> items = bar_->contextMenu()->actions();
    ASSERT_GE(items.size(), 2);
    const bool redoWhileNothing = items[1]->isEnabled();
    canRedo = true;
    frame_->UpdateToolbarStates();
    items[0]->trigger();

    EXPECT_EQ(items[0]->objectName(), QString::number(ID_EDIT_UNDO));
    EXPECT_EQ(items[1]->objectName(), QString::number(ID_EDIT_REDO));
    EXPECT_TRUE(items[0]->isEnabled());
    EXPECT_FALSE(redoWhileNothing);
    EXPECT_TRUE(items[1]->isEnabled());
    EXPECT_EQ(undone, 1);
    bar_->contextMenu()->hide();
}

TEST_F(ToolbarTest, MissingStripsAreRefused) {
    EXPECT_FALSE(bar_->SetTrueColorBitmap(CTrueColorToolBar::NormalImages, 999, 24));
    EXPECT_FALSE(bar_->LoadTrueColorToolBar(24, 209, 999, 0));
}

}  // namespace
}  // namespace kalvo
