// The drawing surfaces on a real X server: ink drawn with the pointer over the
// live desktop under a compositor, and Page Down passed to a presentation.
// Each test runs itself again on a private Xvfb (tktest::runOnPrivateDisplay).

#include <QPainter>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>

#include "common/platform/X11WindowFinder.h"
#include "kalvo/core/CMyDoc.h"
#include "kalvo/core/DrawingState.h"
#include "kalvo/ui/SurfaceController.h"
#include "kalvo/ui/SurfaceNative.h"
#include "tests/support/Wait.h"
#include "tests/support/X11.h"

// Xlib after Qt: its macros must not meet Qt's headers.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
// Xlib's event names hide Qt's; this file uses only Xlib's masks.
#undef KeyPress

namespace kalvo {
namespace {

using namespace std::chrono_literals;
using tktest::rootPixel;
using tktest::waitUntil;

// Runs the calling test on a private display and returns from it; in the
// child it opens the display and the test body follows.
#define KALVO_RUN_ON_PRIVATE_DISPLAY(compositor)                                            \
    if (!tktest::onPrivateDisplay()) {                                                      \
        if (!tktest::haveDisplay()) {                                                       \
            GTEST_SKIP() << "needs an X display";                                           \
        }                                                                                   \
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();         \
        const auto run = tktest::runOnPrivateDisplay(                                       \
            std::string(info->test_suite_name()) + "." + info->name(), compositor);         \
        if (!run.started) {                                                                 \
            GTEST_SKIP() << run.error;                                                      \
        }                                                                                   \
        EXPECT_EQ(run.exitCode, 0) << "the test failed on its private display (see above)"; \
        return;                                                                             \
    }                                                                                       \
    x_ = tktest::openDisplay();                                                             \
    ASSERT_TRUE(x_)

// A desktop stand-in: 32-pixel squares of two colours.
class PatternWindow final : public QWidget {
public:
    static constexpr QRgb kA = 0xFF00C800;  // green
    static constexpr QRgb kB = 0xFFC800C8;  // magenta

    PatternWindow() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint) {}

    static QRgb expectedAt(int x, int y) { return ((x / 32 + y / 32) % 2) ? kB : kA; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        for (int y = 0; y < height(); y += 32) {
            for (int x = 0; x < width(); x += 32) {
                p.fillRect(x, y, 32, 32, QColor::fromRgb(expectedAt(x, y)));
            }
        }
    }
};

// The Page Down presses `w` received since the last call (its key presses
// selected on `d`).
int pageDowns(Display* d, Window w) {
    int count = 0;
    for (XEvent ev; XCheckWindowEvent(d, w, KeyPressMask, &ev);) {
        count += ev.xkey.keycode == XKeysymToKeycode(d, XK_Next);
    }
    return count;
}

// A left-button drag along a row of the screen, 20 pixels a step.
void drag(Display* d, int from, int to, int y) {
    tktest::stroke(d, from, y, to, y, (to - from) / 20, 10ms, 50ms);
}

// A window of class `name`, unmapped, as another program makes it.
Window classWindow(Display* d, Window parent, QRect at, std::string name) {
    const Window w =
        XCreateSimpleWindow(d, parent, at.x(), at.y(), at.width(), at.height(), 0, 0, 0);
    XClassHint hint{name.data(), name.data()};
    XSetClassHint(d, w, &hint);
    return w;
}

class DrawingSurfaceX11 : public ::testing::Test {
protected:
    void SetUp() override { resetDrawingState(); }
    void TearDown() override { resetDrawingState(); }

    std::unique_ptr<SurfaceController> makeSurfaces(common::WindowFinder* windows) {
        SurfaceController::Parts parts{doc, drawingState()};
        parts.windows = windows;
        SurfaceDialogs dialogs;
        dialogs.messageBox = [](const QString&) {};
        return std::make_unique<SurfaceController>(std::move(parts), std::move(dialogs));
    }

    Display* d() const { return x_.get(); }

    // Gives the window the keyboard focus, and a moment to take it.
    void focus(QWidget& w) {
        XSetInputFocus(d(), static_cast<Window>(w.winId()), RevertToParent, CurrentTime);
        XSync(d(), False);
        QTest::qWait(100);
    }

    // Screen mode on, its overlay shown with the focus.
    DrawingWindow& focusedOverlay(SurfaceController& surfaces) {
        surfaces.modes().OnDrawOnScreen();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&surfaces.overlay()));
        focus(surfaces.overlay());
        return surfaces.overlay();
    }

    CMyDoc doc;
    tktest::DisplayPtr x_;
};

TEST_F(DrawingSurfaceX11, PointerStrokeLeavesInkOverVisibleDesktop) {
    KALVO_RUN_ON_PRIVATE_DISPLAY(true);
    ASSERT_TRUE(desktopStacking().compositorPresent());
    PatternWindow desktop;
    desktop.setGeometry(0, 0, 1024, 768);
    desktop.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&desktop));
    drawingState().penColor = 0x0000FF;  // red
    drawingState().penWidth = 5;
    auto surfaces = makeSurfaces(nullptr);

    surfaces->modes().OnDrawOnScreen();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&surfaces->overlay()));
    QTest::qWait(200);
    drag(d(), 200, 600, 300);
    const auto strokeEnded = [&] {
        const int n = doc.GetSegmentCount();
        return n > 0 && doc.GetSegment(n - 1)->m_x2 == 600 && drawingState().drawing == 0;
    };
    waitUntil(strokeEnded, 3s);
    QTest::qWait(500);  // the compositor draws the overlay's last frame

    // The server may merge pointer moves, so the count of segments is not fixed;
    // the chain runs from the press to the last position.
    ASSERT_TRUE(strokeEnded());
    EXPECT_EQ(doc.GetSegment(0)->m_x1, 200);
    int inked = 0;
    int strokeProbes = 0;
    for (int px = 210; px < 600; px += 7, ++strokeProbes) {
        inked += rootPixel(d(), px, 300) == 0xFFFF0000u;
    }
    int desktopSeen = 0;
    int probes = 0;
    for (int py = 20; py < 768; py += 97) {
        for (int px = 13; px < 1024; px += 89) {
            if (py > 280 && py < 320) {
                continue;  // the stroke's row
            }
            ++probes;
            // The overlay's floor of alpha 1 may darken by one step at most.
            const QRgb seen = rootPixel(d(), px, py);
            const QRgb want = PatternWindow::expectedAt(px, py);
            desktopSeen += std::abs(qRed(seen) - qRed(want)) <= 2 &&
                           std::abs(qGreen(seen) - qGreen(want)) <= 2 &&
                           std::abs(qBlue(seen) - qBlue(want)) <= 2;
        }
    }
    EXPECT_EQ(inked, strokeProbes);
    EXPECT_EQ(desktopSeen, probes);
}

TEST_F(DrawingSurfaceX11, PageDownReachesPresentationPane) {
    KALVO_RUN_ON_PRIVATE_DISPLAY(false);
    Display* d = this->d();
    const Window show = classWindow(d, DefaultRootWindow(d), {0, 0, 400, 300}, "screenClass");
    const Window pane = classWindow(d, show, {10, 10, 300, 200}, "paneClassDC");
    XSelectInput(d, pane, KeyPressMask);
    XMapWindow(d, pane);
    XMapWindow(d, show);
    XSync(d, False);
    auto finder = common::X11WindowFinder::open(nullptr);
    ASSERT_TRUE(finder);
    auto surfaces = makeSurfaces(finder.get());
    DrawingWindow& overlay = focusedOverlay(*surfaces);
    doc.AddSegment(1, 1, 50, 50, 0xFF, 3);

    tktest::tapKeys(d, {XK_Next});
    int paneKeys = 0;
    waitUntil([&] { return (paneKeys += pageDowns(d, pane)) > 0; });

    // Without a compositor the overlay takes a new picture of the screen
    // after the key, and then has the focus again.
    const auto overlayFocused = [&] {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(d, &focus, &revert);
        return overlay.isVisible() && focus == static_cast<Window>(overlay.winId());
    };
    waitUntil(overlayFocused);

    EXPECT_GT(paneKeys, 0);
    EXPECT_EQ(doc.GetSegmentCount(), 0);
    EXPECT_TRUE(overlayFocused());
    XDestroyWindow(d, show);
}

// Without a compositor, with the eraser chosen: undo and redo redraw the ink
// over the overlay's picture of the screen and touch only the erased part.
TEST_F(DrawingSurfaceX11, CtrlZBringsBackWhatTheEraserTookAndCtrlYTakesItAgain) {
    KALVO_RUN_ON_PRIVATE_DISPLAY(false);
    Display* d = this->d();
    drawingState().penColor = 0xFF0000;  // blue
    drawingState().penWidth = 6;
    auto surfaces = makeSurfaces(nullptr);
    DrawingWindow& overlay = focusedOverlay(*surfaces);
    const auto blueAlong = [&](int y) {
        int blue = 0;
        for (int px = 110; px < 900; px += 10) {
            blue += rootPixel(d, px, y) == 0xFF0000FFu;
        }
        return blue;
    };
    drag(d, 100, 900, 200);
    drag(d, 100, 900, 600);
    ASSERT_TRUE(waitUntil([&] { return blueAlong(200) == 79 && blueAlong(600) == 79; }));
    const int drawn = doc.GetSegmentCount();
    surfaces->modes().OnEraser();
    drag(d, 500, 540, 230);  // the eraser's box reaches the upper stroke only
    ASSERT_TRUE(waitUntil([&] { return drawingState().erasing == 0 && blueAlong(200) < 79; }));
    const int erased = blueAlong(200);
    const int left = doc.GetSegmentCount();
    const qint64 picture = overlay.background().cacheKey();
    focus(overlay);

    tktest::tapKeys(d, {XK_Control_L, XK_z});
    const bool undone = waitUntil([&] { return blueAlong(200) == 79; });
    const int afterUndo = doc.GetSegmentCount();
    tktest::tapKeys(d, {XK_Control_L, XK_y});
    const bool redone = waitUntil([&] { return blueAlong(200) == erased; });

    EXPECT_LT(left, drawn);
    EXPECT_TRUE(undone);
    EXPECT_EQ(afterUndo, drawn);
    EXPECT_TRUE(redone);
    EXPECT_EQ(doc.GetSegmentCount(), left);
    EXPECT_EQ(blueAlong(600), 79);
    EXPECT_TRUE(overlay.isVisible());
    EXPECT_EQ(overlay.background().cacheKey(), picture) << "a new screen picture was taken";
}

// Keys come back when the matching window cannot take them: they must not be
// passed on without end.
TEST_F(DrawingSurfaceX11, PageDownForAHiddenPresentationIsPassedOnNoMore) {
    KALVO_RUN_ON_PRIVATE_DISPLAY(true);
    Display* d = this->d();
    const Window hidden = classWindow(d, DefaultRootWindow(d), {0, 0, 400, 300}, "screenClass");
    XSync(d, False);
    auto finder = common::X11WindowFinder::open(nullptr);
    ASSERT_TRUE(finder);
    auto surfaces = makeSurfaces(finder.get());
    DrawingWindow& overlay = focusedOverlay(*surfaces);
    doc.AddSegment(1, 1, 50, 50, 0xFF, 3);
    XSelectInput(d, static_cast<Window>(overlay.winId()), KeyPressMask);

    tktest::tapKeys(d, {XK_Next});
    QTest::qWait(500);

    EXPECT_EQ(pageDowns(d, static_cast<Window>(overlay.winId())), 1);
    EXPECT_EQ(doc.GetSegmentCount(), 1);  // nothing was passed on: the board stays
    XDestroyWindow(d, hidden);
}

// Without a compositor the overlay shows a picture of the screen: clearing
// the board takes a new one, so the desktop of now shows through.
TEST_F(DrawingSurfaceX11, ClearShowsTheDesktopOfNowWithoutACompositor) {
    KALVO_RUN_ON_PRIVATE_DISPLAY(false);
    ASSERT_FALSE(desktopStacking().compositorPresent());
    QWidget desktop(nullptr, Qt::Window | Qt::FramelessWindowHint);
    desktop.setGeometry(0, 0, 1024, 768);
    desktop.setStyleSheet(QStringLiteral("background: #00c800"));
    desktop.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&desktop));
    auto surfaces = makeSurfaces(nullptr);
    surfaces->modes().OnDrawOnScreen();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&surfaces->overlay()));
    QTest::qWait(100);
    // The desktop changes beneath the overlay (the next slide).
    desktop.setStyleSheet(QStringLiteral("background: #c800c8"));
    QTest::qWait(100);
    const QRgb before = rootPixel(d(), 300, 300);

    surfaces->modes().OnClearBoard();
    waitUntil(
        [&] { return surfaces->overlay().isVisible() && rootPixel(d(), 300, 300) == 0xFFC800C8u; });

    EXPECT_EQ(before, 0xFF00C800u);
    EXPECT_TRUE(surfaces->overlay().isVisible());
    EXPECT_EQ(rootPixel(d(), 300, 300), 0xFFC800C8u);
    EXPECT_EQ(surfaces->overlay().background().pixel(300, 300), 0xFFC800C8u);
}

TEST_F(DrawingSurfaceX11, WindowsCarryTheirClassNames) {
    KALVO_RUN_ON_PRIVATE_DISPLAY(false);
    auto surfaces = makeSurfaces(nullptr);
    auto finder = common::X11WindowFinder::open(nullptr);
    ASSERT_TRUE(finder);

    surfaces->modes().OnWhiteboard();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&surfaces->board()));

    EXPECT_EQ(finder->findByClass("wBoard", ""),
              static_cast<common::WindowId>(surfaces->board().winId()));
    surfaces->modes().OnWhiteboard();
    surfaces->modes().OnDrawOnScreen();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&surfaces->overlay()));
    EXPECT_EQ(finder->findByClass("palette", ""),
              static_cast<common::WindowId>(surfaces->overlay().winId()));
}

}  // namespace
}  // namespace kalvo
