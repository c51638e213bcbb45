// The scenario's pen strokes and taps through the pointer mapper in two
// sessions on one X screen: an X11 session (XTest moves the X pointer) and a
// simulated Wayland session (uinput records written into the test's pipe).
// Every event must put the pointer and the button in the same state.

#include <gtest/gtest.h>

#include <functional>

#include "Figure.h"
#include "common/EnvOverride.h"
#include "common/UinputRecorder.h"
#include "common/platform/Platform.h"
#include "tests/support/X11.h"
#include "tovik/tracking/DetectionLoop.h"
#include "tovik/tracking/PointerMapper.h"

// After OpenCV: the X headers define macros its headers use.
#include <X11/Xlib.h>

namespace e2e {
namespace {

using namespace std::chrono_literals;

struct PointerState {
    int x = -1;
    int y = -1;
    bool left = false;
    friend bool operator==(const PointerState&, const PointerState&) = default;
};

// One camera frame: the spot's place (identity calibration: camera pixels
// are screen pixels), or none.
struct Frame {
    bool spot = false;
    cv::Point2d at;
};

// What the camera sees during the scenario: a tap and a double tap where the
// toolbar would be, the house and "OK" drawn stroke by stroke, and a stroke
// that runs off the right edge of the screen.
std::vector<Frame> scenarioFrames(cv::Size screen) {
    std::vector<Frame> frames;
    const auto dark = [&](int n) { frames.insert(frames.end(), n, Frame{}); };
    const auto tap = [&](cv::Point2d at) {
        frames.push_back({true, at});
        frames.push_back({true, at + cv::Point2d(1, 1)});
        dark(1);
    };
    tap({40, 30});
    dark(10);
    tap({120, 30});
    tap({121, 31});
    dark(10);
    std::vector<Stroke> strokes;
    for (FigurePart part : {FigurePart::House, FigurePart::Ok}) {
        const auto some = figureStrokes(part, figureBox(part, screen), 0xFF);
        strokes.insert(strokes.end(), some.begin(), some.end());
    }
    strokes.push_back({0xFF, {{screen.width - 60.0, 200.0}, {screen.width + 80.0, 260.0}}});
    for (const Stroke& s : strokes) {
        for (std::size_t i = 0; i + 1 < s.points.size(); ++i) {
            const cv::Point2d a = s.points[i], b = s.points[i + 1];
            const int steps = std::max(1, static_cast<int>(cv::norm(b - a) / 7));
            for (int k = 0; k < steps; ++k) {
                frames.push_back({true, a + (b - a) * (static_cast<double>(k) / steps)});
            }
        }
        frames.push_back({true, s.points.back()});
        dark(4);
    }
    return frames;
}

// Sends each injected event on, then notes the state it left.
class Observed final : public common::InputInjector {
public:
    Observed(common::InputInjector& inner, std::function<PointerState()> read)
        : inner_(inner), read_(std::move(read)) {}
    void send(std::uint32_t flags, std::int32_t dx, std::int32_t dy) override {
        inner_.send(flags, dx, dy);
        states.push_back(read_());
    }
    void setTargetArea(common::ScreenRect area) override { inner_.setTargetArea(area); }
    std::vector<PointerState> states;

private:
    common::InputInjector& inner_;
    std::function<PointerState()> read_;
};

std::vector<PointerState> replay(common::InputInjector& injector,
                                 std::function<PointerState()> read, cv::Size screen) {
    Observed observed(injector, std::move(read));
    // The target monitor as Tovik sets it: a part of the screen here, since
    // the private X server has one monitor.
    observed.setTargetArea({100, 50, screen.width - 200, screen.height - 100});
    tovik::DetectionStatus status;
    common::FakeClock clock;
    tovik::PointerMapper mapper(observed, status, clock, {screen.width, screen.height}, 20);
    const tovik::PointerMapper::FrameSettings settings{5, 1, 1};
    for (const Frame& f : scenarioFrames(screen)) {
        mapper.onFrame(f.spot, static_cast<float>(f.at.x), static_cast<float>(f.at.y),
                       cv::Matx33f::eye(), settings);
        clock.advance(33ms);
    }
    return observed.states;
}

TEST(WaylandPointer, ScenarioEventsArriveAsUinputRecordsAtTheXTestPositions) {
    tktest::XServer server;
    ASSERT_TRUE(server.start()) << "Xvfb did not start";
    const tktest::DisplayPtr x = tktest::openDisplay(server.name().c_str());
    Display* display = x.get();
    ASSERT_NE(display, nullptr);
    const cv::Size screen(DisplayWidth(display, 0), DisplayHeight(display, 0));
    common::PlatformOptions options;
    options.displayName = server.name().c_str();

    std::vector<PointerState> xtest;
    {
        tktest::EnvOverride session("XDG_SESSION_TYPE", "x11");
        tktest::EnvOverride wayland("WAYLAND_DISPLAY", nullptr);
        common::Platform x11 = common::makePlatform(options);
        ASSERT_EQ(x11.input, common::InputBackend::XTest);
        xtest = replay(
            *x11.injector,
            [&] {
                const tktest::Pointer p = tktest::pointer(display);
                return PointerState{p.x, p.y, (p.buttons & Button1Mask) != 0};
            },
            screen);
    }

    tktest::UinputRecorder uinput;
    std::vector<PointerState> records;
    {
        tktest::EnvOverride session("XDG_SESSION_TYPE", "wayland");
        tktest::EnvOverride wayland("WAYLAND_DISPLAY", "wayland-test");
        options.openUinput = [&] { return common::UinputOpen{uinput.takeWriteEnd(), {}}; };
        options.uinputIoctl = uinput.ioctl();
        common::Platform simulated = common::makePlatform(options);
        ASSERT_EQ(simulated.input, common::InputBackend::Uinput);
        ASSERT_EQ(simulated.injectionProblem, "");
        EXPECT_TRUE(simulated.wayland);
        EXPECT_NE(simulated.pictures, nullptr);  // the desktop portal takes screen pictures
        PointerState state;
        records = replay(
            *simulated.injector,
            [&] {
                // A report counts once its SYN_REPORT is there.
                PointerState pending = state;
                for (const input_event& e : uinput.records()) {
                    if (e.type == EV_ABS && e.code == ABS_X) {
                        pending.x = e.value;
                    } else if (e.type == EV_ABS && e.code == ABS_Y) {
                        pending.y = e.value;
                    } else if (e.type == EV_KEY && e.code == BTN_LEFT) {
                        pending.left = e.value != 0;
                    } else if (e.type == EV_SYN && e.code == SYN_REPORT) {
                        state = pending;
                    }
                }
                return state;
            },
            screen);
    }
    {
        // --input xtest in a Wayland session: XTest, and no uinput device.
        tktest::EnvOverride session("XDG_SESSION_TYPE", "wayland");
        bool asked = false;
        options.input = common::InputBackend::XTest;
        options.openUinput = [&] {
            asked = true;
            return common::UinputOpen{-1, "not here"};
        };
        const common::Platform forced = common::makePlatform(options);
        EXPECT_EQ(forced.input, common::InputBackend::XTest);
        EXPECT_FALSE(asked);
        EXPECT_EQ(forced.injectionProblem, "");
    }

    ASSERT_GT(xtest.size(), 100u);
    ASSERT_EQ(records.size(), xtest.size());
    int presses = 0;
    for (std::size_t i = 0; i < xtest.size(); ++i) {
        // Before the first move the uinput pointer's place is unknown.
        if (records[i].x >= 0) {
            EXPECT_EQ(records[i], xtest[i])
                << "event " << i << ": uinput " << records[i].x << "," << records[i].y << ","
                << records[i].left << " xtest " << xtest[i].x << "," << xtest[i].y << ","
                << xtest[i].left;
        }
        presses += records[i].left && (i == 0 || !records[i - 1].left) ? 1 : 0;
    }
    EXPECT_GE(presses, 10);
    EXPECT_EQ(xtest.back().x, screen.width - 101);  // the last stroke left the area: clamped
}

}  // namespace
}  // namespace e2e
