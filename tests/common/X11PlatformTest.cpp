// Back ends against a real X server: the runner sets DISPLAY to a private
// Xvfb. Without DISPLAY every test here skips.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <tuple>

#include "common/platform/InputInjector.h"
#include "common/platform/KeyState.h"
#include "common/platform/X11InputInjector.h"
#include "common/platform/X11KeyState.h"
#include "common/platform/X11ScreenInfo.h"
#include "common/platform/X11WindowFinder.h"
#include "tests/support/Wait.h"
#include "tests/support/X11.h"

// After our headers: Xlib's macros would clash with their names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

using namespace std::chrono_literals;

using namespace common::MouseFlags;
constexpr std::uint32_t kAbs = 0x8000;  // the Absolute flag; XInput defines a macro of that name

class X11Test : public ::testing::Test {
protected:
    void SetUp() override {
        if (!tktest::haveDisplay()) {
            GTEST_SKIP() << "DISPLAY is not set: the X11 back-end tests need an X server "
                            "(./run test starts a private Xvfb)";
        }
        display = tktest::openDisplay();
        ASSERT_TRUE(display) << "cannot open display " << std::getenv("DISPLAY");
        w = DisplayWidth(d(), DefaultScreen(d()));
        h = DisplayHeight(d(), DefaultScreen(d()));
    }

    Display* d() const { return display.get(); }

    // Polls until the condition holds; events travel between two connections.
    static bool eventually(const std::function<bool()>& condition) {
        return tktest::waitUntil(condition, 2s);
    }

    // The pointer comes to (x, y) within two seconds.
    ::testing::AssertionResult pointerReaches(int x, int y) const {
        if (eventually([&] {
                const tktest::Pointer p = tktest::pointer(d());
                return p.x == x && p.y == y;
            })) {
            return ::testing::AssertionSuccess();
        }
        const tktest::Pointer p = tktest::pointer(d());
        return ::testing::AssertionFailure() << "pointer at " << p.x << "," << p.y;
    }

    // A mapped window with WM_CLASS (name, className); override-redirect so
    // that it appears at once where asked, with or without a window manager.
    Window makeWindow(Window parent, int x, int y, int width, int height, const char* className,
                      long eventMask) {
        XSetWindowAttributes attrs{};
        attrs.override_redirect = parent == DefaultRootWindow(d()) ? True : False;
        attrs.event_mask = eventMask | StructureNotifyMask;
        Window win = XCreateWindow(d(), parent, x, y, static_cast<unsigned>(width),
                                   static_cast<unsigned>(height), 0, CopyFromParent, InputOutput,
                                   CopyFromParent, CWOverrideRedirect | CWEventMask, &attrs);
        XClassHint hint{};
        std::string name = std::string(className) + "-instance";
        hint.res_name = name.data();
        hint.res_class = const_cast<char*>(className);
        XSetClassHint(d(), win, &hint);
        XMapRaised(d(), win);
        XSync(d(), False);
        waitForEvent(win, MapNotify);
        return win;
    }

    // The next event of that type for the window, or nothing within two seconds.
    std::optional<XEvent> waitForEvent(Window win, int type) {
        std::optional<XEvent> found;
        eventually([&] {
            XEvent ev;
            while (XCheckTypedWindowEvent(d(), win, type, &ev)) {
                found = ev;
                return true;
            }
            XSync(d(), False);
            return false;
        });
        return found;
    }

    tktest::DisplayPtr display;
    int w = 0;  // the screen's size
    int h = 0;
};

TEST_F(X11Test, AbsoluteMoveLandsOnTheMappedPixel) {
    auto injector = common::X11InputInjector::open(nullptr);
    ASSERT_TRUE(injector);
    ASSERT_EQ(injector->targetArea(), (common::ScreenRect{0, 0, w, h}));

    injector->send(Move | kAbs, 16384, 49152);  // a quarter across, three quarters down

    EXPECT_TRUE(pointerReaches(w / 4, (3 * h) / 4));

    injector->send(Move | kAbs, 70000, -5);  // off screen: clamped
    EXPECT_TRUE(pointerReaches(w - 1, 0));

    injector->send(Move | kAbs, 32768, 32768);
    ASSERT_TRUE(eventually([&] { return tktest::pointer(d()).x == w / 2; }));
    injector->send(Move, -10, 7);  // relative
    EXPECT_TRUE(pointerReaches(w / 2 - 10, h / 2 + 7));
}

TEST_F(X11Test, PressAndReleaseReachTheWindowUnderThePointer) {
    auto injector = common::X11InputInjector::open(nullptr);
    ASSERT_TRUE(injector);
    const Window win = makeWindow(DefaultRootWindow(d()), 100, 120, 200, 150, "tkClickTarget",
                                  ButtonPressMask | ButtonReleaseMask);
    // The window's pixel (50, 40) in absolute units, rounded up so that the
    // shift lands exactly on it.
    const auto unitsX = static_cast<std::int32_t>(((150LL << 16) + w - 1) / w);
    const auto unitsY = static_cast<std::int32_t>(((160LL << 16) + h - 1) / h);

    // The button, x and y of the press, and the button of the release.
    const auto click = [&](std::uint32_t down, std::uint32_t up, std::int32_t dx, std::int32_t dy) {
        injector->send(down, dx, dy);
        const auto press = waitForEvent(win, ButtonPress);
        injector->send(up, 0, 0);
        const auto release = waitForEvent(win, ButtonRelease);
        const XButtonEvent none{};  // button 0: no such event came
        const XButtonEvent& p = press ? press->xbutton : none;
        return std::vector<long>{p.button, p.x, p.y, (release ? release->xbutton : none).button};
    };

    // Move first, then the button; the right button where the pointer is.
    EXPECT_EQ(click(Move | kAbs | LeftDown, LeftUp, unitsX, unitsY),
              (std::vector<long>{1, 50, 40, 1}));
    EXPECT_EQ(click(RightDown, RightUp, 0, 0), (std::vector<long>{3, 50, 40, 3}));
    XDestroyWindow(d(), win);
}

class X11KeyStateTest : public X11Test {
protected:
    void SetUp() override {
        X11Test::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        keys = common::X11KeyState::open(nullptr);
        ASSERT_TRUE(keys);
    }

    void fakeKey(int keycode, bool down) {
        XTestFakeKeyEvent(d(), static_cast<unsigned>(keycode), down ? True : False, CurrentTime);
        XSync(d(), False);
    }

    // Polls the key until it reports something; the raw event may still be
    // on its way to the key state's connection.
    int firstReport(int vk) {
        int state = 0;
        eventually([&] {
            state = keys->asyncKeyState(vk);
            return state != 0;
        });
        return state;
    }

    std::unique_ptr<common::X11KeyState> keys;
};

TEST_F(X11KeyStateTest, ShortF13TapBetweenTwoPollsIsReportedOnce) {
    ASSERT_TRUE(keys->latchesPresses()) << "the server lacks XInput 2.1 raw events";
    const std::vector<int> codes = keys->keycodesFor(common::VK_F13_KEY);
    ASSERT_FALSE(codes.empty()) << "no key for F13 (keysym F13 or XKB name FK13)";
    EXPECT_EQ(keys->asyncKeyState(common::VK_F13_KEY), 0);

    fakeKey(codes.front(), true);
    fakeKey(codes.front(), false);

    EXPECT_EQ(firstReport(common::VK_F13_KEY), 1);
    EXPECT_EQ(keys->asyncKeyState(common::VK_F13_KEY), 0);
    EXPECT_EQ(keys->asyncKeyState(common::VK_F13_KEY), 0);
}

TEST_F(X11KeyStateTest, KeyHeldDownIsReportedDownUntilReleased) {
    const int esc = XKeysymToKeycode(d(), XK_Escape);
    ASSERT_NE(esc, 0);
    ASSERT_EQ(keys->keycodesFor(common::VK_ESCAPE_KEY).front(), esc);
    (void)keys->asyncKeyState(common::VK_ESCAPE_KEY);

    fakeKey(esc, true);
    const int held = keys->asyncKeyState(common::VK_ESCAPE_KEY);
    const int stillHeld = keys->asyncKeyState(common::VK_ESCAPE_KEY);
    fakeKey(esc, false);
    const int afterRelease = keys->asyncKeyState(common::VK_ESCAPE_KEY);

    EXPECT_NE(held & 0x8000, 0);
    EXPECT_NE(stillHeld & 0x8000, 0);
    EXPECT_EQ(afterRelease, 0);  // the press was reported while it was down
    EXPECT_EQ(keys->asyncKeyState(common::VK_NEXT_KEY), 0);
}

TEST_F(X11Test, TwoMonitorsAreReportedAndTheInjectorStaysOnTheTargetOne) {
    auto screen = common::X11ScreenInfo::open(nullptr);
    auto injector = common::X11InputInjector::open(nullptr);
    ASSERT_TRUE(screen && injector);
    // Split the screen into a primary on the right and a projector on the
    // left, as `xrandr --setmonitor` does; removed again at the end.
    const int left = w / 2;
    ASSERT_TRUE(tktest::setMonitors(
        d(), {{"TK-PANEL", left, 0, w - left, h, true}, {"TK-PROJ", 0, 0, left, h, false}}));
    struct Cleanup {
        Display* d;
        ~Cleanup() { tktest::clearMonitors(d); }
    } cleanup{d()};

    const common::TargetScreen primary = common::resolveTargetScreen(*screen, "");
    const common::TargetScreen projector = common::resolveTargetScreen(*screen, "TK-PROJ");

    EXPECT_EQ(primary.monitor.name, "TK-PANEL");
    EXPECT_EQ(primary.monitor.rect, (common::ScreenRect{left, 0, w - left, h}));
    EXPECT_EQ(projector.monitor.rect, (common::ScreenRect{0, 0, left, h}));
    EXPECT_EQ(injector->targetArea(), primary.monitor.rect);  // the default

    injector->setTargetArea(projector.monitor.rect);
    injector->send(Move | kAbs, 70000, 32768);  // beyond the right edge: clamped

    EXPECT_TRUE(pointerReaches(left - 1, h / 2));
}

TEST_F(X11Test, WindowFinderFindsAWindowAndItsChildByClassAndDeliversRequests) {
    auto finder = common::X11WindowFinder::open(nullptr);
    ASSERT_TRUE(finder);
    const Window top = makeWindow(DefaultRootWindow(d()), 400, 300, 300, 200, "tkScreenClass",
                                  KeyPressMask | FocusChangeMask);
    const Window pane =
        makeWindow(top, 10, 10, 100, 100, "tkPaneClass", KeyPressMask | FocusChangeMask);
    XStoreName(d(), top, "tk finder test");
    Atom wmDelete = XInternAtom(d(), "WM_DELETE_WINDOW", False);
    XSetWMProtocols(d(), top, &wmDelete, 1);
    XSync(d(), False);

    EXPECT_EQ(finder->findByClass("tkScreenClass", ""), top);
    EXPECT_EQ(finder->findByClass("tkScreenClass-instance", ""), top);
    EXPECT_EQ(finder->findByClass("tkScreenClass", "tkPaneClass"), pane);
    EXPECT_EQ(finder->findByClass("tkScreenClass", "tkNoSuchChild"), top);
    EXPECT_FALSE(finder->findByClass("tkNoSuchClass", ""));
    EXPECT_EQ(finder->findByTitle("tk finder test"), top);

    EXPECT_TRUE(finder->activate(pane));
    ASSERT_TRUE(waitForEvent(pane, FocusIn)) << "the pane did not get the focus";
    finder->tapKey(common::VK_NEXT_KEY);
    auto key = waitForEvent(pane, KeyPress);
    ASSERT_TRUE(key) << "Page Down did not reach the focused pane";
    EXPECT_EQ(XLookupKeysym(&key->xkey, 0), static_cast<KeySym>(XK_Next));

    finder->requestClose(top);
    const auto close = waitForEvent(top, ClientMessage);
    ASSERT_TRUE(close);
    EXPECT_EQ(static_cast<Atom>(close->xclient.data.l[0]), wmDelete);

    XDestroyWindow(d(), top);
    XSync(d(), False);
    EXPECT_FALSE(finder->findByClass("tkScreenClass", ""));
}

TEST_F(X11Test, WindowFinderCountsOnlyViewableWindowsAndFullScreenOnesWhenAsked) {
    auto finder = common::X11WindowFinder::open(nullptr);
    ASSERT_TRUE(finder);
    const Window small = makeWindow(DefaultRootWindow(d()), 10, 10, 100, 100, "tkShow 7.4", 0);
    // Above it, a hidden one of the same class, as office suites keep them.
    const Window hidden = makeWindow(DefaultRootWindow(d()), 0, 0, w, h, "tkShow 7.4", 0);
    XUnmapWindow(d(), hidden);
    XSync(d(), False);

    const auto smallFound = finder->findByClass("tkShow *", "");
    const auto fullBefore = finder->findByClass("tkShow *", "", true);
    const Window full = makeWindow(DefaultRootWindow(d()), 0, 0, w, h, "tkShow 7.4", 0);
    const auto fullFound = finder->findByClass("tkShow *", "", true);

    EXPECT_EQ(std::tuple(smallFound, fullBefore, fullFound), std::tuple(small, std::nullopt, full));
    EXPECT_FALSE(finder->activate(hidden));
    EXPECT_TRUE(finder->activate(small));
    for (Window win : {small, hidden, full}) {
        XDestroyWindow(d(), win);
    }
    XSync(d(), False);
}

}  // namespace
