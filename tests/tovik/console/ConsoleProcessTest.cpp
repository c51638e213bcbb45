// The tovik program under the X server of the test run, with the simulated
// camera: the pen moves the X pointer and clicks into a test window; Pause
// with the pen down keeps the button pressed; Exit while paused saves the
// settings and ends the process; a second copy is refused.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/TempDir.h"
#include "sim/CameraPose.h"
#include "tests/e2e/RunLogs.h"
#include "tests/support/PenChannel.h"
#include "tests/support/Process.h"
#include "tests/support/Wait.h"
#include "tests/support/X11.h"
#include "tovik/console/CalibrationFile.h"

// After OpenCV: the X headers define macros (COUNT, Status) its headers use.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include "common/platform/X11Window.h"

namespace tovik {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class ConsoleProcessTest : public ::testing::Test {
protected:
    // The X screen's size; a test may widen it to hold two monitors.
    virtual std::string serverSize() const { return "1024x768"; }

    void SetUp() override {
        // A private X server, so the pointer this test moves disturbs no
        // other test.
        ASSERT_TRUE(server.start(serverSize())) << "Xvfb did not start";
        ::setenv("DISPLAY", server.name().c_str(), 1);
        connection = tktest::openDisplay();
        display = connection.get();
        ASSERT_NE(display, nullptr);
        screen = {DisplayWidth(display, DefaultScreen(display)),
                  DisplayHeight(display, DefaultScreen(display))};
        fs::create_directories(dir / "run");
        // The program is copied so that its settings file lands in our folder.
        fs::copy_file(fs::path(TK_BINARY_DIR) / "bin" / "tovik", dir / "tovik");
        ::setenv("XDG_RUNTIME_DIR", (dir / "run").c_str(), 1);
    }

    // The program over the simulated pen, with a calibration that inverts the
    // simulator's upright pose for this screen.
    std::vector<std::string> args() const {
        std::string error;
        const auto pose = sim::CameraPose::parse("upright", error);
        EXPECT_TRUE(pose) << error;
        const cv::Matx33d toCamera = pose->homography(screen, {640, 480});
        CalibrationFileContent c;
        c.homography = cv::Matx33f(toCamera.inv());
        c.window = {0, 640, 0, 480};
        c.autoThreshold = 230;  // only the pen's saturated spot
        c.backgroundGrey = 0;
        c.frameSize = {640, 480};
        const fs::path path = dir / "calibration.yml";
        EXPECT_TRUE(WriteCalibrationFile(path.string(), c));
        return {(dir / "tovik").string(),
                "--camera",
                "sim:scene=blank,pose=upright,fps=60,noise=0,scenesize=" +
                    std::to_string(screen.width) + "x" + std::to_string(screen.height) +
                    ",control=" + (dir / "pen.sock").string(),
                "--calibration-file",
                path.string(),
                "--run",
                "--print-messages",
                "--commands-from-stdin"};
    }

    bool pointerNear(int px, int py) const {
        const tktest::Pointer p = tktest::pointer(display);
        return std::abs(p.x - px) <= 3 && std::abs(p.y - py) <= 3;
    }

    // A started program with its stdin writable and stderr kept in that file
    // of the test's folder.
    std::unique_ptr<tktest::Process> start(const std::vector<std::string>& args,
                                           const char* err = "stderr.txt",
                                           const std::vector<std::string>& env = {}) const {
        return tktest::Process::start(args,
                                      {.env = env, .err = (dir / err).string(), .input = true});
    }

    // What the program wrote to that file of the test's folder.
    [[nodiscard]] std::string output(const char* name = "stderr.txt") const {
        return tktest::readBytes(dir / name);
    }

    // Sends each command to the pen; each is answered "ok".
    static void tell(tktest::PenChannel& pen, std::initializer_list<std::string> commands) {
        for (const std::string& command : commands) {
            EXPECT_EQ(pen.command(command), "ok") << command;
        }
    }

    // Waits for an event of that type on the window.
    bool waitEvent(Window w, int type, std::chrono::milliseconds limit) const {
        XEvent e;
        return tktest::waitUntil([&] { return XCheckTypedWindowEvent(display, w, type, &e); },
                                 limit, 5ms);
    }

    tktest::XServer server;
    tktest::DisplayPtr connection;
    Display* display = nullptr;
    cv::Size screen;
    tktest::TempDir temp;
    fs::path dir{temp.path()};
};

TEST_F(ConsoleProcessTest, PenDrivesThePointerPauseHoldsTheButtonExitSaves) {
    // The window the pen clicks into, in the bottom-right corner, away from
    // the console (centred on a display without a window manager).
    const int wx = screen.width - 320, wy = screen.height - 270;
    const Window target = XCreateSimpleWindow(display, DefaultRootWindow(display), wx, wy, 300, 250,
                                              0, 0, WhitePixel(display, 0));
    XSetWindowAttributes attrs{};
    attrs.override_redirect = True;
    XChangeWindowAttributes(display, target, CWOverrideRedirect, &attrs);
    XSelectInput(display, target, ButtonPressMask | ButtonReleaseMask);
    XMapRaised(display, target);
    XSync(display, False);

    auto tovik = start(args());
    ASSERT_NE(tovik, nullptr);
    tktest::PenChannel pen;
    ASSERT_TRUE(pen.connect(dir / "pen.sock", 20s)) << output();
    std::this_thread::sleep_for(300ms);
    XRaiseWindow(display, target);
    XSync(display, False);

    // Touch inside the test window: the pointer follows, the button goes down.
    const int px = wx + 220, py = wy + 180;
    tell(pen, {"move " + std::to_string(px) + " " + std::to_string(py), "lit 1", "f13 1"});
    EXPECT_TRUE(tktest::waitUntil([&] { return pointerNear(px, py); }, 20s)) << output();
    EXPECT_TRUE(waitEvent(target, ButtonPress, 10s));

    // Lift the pen: the release reaches the window.
    tell(pen, {"lit 0", "f13 0"});
    EXPECT_TRUE(waitEvent(target, ButtonRelease, 10s));

    // A second copy is refused and leaves the first one running.
    auto second = start(args(), "stderr2.txt");
    ASSERT_TRUE(second->waitExit(20s));
    EXPECT_EQ(second->exitCode(), 4);
    EXPECT_NE(output("stderr2.txt").find("已有一个Vesko控制台程序在运行"), std::string::npos);
    EXPECT_FALSE(tovik->waitExit(10ms));

    // Touch again, pause with the pen down, lift it: the button stays down.
    tell(pen, {"lit 1", "f13 1"});
    EXPECT_TRUE(waitEvent(target, ButtonPress, 10s));
    tovik->send("pause");
    std::this_thread::sleep_for(300ms);
    tell(pen, {"lit 0", "f13 0"});
    EXPECT_FALSE(waitEvent(target, ButtonRelease, 500ms));
    EXPECT_TRUE(tktest::pointer(display).buttons & Button1Mask);

    // Exit while paused: the question is answered, settings saved, the
    // process ends promptly (measured generously).
    tovik->send("exit");
    EXPECT_TRUE(tovik->waitExit(5s)) << output();
    EXPECT_EQ(tovik->exitCode(), 0);
    EXPECT_NE(output().find("是否真的退出？"), std::string::npos);
    const std::string ini = output("tovik.ini");
    for (const char* key : {"[Software]", "Amp=180", "RunExpoTime=-6", "[Camera]", "camGamma=130",
                            "[Functions]", "F13Trig=1"}) {
        EXPECT_NE(ini.find(key), std::string::npos) << key;
    }
}

TEST_F(ConsoleProcessTest, CommandLineErrorsGoToStderr) {
    auto bad = start({(dir / "tovik").string(), "--camera", "sim:bogus=1"}, "err.txt");
    ASSERT_TRUE(bad->waitExit(20s));
    EXPECT_EQ(bad->exitCode(), 2);
    EXPECT_NE(output("err.txt").find("--camera"), std::string::npos);

    auto badCal = start({(dir / "tovik").string(), "--camera", "sim:fps=0", "--calibration-file",
                         (dir / "missing.yml").string(), "--print-messages"},
                        "err2.txt");
    ASSERT_TRUE(badCal->waitExit(20s));
    EXPECT_EQ(badCal->exitCode(), 2);
    EXPECT_NE(output("err2.txt").find("missing.yml"), std::string::npos);
}

TEST_F(ConsoleProcessTest, WithoutUinputOneLineSaysWhyAndTheConsoleGoesOn) {
    if (fs::exists("/dev/uinput")) {
        GTEST_SKIP() << "this machine has /dev/uinput";
    }
    auto tovik = start({(dir / "tovik").string(), "--input", "uinput", "--camera", "sim:fps=0",
                        "--print-messages", "--commands-from-stdin"},
                       "err.txt");
    ASSERT_NE(tovik, nullptr);

    // The console answers commands: Run before any calibration says so, and
    // Exit ends the program.
    tovik->send("run");
    tovik->send("exit");
    ASSERT_TRUE(tovik->waitExit(20s)) << output("err.txt");
    EXPECT_EQ(tovik->exitCode(), 0);
    const std::string err = output("err.txt");
    std::vector<std::string> uinputLines;
    std::istringstream lines(err);
    for (std::string line; std::getline(lines, line);) {
        if (line.find("uinput") != std::string::npos) {
            uinputLines.push_back(line);
        }
    }
    ASSERT_EQ(uinputLines.size(), 1u) << err;
    EXPECT_NE(uinputLines[0].find("module is not loaded"), std::string::npos) << uinputLines[0];
    EXPECT_NE(uinputLines[0].find(".rules"), std::string::npos) << uinputLines[0];
    EXPECT_NE(err.find("请先标定"), std::string::npos) << err;
}

// Two monitors side by side on one X screen, as `xrandr --setmonitor` makes
// them: the projector is the one the pen's camera films.
class TwoMonitorProcessTest : public ConsoleProcessTest {
protected:
    std::string serverSize() const override { return "2048x768"; }

    void setMonitors(bool primaryOnTheRight) {
        ASSERT_TRUE(tktest::setMonitors(
            display, {{"PANEL", primaryOnTheRight ? 1024 : 0, 0, 1024, 768, true},
                      {"PROJ", primaryOnTheRight ? 0 : 1024, 0, 1024, 768, false}}));
        screen = {1024, 768};  // what the camera films: one monitor
    }
};

TEST_F(TwoMonitorProcessTest, ThePenOnTheProjectorMovesThePointerOntoTheProjector) {
    for (const bool primaryOnTheRight : {true, false}) {
        setMonitors(primaryOnTheRight);
        const int projectorX = primaryOnTheRight ? 0 : 1024;
        std::vector<std::string> a = args();
        a.insert(a.end(), {"--screen", "PROJ"});
        auto tovik = start(a);
        tktest::PenChannel pen;
        ASSERT_TRUE(pen.connect(dir / "pen.sock", 20s)) << output();

        // The pen near the projector's right edge: on the projector, never on
        // the panel beside it.
        tell(pen, {"move 1000 700", "lit 1", "f13 1"});
        EXPECT_TRUE(tktest::waitUntil([&] { return pointerNear(projectorX + 1000, 700); }, 20s))
            << "primary on the " << (primaryOnTheRight ? "right" : "left") << ", pointer at "
            << tktest::pointer(display).x << "," << tktest::pointer(display).y << "\n"
            << output();
        tell(pen, {"lit 0", "f13 0"});
        tovik->send("exit");
        EXPECT_TRUE(tovik->waitExit(10s));
        fs::remove(dir / "pen.sock");
    }
}

// Once Tovik has been to the tray, its icon stays in the e2e panel's
// notification area; with the console shown again, a right click on the
// icon still opens its menu.
TEST_F(ConsoleProcessTest, TheTrayIconAnswersWhileTheConsoleIsShown) {
    const fs::path panel = fs::path(TK_BINARY_DIR) / "bin" / "e2e_panel";
    if (!fs::exists(panel)) {
        GTEST_SKIP() << "e2e_panel is not built";
    }
    auto tray = start({panel.string()}, "panel.txt");
    std::this_thread::sleep_for(300ms);
    std::vector<std::string> a = args();
    std::erase(a, std::string("--run"));
    auto tovik = start(a);
    tovik->send("hide");

    // The icon: a small window embedded in the panel's notification area,
    // the only client window of Tovik that small.
    auto findIcon = [&]() -> Window {
        std::vector<Window> todo{DefaultRootWindow(display)};
        for (size_t i = 0; i < todo.size(); ++i) {
            const Window w = todo[i];
            XWindowAttributes wa;
            // WM_CLASS: the instance name and the class, each ended by a NUL.
            const std::string cls =
                common::x11::text(display, w, "WM_CLASS", XA_STRING).value_or("") + '\0';
            const bool ours = cls.rfind(std::string("tovik\0", 6), 0) == 0 ||
                              cls.find(std::string("\0Tovik\0", 7)) != std::string::npos;
            if (ours && XGetWindowAttributes(display, w, &wa) && wa.map_state == IsViewable &&
                wa.width <= 64 && wa.height <= 64) {
                return w;
            }
            const std::vector<Window> kids = common::x11::children(display, w);
            todo.insert(todo.end(), kids.begin(), kids.end());
        }
        return Window(0);
    };
    Window icon = 0;
    tktest::waitUntil([&] { return (icon = findIcon()) != 0; }, 20s, 50ms);
    ASSERT_NE(icon, 0u) << output();
    tovik->send("show");
    // Popups (the balloon shown on hiding, menus) are override-redirect
    // windows at the top of the stack.
    auto popups = [&] {
        std::set<Window> found;
        for (const Window w : common::x11::children(display, DefaultRootWindow(display))) {
            XWindowAttributes wa;
            if (XGetWindowAttributes(display, w, &wa) && wa.override_redirect &&
                wa.map_state == IsViewable && wa.width > 60 && wa.height > 40) {
                found.insert(w);
            }
        }
        return found;
    };
    // The balloon shown on hiding lies over the icon until it times out; on a
    // busy machine it shows only after the icon is found.
    tktest::waitUntil([&] { return !popups().empty(); }, 5s, 50ms);
    tktest::waitUntil([&] { return popups().empty(); }, 10s, 100ms);
    const std::set<Window> before = popups();

    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(display, icon, DefaultRootWindow(display), 4, 4, &x, &y, &child);
    // The icon sees the pointer enter first.
    tktest::click(display, x, y, 3, 200ms);

    const bool menuOpened = tktest::waitUntil(
        [&] {
            const std::set<Window> now = popups();
            return std::any_of(now.begin(), now.end(),
                               [&](Window w) { return before.count(w) == 0; });
        },
        5s, 20ms);
    EXPECT_TRUE(menuOpened) << "no menu opened";
    tktest::tapKeys(display, {XK_Escape});
    tovik->send("exit");
    EXPECT_TRUE(tovik->waitExit(10s));
}

// A scaled desktop (HiDPI laptop, 4K projector): whatever Qt's scale factor,
// the automatic calibration maps the camera onto the X screen's device
// pixels, which the pointer injector addresses.
class ScaledDesktopProcessTest : public ConsoleProcessTest {
protected:
    std::string serverSize() const override { return "1920x1200"; }
};

TEST_F(ScaledDesktopProcessTest, AutomaticCalibrationMeasuresInDevicePixelsAtEveryScale) {
    std::string error;
    const auto pose = sim::CameraPose::parse("keystone", error);
    ASSERT_TRUE(pose) << error;
    const cv::Matx33d toCamera = pose->homography(screen, {640, 480});
    for (const char* scale : {"1", "1.5", "2"}) {
        const fs::path log = dir / (std::string("events-") + scale + ".log");
        auto tovik =
            start({(dir / "tovik").string(), "--camera", "sim:scene=screen,pose=keystone,fps=30",
                   "--print-messages", "--commands-from-stdin"},
                  "stderr.txt",
                  {std::string("QT_SCALE_FACTOR=") + scale, "TOVIK_EVENT_LOG=" + log.string()});
        tovik->send("1005");  // the automatic calibration button

        // The event log as written so far.
        const auto trace = [&] {
            std::istringstream lines(tktest::readBytes(log));
            return e2e::readTovikTrace(lines, error).value_or(e2e::TovikTrace{});
        };
        tktest::waitUntil([&] { return !trace().calibrations.empty(); }, 60s, 100ms);
        const auto calibrations = trace().calibrations;
        ASSERT_FALSE(calibrations.empty()) << "scale " << scale << ": no calibration\n" << output();
        EXPECT_EQ(calibrations.back().kind, "auto");
        for (const cv::Point2d p :
             {cv::Point2d(960, 600), cv::Point2d(200, 150), cv::Point2d(1700, 1050)}) {
            cv::Point2d c, s;
            sim::projectPoint(toCamera, p, c);
            sim::projectPoint(calibrations.back().homography, c, s);
            EXPECT_LT(cv::norm(s - p), 4.0) << "scale " << scale << " at " << p << ": " << s;
        }
        // After the count-down, tracking starts; then Exit is heard.
        EXPECT_TRUE(tktest::waitUntil([&] { return !trace().frames.empty(); }, 20s, 100ms))
            << "scale " << scale << ": tracking did not start\n"
            << output();
        tovik->send("exit");
        EXPECT_TRUE(tovik->waitExit(15s)) << "scale " << scale;
    }
}

}  // namespace
}  // namespace tovik
