// The drawing surfaces on a real X server: ink drawn with the pointer over the
// live desktop under a compositor, and Page Down passed to a presentation.
// Each test runs itself again on a private Xvfb (see PrivateDisplay.h).

#include <QGuiApplication>
#include <QPainter>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>

#include "PrivateDisplay.h"
#include "common/platform/X11WindowFinder.h"
#include "kalvo/core/CMyDoc.h"
#include "kalvo/core/DrawingState.h"
#include "kalvo/ui/SurfaceController.h"
#include "kalvo/ui/SurfaceNative.h"

// Xlib after Qt: its macros must not meet Qt's headers.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
// Xlib's event names hide Qt's; this file uses only Xlib's masks.
#undef KeyPress

namespace kalvo {
namespace {

using x11test::inChild;
using x11test::runOnPrivateDisplay;

// Runs the calling test on a private display and returns from it; in the
// child it does nothing and the test body follows.
#define KALVO_RUN_ON_PRIVATE_DISPLAY(compositor)                                            \
    if (!inChild()) {                                                                       \
        if (std::getenv("DISPLAY") == nullptr) {                                            \
            GTEST_SKIP() << "needs an X display";                                           \
        }                                                                                   \
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();         \
        const auto run = runOnPrivateDisplay(                                               \
            std::string(info->test_suite_name()) + "." + info->name(), compositor);         \
        if (!run.started) {                                                                 \
            GTEST_SKIP() << run.error;                                                      \
        }                                                                                   \
        EXPECT_EQ(run.exitCode, 0) << "the test failed on its private display (see above)"; \
        return;                                                                             \
    }

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

// Counts the key presses a widget receives.
class KeyCounter final : public QObject {
public:
    KeyCounter(QWidget& widget, int& count) : count_(count) { widget.installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            ++count_;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    int& count_;
};

struct DisplayCloser {
    void operator()(Display* d) const { XCloseDisplay(d); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

QRgb rootPixel(XImage* image, int x, int y) {
    return 0xFF000000u | static_cast<QRgb>(XGetPixel(image, x, y) & 0xFFFFFF);
}

bool waitUntil(const std::function<bool()>& done, int ms = 3000) {
    for (int waited = 0; waited < ms && !done(); waited += 20) {
        QTest::qWait(20);
    }
    return done();
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

    CMyDoc doc;
};

TEST_F(DrawingSurfaceX11, PointerStrokeLeavesInkOverVisibleDesktop) {
    KALVO_RUN_ON_PRIVATE_DISPLAY(true);
    ASSERT_TRUE(desktopStacking().compositorPresent());
    DisplayPtr x(XOpenDisplay(nullptr));
    ASSERT_TRUE(x);
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
    XTestFakeMotionEvent(x.get(), 0, 200, 300, CurrentTime);
    XTestFakeButtonEvent(x.get(), 1, True, CurrentTime);
    XFlush(x.get());
    QTest::qWait(50);
    for (int px = 220; px <= 600; px += 20) {
        XTestFakeMotionEvent(x.get(), 0, px, 300, CurrentTime);
        XFlush(x.get());
        QTest::qWait(10);
    }
    XTestFakeButtonEvent(x.get(), 1, False, CurrentTime);
    XFlush(x.get());
    const auto strokeEnded = [&] {
        const int n = doc.GetSegmentCount();
        return n > 0 && doc.GetSegment(n - 1)->m_x2 == 600 && drawingState().drawing == 0;
    };
    waitUntil(strokeEnded);
    QTest::qWait(500);  // the compositor draws the overlay's last frame

    // The server may merge pointer moves, so the count of segments is not fixed;
    // the chain runs from the press to the last position.
    ASSERT_TRUE(strokeEnded());
    EXPECT_EQ(doc.GetSegment(0)->m_x1, 200);
    XImage* shot =
        XGetImage(x.get(), DefaultRootWindow(x.get()), 0, 0, 1024, 768, AllPlanes, ZPixmap);
    ASSERT_NE(shot, nullptr);
    int inked = 0;
    int strokeProbes = 0;
    for (int px = 210; px < 600; px += 7, ++strokeProbes) {
        inked += rootPixel(shot, px, 300) == 0xFFFF0000u;
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
            const QRgb seen = rootPixel(shot, px, py);
            const QRgb want = PatternWindow::expectedAt(px, py);
            desktopSeen += std::abs(qRed(seen) - qRed(want)) <= 2 &&
                           std::abs(qGreen(seen) - qGreen(want)) <= 2 &&
                           std::abs(qBlue(seen) - qBlue(want)) <= 2;
        }
    }
    XDestroyImage(shot);
    EXPECT_EQ(inked, strokeProbes);
    EXPECT_EQ(desktopSeen, probes);
}

TEST_F(DrawingSurfaceX11, PageDownReachesPresentationPane) {
    KALVO_RUN_ON_PRIVATE_DISPLAY(false);
    DisplayPtr x(XOpenDisplay(nullptr));
    ASSERT_TRUE(x);
    Display* d = x.get();
    const Window show = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 400, 300, 0, 0, 0);
    const Window pane = XCreateSimpleWindow(d, show, 10, 10, 300, 200, 0, 0, 0);
    char showName[] = "screenClass";
    char paneName[] = "paneClassDC";
    XClassHint showHint{showName, showName};
    XClassHint paneHint{paneName, paneName};
    XSetClassHint(d, show, &showHint);
    XSetClassHint(d, pane, &paneHint);
    XSelectInput(d, pane, KeyPressMask);
    XMapWindow(d, pane);
    XMapWindow(d, show);
    XSync(d, False);
    auto finder = common::X11WindowFinder::open(nullptr);
    ASSERT_TRUE(finder);
    auto surfaces = makeSurfaces(finder.get());
    surfaces->modes().OnDrawOnScreen();
    DrawingWindow& overlay = surfaces->overlay();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&overlay));
    doc.AddSegment(1, 1, 50, 50, 0xFF, 3);
    XSetInputFocus(d, static_cast<Window>(overlay.winId()), RevertToParent, CurrentTime);
    XSync(d, False);
    QTest::qWait(100);

    const KeyCode next = XKeysymToKeycode(d, XK_Next);
    XTestFakeKeyEvent(d, next, True, CurrentTime);
    XTestFakeKeyEvent(d, next, False, CurrentTime);
    XFlush(d);
    bool paneGotKey = false;
    waitUntil([&] {
        XEvent ev;
        while (XCheckWindowEvent(d, pane, KeyPressMask, &ev)) {
            paneGotKey |= ev.xkey.keycode == next;
        }
        return paneGotKey;
    });

    // Without a compositor the overlay takes a new picture of the screen
    // after the key, and then has the focus again.
    const auto overlayFocused = [&] {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(d, &focus, &revert);
        return overlay.isVisible() && focus == static_cast<Window>(overlay.winId());
    };
    waitUntil(overlayFocused);

    EXPECT_TRUE(paneGotKey);
    EXPECT_EQ(doc.GetSegmentCount(), 0);
    EXPECT_TRUE(overlayFocused());
    XDestroyWindow(d, show);
}

// Without a compositor, with the eraser chosen: undo and redo redraw the ink
// over the overlay's picture of the screen and touch only the erased part.
TEST_F(DrawingSurfaceX11, CtrlZBringsBackWhatTheEraserTookAndCtrlYTakesItAgain) {
    KALVO_RUN_ON_PRIVATE_DISPLAY(false);
    DisplayPtr x(XOpenDisplay(nullptr));
    ASSERT_TRUE(x);
    Display* d = x.get();
    drawingState().penColor = 0xFF0000;  // blue
    drawingState().penWidth = 6;
    auto surfaces = makeSurfaces(nullptr);
    surfaces->modes().OnDrawOnScreen();
    DrawingWindow& overlay = surfaces->overlay();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&overlay));
    XSetInputFocus(d, static_cast<Window>(overlay.winId()), RevertToParent, CurrentTime);
    XSync(d, False);
    QTest::qWait(100);
    const auto blueAlong = [&](int y) {
        XImage* shot = XGetImage(d, DefaultRootWindow(d), 0, 0, 1024, 768, AllPlanes, ZPixmap);
        int blue = 0;
        for (int px = 110; px < 900; px += 10) {
            blue += rootPixel(shot, px, y) == 0xFF0000FFu;
        }
        XDestroyImage(shot);
        return blue;
    };
    const auto key = [&](KeySym sym) {
        const KeyCode ctrl = XKeysymToKeycode(d, XK_Control_L);
        const KeyCode k = XKeysymToKeycode(d, sym);
        XTestFakeKeyEvent(d, ctrl, True, CurrentTime);
        XTestFakeKeyEvent(d, k, True, CurrentTime);
        XTestFakeKeyEvent(d, k, False, CurrentTime);
        XTestFakeKeyEvent(d, ctrl, False, CurrentTime);
        XFlush(d);
    };
    const auto drag = [&](int from, int to, int y) {
        XTestFakeMotionEvent(d, 0, from, y, CurrentTime);
        XTestFakeButtonEvent(d, 1, True, CurrentTime);
        XFlush(d);
        QTest::qWait(50);
        for (int px = from + 20; px <= to; px += 20) {
            XTestFakeMotionEvent(d, 0, px, y, CurrentTime);
            XFlush(d);
            QTest::qWait(10);
        }
        XTestFakeButtonEvent(d, 1, False, CurrentTime);
        XFlush(d);
    };
    drag(100, 900, 200);
    drag(100, 900, 600);
    ASSERT_TRUE(waitUntil([&] { return blueAlong(200) == 79 && blueAlong(600) == 79; }));
    const int drawn = doc.GetSegmentCount();
    surfaces->modes().OnEraser();
    drag(500, 540, 230);  // the eraser's box reaches the upper stroke only
    ASSERT_TRUE(waitUntil([&] { return drawingState().erasing == 0 && blueAlong(200) < 79; }));
    const int erased = blueAlong(200);
    const int left = doc.GetSegmentCount();
    const qint64 picture = overlay.background().cacheKey();
    XSetInputFocus(d, static_cast<Window>(overlay.winId()), RevertToParent, CurrentTime);

    key(XK_z);
    const bool undone = waitUntil([&] { return blueAlong(200) == 79; });
    const int afterUndo = doc.GetSegmentCount();
    key(XK_y);
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
    DisplayPtr x(XOpenDisplay(nullptr));
    ASSERT_TRUE(x);
    Display* d = x.get();
    const Window hidden = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 400, 300, 0, 0, 0);
    char name[] = "screenClass";
    XClassHint hint{name, name};
    XSetClassHint(d, hidden, &hint);
    XSync(d, False);
    auto finder = common::X11WindowFinder::open(nullptr);
    ASSERT_TRUE(finder);
    auto surfaces = makeSurfaces(finder.get());
    surfaces->modes().OnDrawOnScreen();
    DrawingWindow& overlay = surfaces->overlay();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&overlay));
    doc.AddSegment(1, 1, 50, 50, 0xFF, 3);
    XSetInputFocus(d, static_cast<Window>(overlay.winId()), RevertToParent, CurrentTime);
    XSync(d, False);
    QTest::qWait(100);
    int keysSeen = 0;
    KeyCounter counter(overlay, keysSeen);

    const KeyCode next = XKeysymToKeycode(d, XK_Next);
    XTestFakeKeyEvent(d, next, True, CurrentTime);
    XTestFakeKeyEvent(d, next, False, CurrentTime);
    XFlush(d);
    QTest::qWait(500);

    EXPECT_EQ(keysSeen, 1);
    EXPECT_EQ(doc.GetSegmentCount(), 1);  // nothing was passed on: the board stays
    XDestroyWindow(d, hidden);
}

// Without a compositor the overlay shows a picture of the screen: clearing
// the board takes a new one, so the desktop of now shows through.
TEST_F(DrawingSurfaceX11, ClearShowsTheDesktopOfNowWithoutACompositor) {
    KALVO_RUN_ON_PRIVATE_DISPLAY(false);
    ASSERT_FALSE(desktopStacking().compositorPresent());
    DisplayPtr x(XOpenDisplay(nullptr));
    ASSERT_TRUE(x);
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
    const auto shownAt = [&](int px, int py) {
        XImage* shot =
            XGetImage(x.get(), DefaultRootWindow(x.get()), px, py, 1, 1, AllPlanes, ZPixmap);
        const QRgb pixel = shot ? rootPixel(shot, 0, 0) : 0;
        if (shot) {
            XDestroyImage(shot);
        }
        return pixel;
    };
    const QRgb before = shownAt(300, 300);

    surfaces->modes().OnClearBoard();
    waitUntil([&] { return surfaces->overlay().isVisible() && shownAt(300, 300) == 0xFFC800C8u; });

    EXPECT_EQ(before, 0xFF00C800u);
    EXPECT_TRUE(surfaces->overlay().isVisible());
    EXPECT_EQ(shownAt(300, 300), 0xFFC800C8u);
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
