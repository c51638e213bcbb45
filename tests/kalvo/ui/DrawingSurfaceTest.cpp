// The drawing windows on the offscreen platform: what a repaint shows, and the
// view commands that reach the surfaces through the frame and toolbar.

#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "KalvoUiTest.h"
#include "common/WriteFault.h"
#include "common/platform/KeyState.h"
#include "common/platform/NullWindowFinder.h"
#include "kalvo/core/BoardSaver.h"
#include "kalvo/core/CMyDoc.h"
#include "kalvo/core/DrawingState.h"
#include "kalvo/core/ToolbarCommands.h"
#include "kalvo/core/TrueColorStrip.h"
#include "kalvo/ui/CEraser.h"
#include "kalvo/ui/CMainFrame.h"
#include "kalvo/ui/CMyView.h"
#include "kalvo/ui/CTrueColorToolBar.h"
#include "kalvo/ui/SurfaceController.h"
#include "kalvo/ui/ToolbarButton.h"

namespace kalvo {
namespace {

constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kBlue = 0xFF0000;

class FixedFolder final : public FolderChooser {
public:
    std::optional<std::string> folder;
    int asked = 0;
    std::optional<std::string> chooseFolder(const std::string&, const std::string&) override {
        ++asked;
        return folder;
    }
};

class DrawingSurfaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetDrawingState();
        frame_ = std::make_unique<CMainFrame>(doc_, test::pathsIn(dir_));
        ASSERT_TRUE(frame_->OnCreate());
        drawingState().penColor = 0x0000FF;
        drawingState().penWidth = 3;

        SurfaceDialogs dialogs;
        dialogs.chooseColor = [this](COLORREF current, QRect bar, QRect button) {
            colorAsked_ = {current, bar, button};
            return nextColor_;
        };
        dialogs.chooseWidth = [this](QPoint at) {
            widthAskedAt_ = at;
            return nextWidth_;
        };
        dialogs.messageBox = [this](const QString& text) { messages_.push_back(text); };
        dialogs.grabScreen = [](const QRect&) {
            QImage shot(64, 48, QImage::Format_RGB32);
            shot.fill(Qt::darkGreen);
            return ScreenCapture{shot, 32};
        };
        dialogs.folderChooser = &folder_;
        SurfaceController::Parts parts{doc_, drawingState()};
        parts.view = frame_->GetActiveView();
        parts.toolbar = frame_->toolBar();
        parts.frame = frame_.get();
        parts.windows = &windows_;
        parts.programFolder = dir_.path().toStdString() + "/";
        parts.screen = QRect(0, 0, 800, 600);
        parts.typeKey = [this](int vk) {
            typed_.push_back({vk, surfaces_->overlay().isVisible()});
            return true;
        };
        surfaces_ = std::make_unique<SurfaceController>(std::move(parts), std::move(dialogs));
        surfaces_->installCommands();
    }
    void TearDown() override {
        surfaces_.reset();
        frame_.reset();
        resetDrawingState();
    }

    // The surface a mode command turns on.
    DrawingWindow& turnOn(int command) {
        frame_->OnCommand(command);
        return command == ID_WHITEBOARD ? surfaces_->board() : surfaces_->overlay();
    }
    void stroke(QWidget& w, std::initializer_list<QPoint> points) {
        auto it = points.begin();
        QTest::mousePress(&w, Qt::LeftButton, {}, *it);
        for (++it; it != points.end(); ++it) {
            QTest::mouseMove(&w, *it);
        }
        QTest::mouseRelease(&w, Qt::LeftButton, {}, *(points.end() - 1));
    }

    QTemporaryDir dir_;
    CMyDoc doc_;
    std::unique_ptr<CMainFrame> frame_;
    common::NullWindowFinder windows_;
    FixedFolder folder_;
    std::unique_ptr<SurfaceController> surfaces_;
    std::optional<COLORREF> nextColor_;
    std::optional<int> nextWidth_;
    std::optional<std::tuple<COLORREF, QRect, QRect>> colorAsked_;  // colour, toolbar, button
    std::optional<QPoint> widthAskedAt_;
    std::vector<QString> messages_;
    std::vector<std::pair<int, bool>> typed_;  // keys typed blind, and whether the overlay showed
};

TEST_F(DrawingSurfaceTest, OverlayRepaintLeavesWhiteTransparentAndColoursOpaque) {
    doc_.AddSegment(100, 100, 300, 100, 0x0000FF, 5);
    doc_.AddSegment(100, 200, 300, 200, kWhite, 5);
    doc_.AddSegment(100, 300, 300, 300, kBlue, 1);

    const QImage shown = surfaces_->overlay().grab().toImage();

    EXPECT_EQ(shown.pixel(200, 100), qRgba(255, 0, 0, 255));
    EXPECT_EQ(shown.pixel(200, 300), qRgba(0, 0, 255, 255));
    // Where there is no ink, and on the white segment, the desktop shows: at
    // most the faint floor that keeps the pointer on the overlay.
    EXPECT_LE(qAlpha(shown.pixel(200, 200)), 1);
    EXPECT_LE(qAlpha(shown.pixel(500, 500)), 1);
    EXPECT_GE(qAlpha(shown.pixel(500, 500)), 1);
}

TEST_F(DrawingSurfaceTest, WhiteboardShowsWhiteUnderTheInk) {
    doc_.AddSegment(10, 10, 90, 10, kBlue, 3);

    const QImage shown = surfaces_->board().grab().toImage();

    EXPECT_EQ(shown.pixel(50, 10), qRgba(0, 0, 255, 255));
    EXPECT_EQ(shown.pixel(50, 50), qRgba(255, 255, 255, 255));
}

TEST_F(DrawingSurfaceTest, WindowsAreHiddenFramelessNamedAndCarryIcon151) {
    DrawingWindow& overlay = surfaces_->overlay();
    DrawingWindow& board = surfaces_->board();
    const auto icon = [](const QIcon& i) {
        return i.pixmap(32).toImage().convertToFormat(QImage::Format_ARGB32);
    };
    const QImage icon151 =
        QImage(QStringLiteral(":/kalvo/toolbar/151-32.png")).convertToFormat(QImage::Format_ARGB32);

    EXPECT_FALSE(overlay.isVisible());
    EXPECT_FALSE(board.isVisible());
    EXPECT_EQ(overlay.windowTitle(), QString::fromUtf8("画板"));
    EXPECT_EQ(board.windowTitle(), QString::fromUtf8("bai画板"));
    EXPECT_TRUE(overlay.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(overlay.testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_FALSE(board.testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_EQ(overlay.geometry(), QRect(0, 0, 800, 600));
    EXPECT_EQ(SurfaceController::windows().overlay, &overlay);
    EXPECT_EQ(SurfaceController::windows().board, &board);
    ASSERT_FALSE(icon151.isNull());
    EXPECT_EQ(icon(overlay.windowIcon()), icon151);
    EXPECT_EQ(icon(board.windowIcon()), icon151);
}

TEST_F(DrawingSurfaceTest, EachSurfaceShowsItsOwnNormalAndHotImagesAndKeepsTheDisabledSet) {
    CTrueColorToolBar& bar = *frame_->toolBar();
    const auto argb = [](const QImage& image) {
        return image.convertToFormat(QImage::Format_ARGB32);
    };
    const auto strip = [&](int id, int index) {
        return argb(splitTrueColorStrip(QImage(CTrueColorToolBar::bitmapPath(id)), 24)
                        .at(std::size_t(index)));
    };
    // Every button shows image i of the normal strip and of the hot strip.
    const auto shows = [&](int normal, int hot) {
        for (int i = 0; i < bar.buttonCount(); ++i) {
            if (argb(bar.button(i)->normalImage().toImage()) != strip(normal, i) ||
                argb(bar.button(i)->hotImage().toImage()) != strip(hot, i)) {
                return false;
            }
        }
        return true;
    };
    std::vector<bool> seen;

    seen.push_back(shows(209, 208));
    frame_->OnCommand(ID_DRAW_ON_SCREEN);
    seen.push_back(shows(207, 210));
    frame_->OnCommand(ID_DRAW_ON_SCREEN);
    seen.push_back(shows(209, 208));
    frame_->OnCommand(ID_WHITEBOARD);
    seen.push_back(shows(211, 212));
    const QImage disabledOnBoard = argb(bar.button(10)->disabledImage().toImage());
    frame_->OnCommand(ID_WHITEBOARD);
    seen.push_back(shows(209, 208));

    EXPECT_EQ(seen, std::vector<bool>(5, true));
    EXPECT_EQ(disabledOnBoard, strip(209, 10));
}

TEST_F(DrawingSurfaceTest, CloseRequestKeepsWindowAndShowsMessage) {
    DrawingWindow& overlay = turnOn(ID_DRAW_ON_SCREEN);

    EXPECT_FALSE(overlay.close());

    EXPECT_TRUE(overlay.isVisible());
    EXPECT_EQ(messages_, std::vector<QString>{QStringLiteral("WM_CLOSE")});
}

TEST_F(DrawingSurfaceTest, CloseRequestDuringAStrokeEndsIt) {
    DrawingWindow& overlay = turnOn(ID_DRAW_ON_SCREEN);
    QTest::mousePress(&overlay, Qt::LeftButton, {}, {50, 50});
    QTest::mouseMove(&overlay, {100, 50});
    ASSERT_EQ(doc_.GetSegmentCount(), 1);

    // The box is modal: the button's release while it is up never reaches
    // the overlay, so the next move must not continue the stroke.
    EXPECT_FALSE(overlay.close());
    QTest::mouseMove(&overlay, {400, 300});

    EXPECT_EQ(drawingState().drawing, 0);
    EXPECT_EQ(doc_.GetSegmentCount(), 1);
    EXPECT_EQ(messages_.size(), 1u);
}

TEST_F(DrawingSurfaceTest, StrokeOnOverlayStoresSegmentsAndShowsLiveInk) {
    DrawingWindow& overlay = turnOn(ID_DRAW_ON_SCREEN);
    ASSERT_TRUE(overlay.isVisible());
    EXPECT_FALSE(frame_->IsCommandEnabled(ID_WHITEBOARD));

    stroke(overlay, {{50, 50}, {150, 50}, {150, 120}});

    ASSERT_EQ(doc_.GetSegmentCount(), 2);
    EXPECT_EQ(doc_.GetSegment(1)->m_x1, 150);
    EXPECT_EQ(doc_.GetSegment(1)->m_y2, 120);
    EXPECT_EQ(overlay.ink().image().pixel(100, 50), qRgba(255, 0, 0, 255));

    frame_->OnCommand(ID_DRAW_ON_SCREEN);

    EXPECT_FALSE(overlay.isVisible());
    EXPECT_EQ(doc_.GetSegmentCount(), 0);
}

TEST_F(DrawingSurfaceTest, EraserWindowFollowsDragErasesAndParks) {
    DrawingWindow& board = turnOn(ID_WHITEBOARD);
    doc_.AddSegment(300, 300, 320, 310, kBlue, 2);  // near the drag
    doc_.AddSegment(10, 10, 20, 20, kBlue, 2);      // far away
    frame_->OnCommand(ID_ERASER);
    CEraser* eraser = surfaces_->eraser();
    ASSERT_NE(eraser, nullptr);
    EXPECT_EQ(frame_->GetActiveView()->m_eraser, eraser);
    EXPECT_EQ(drawingState().penSelected, 0);

    QTest::mousePress(&board, Qt::LeftButton, {}, {200, 250});
    EXPECT_EQ(eraser->geometry().topLeft(), QPoint(200, 250));
    EXPECT_EQ(SurfaceController::windows().eraser, eraser);
    QTest::mouseMove(&board, {310, 300});

    EXPECT_EQ(eraser->geometry(), QRect(284, 271, 198, 123));
    ASSERT_EQ(doc_.GetSegmentCount(), 1);
    EXPECT_EQ(doc_.GetSegment(0)->m_x1, 10);

    QTest::mouseRelease(&board, Qt::LeftButton, {}, {310, 300});

    EXPECT_EQ(eraser->geometry().topLeft(), QPoint(-200, -210));
    EXPECT_EQ(drawingState().erasing, 0);

    frame_->OnCommand(ID_PICK_PEN);

    EXPECT_EQ(surfaces_->eraser(), nullptr);
    EXPECT_EQ(frame_->GetActiveView()->m_eraser, nullptr);
}

TEST_F(DrawingSurfaceTest, ErasesRepaintedTogetherKeepTheSegmentsBetweenThem) {
    DrawingWindow& board = turnOn(ID_WHITEBOARD);
    QCoreApplication::processEvents();
    doc_.AddSegment(100, 100, 110, 110, kBlue, 2);  // under the first erase
    doc_.AddSegment(250, 250, 260, 260, kBlue, 2);  // between the two boxes
    doc_.AddSegment(400, 400, 410, 410, kBlue, 2);  // under the second erase
    frame_->OnCommand(ID_ERASER);

    // Two pointer moves before the window gets to repaint: their repaints
    // arrive as one.
    surfaces_->leftDown(board, {100, 100});
    surfaces_->mouseMove(board, {105, 105});
    surfaces_->mouseMove(board, {405, 405});
    ASSERT_EQ(doc_.GetSegmentCount(), 1);
    QCoreApplication::processEvents();

    ASSERT_EQ(doc_.GetSegmentCount(), 1);
    EXPECT_EQ(doc_.GetSegment(0)->m_x1, 250);
}

TEST_F(DrawingSurfaceTest, PressAndReleaseOnEraserWindowReachTheOverlay) {
    frame_->OnCommand(ID_DRAW_ON_SCREEN);
    frame_->OnCommand(ID_ERASER);
    CEraser* eraser = surfaces_->eraser();
    ASSERT_NE(eraser, nullptr);

    QTest::mousePress(eraser, Qt::LeftButton, {}, {5, 5});
    QTest::qWait(10);  // posted to the overlay

    EXPECT_EQ(drawingState().erasing, 1);
    EXPECT_EQ(drawingState().lastPoint.x, 0);
    EXPECT_EQ(eraser->geometry().topLeft(), QPoint(0, 0));

    QTest::mouseRelease(eraser, Qt::LeftButton, {}, {5, 5});
    EXPECT_EQ(drawingState().erasing, 0);
    QTest::qWait(10);

    EXPECT_EQ(eraser->geometry().topLeft(), QPoint(-200, -210));
}

TEST_F(DrawingSurfaceTest, ColourCommandEndsStrokeOpensAtColourButtonAndCancelKeepsColour) {
    QTest::mousePress(&turnOn(ID_DRAW_ON_SCREEN), Qt::LeftButton, {}, {10, 10});
    ASSERT_EQ(drawingState().drawing, 1);

    frame_->OnCommand(ID_COLOR_SETTING);

    EXPECT_EQ(drawingState().drawing, 0);
    EXPECT_EQ(colorAsked_, std::make_tuple(COLORREF{0x0000FF}, frame_->toolBar()->windowRect(),
                                           frame_->toolBar()->buttonRect(5)));
    EXPECT_EQ(drawingState().penColor, 0x0000FFu);

    nextColor_ = 0x00FF00;
    frame_->OnCommand(ID_COLOR_SETTING);

    EXPECT_EQ(drawingState().penColor, 0x00FF00u);
}

TEST_F(DrawingSurfaceTest, WidthMenuChangesOnlyFutureSegments) {
    DrawingWindow& board = turnOn(ID_WHITEBOARD);
    stroke(board, {{10, 10}, {40, 10}});
    nextWidth_ = 6;

    frame_->OnCommand(ID_LINE_WIDTH);
    stroke(board, {{10, 50}, {40, 50}});

    const CTrueColorToolBar* bar = frame_->toolBar();
    EXPECT_EQ(widthAskedAt_, bar->windowRect().topLeft() + bar->buttonRect(5).topLeft());
    EXPECT_EQ(drawingState().penWidth, 6);
    ASSERT_EQ(doc_.GetSegmentCount(), 2);
    EXPECT_EQ(doc_.GetSegment(0)->m_width, 3);
    EXPECT_EQ(doc_.GetSegment(1)->m_width, 6);
}

TEST_F(DrawingSurfaceTest, PageDownOnOverlayGoesToPresentationAndClears) {
    windows_.addWindow({7, "screenClass", "show", 0});
    windows_.addWindow({8, "paneClassDC", "", 7});
    DrawingWindow& overlay = turnOn(ID_DRAW_ON_SCREEN);
    stroke(overlay, {{10, 10}, {20, 20}});

    QTest::keyClick(&overlay, Qt::Key_PageDown);

    EXPECT_EQ(windows_.tappedKeys(), std::vector<int>{common::VK_NEXT_KEY});
    EXPECT_TRUE(typed_.empty());
    ASSERT_EQ(windows_.activated().size(), 2u);
    EXPECT_EQ(windows_.activated()[0], common::WindowId{8});
    EXPECT_EQ(doc_.GetSegmentCount(), 0);
}

// Typed blind: nothing tells whether a presentation took it, so the board stays.
TEST_F(DrawingSurfaceTest, PageDownWithoutAnXPresentationIsTypedToTheWindowBeneath) {
    DrawingWindow& overlay = turnOn(ID_DRAW_ON_SCREEN);
    stroke(overlay, {{10, 10}, {20, 20}});

    QTest::keyClick(&overlay, Qt::Key_PageDown);

    // Typed while the overlay was out of the way, which then came back.
    EXPECT_EQ(typed_, (std::vector<std::pair<int, bool>>{{common::VK_NEXT_KEY, false}}));
    EXPECT_TRUE(overlay.isVisible());
    EXPECT_TRUE(windows_.tappedKeys().empty());
    EXPECT_EQ(doc_.GetSegmentCount(), 1);
}

TEST_F(DrawingSurfaceTest, PageKeysOnWhiteboardDoNothingSpecial) {
    windows_.addWindow({7, "screenClass", "show", 0});
    DrawingWindow& board = turnOn(ID_WHITEBOARD);
    stroke(board, {{10, 10}, {20, 20}});

    QTest::keyClick(&board, Qt::Key_PageUp);

    EXPECT_TRUE(windows_.tappedKeys().empty());
    EXPECT_TRUE(typed_.empty());
    EXPECT_EQ(doc_.GetSegmentCount(), 1);
}

TEST_F(DrawingSurfaceTest, StrokeIntoToolbarPressesItsButton) {
    frame_->OnCommand(ID_DRAW_ON_SCREEN);
    CTrueColorToolBar* bar = frame_->toolBar();
    bar->move(400, 100);
    const QPoint clear = bar->windowRect().topLeft() + bar->buttonRect(6).center();
    const QPoint outside = clear - QPoint(60, 0);
    DrawingWindow& overlay = surfaces_->overlay();
    stroke(overlay, {{300, 300}, {310, 310}});
    ASSERT_EQ(doc_.GetSegmentCount(), 1);

    // A press inside the toolbar's rectangle and its release: the clear button.
    stroke(overlay, {clear});

    EXPECT_EQ(doc_.GetSegmentCount(), 0);

    // A stroke from outside that reaches the toolbar draws only up to it.
    stroke(overlay, {outside, clear, clear + QPoint(0, 5)});

    EXPECT_EQ(doc_.GetSegmentCount(), 1);
}

TEST_F(DrawingSurfaceTest, SaveAsksFolderOnceAndWritesTheCapture) {
    const std::string out = dir_.path().toStdString() + "/saved";
    std::filesystem::create_directories(out);
    folder_.folder = out;

    frame_->OnCommand(ID_SAVE_IMAGE);
    frame_->OnCommand(ID_SAVE_IMAGE);

    EXPECT_EQ(folder_.asked, 1);
    EXPECT_EQ(drawingState().folderChosen, 1);
    EXPECT_EQ(frame_->GetActiveView()->m_saveFolder, QString::fromStdString(out + "/"));
    ASSERT_NE(surfaces_->saver(), nullptr);
    EXPECT_TRUE(std::filesystem::exists(surfaces_->saver()->lastSavedPath()));
}

TEST_F(DrawingSurfaceTest, SaveOnAFullDiskSaysWhyAndLeavesNoFile) {
    const std::string out = dir_.path().toStdString() + "/saved";
    std::filesystem::create_directories(out);
    folder_.folder = out;

    {
        tktest::ScopedWriteFault full(1000, ENOSPC);
        frame_->OnCommand(ID_SAVE_IMAGE);
    }

    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_TRUE(
        messages_[0].startsWith(QString::fromStdString("图片未能保存\n无法写入 " + out + "/")))
        << messages_[0].toStdString();
    EXPECT_TRUE(messages_[0].contains(QStringLiteral("磁盘已满")));
    EXPECT_TRUE(std::filesystem::is_empty(out));
}

TEST_F(DrawingSurfaceTest, SaveWithEraserSelectedKeepsTheSegments) {
    folder_.folder = dir_.path().toStdString();
    frame_->OnCommand(ID_DRAW_ON_SCREEN);
    doc_.AddSegment(100, 100, 200, 200, kBlue, 3);
    QTest::qWait(20);  // the overlay has shown itself before the user picks the eraser
    frame_->OnCommand(ID_ERASER);
    surfaces_->overlay().activateWindow();  // focus moves between the windows

    frame_->OnCommand(ID_SAVE_IMAGE);
    QTest::qWait(20);

    EXPECT_EQ(doc_.GetSegmentCount(), 1);
    EXPECT_FALSE(surfaces_->saver()->lastSavedPath().empty());
}

TEST_F(DrawingSurfaceTest, SaveCancelledWritesNothingAndAsksAgain) {
    frame_->OnCommand(ID_SAVE_IMAGE);
    frame_->OnCommand(ID_SAVE_IMAGE);

    EXPECT_EQ(folder_.asked, 2);
    EXPECT_EQ(drawingState().folderChosen, 0);
    EXPECT_TRUE(surfaces_->saver()->lastSavedPath().empty());
}

}  // namespace
}  // namespace kalvo
