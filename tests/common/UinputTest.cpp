// The uinput back ends against a pipe in place of /dev/uinput: the set-up
// ioctls' arguments and the exact records of moves, presses and page keys.

#include <gtest/gtest.h>
#include <linux/input.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "TempDir.h"
#include "UinputRecorder.h"
#include "common/platform/EvdevKeyState.h"
#include "common/platform/InputBackend.h"
#include "common/platform/KeyState.h"
#include "common/platform/UinputInjector.h"
#include "common/platform/UinputKeyboard.h"

namespace {

using common::InputBackend;
using tktest::UinputRecorder;
namespace Mouse = common::MouseFlags;

// (type, code, value) of each record.
using Record = std::tuple<int, int, int>;

std::vector<Record> decoded(const std::vector<input_event>& events) {
    std::vector<Record> out;
    for (const input_event& e : events) {
        out.emplace_back(e.type, e.code, e.value);
    }
    return out;
}

constexpr Record kSyn{EV_SYN, SYN_REPORT, 0};

// The reports of a move to (x, y), and of a key or button going to `value`.
std::vector<Record> moveTo(int x, int y) {
    return {{EV_ABS, ABS_X, x}, {EV_ABS, ABS_Y, y}, kSyn};
}
std::vector<Record> key(int code, int value) {
    return {{EV_KEY, code, value}, kSyn};
}
std::vector<Record> operator+(std::vector<Record> a, const std::vector<Record>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<common::Monitor> oneMonitor(int width, int height) {
    return {{"default", {0, 0, width, height}, true}};
}

// An injector over `monitors` that writes into `uinput`.
std::unique_ptr<common::UinputInjector> injectorInto(UinputRecorder& uinput,
                                                     const std::vector<common::Monitor>& monitors) {
    std::string problem;
    auto injector =
        common::UinputInjector::create(uinput.takeWriteEnd(), monitors, uinput.ioctl(), problem);
    EXPECT_TRUE(injector) << problem;
    return injector;
}

TEST(UinputInjector, SetsUpAnAbsolutePointerOverTheDesktopAndDestroysItAtTheEnd) {
    UinputRecorder uinput;

    auto injector = injectorInto(uinput, oneMonitor(1920, 1080));
    ASSERT_TRUE(injector);
    injector.reset();
    const auto calls = uinput.calls();

    const std::vector<std::pair<unsigned long, std::uintptr_t>> bits = {
        {UI_SET_EVBIT, EV_KEY}, {UI_SET_KEYBIT, BTN_LEFT}, {UI_SET_KEYBIT, BTN_RIGHT},
        {UI_SET_EVBIT, EV_ABS}, {UI_SET_ABSBIT, ABS_X},
    };
    ASSERT_EQ(calls.size(), 11u);
    for (std::size_t i = 0; i < bits.size(); ++i) {
        EXPECT_EQ(calls[i].request, bits[i].first) << i;
        EXPECT_EQ(calls[i].value, bits[i].second) << i;
    }
    const auto& [x, y, dev] = std::tie(calls[5].abs, calls[7].abs, calls[8].setup);
    EXPECT_EQ(std::tuple(calls[5].request, x.code, x.absinfo.minimum, x.absinfo.maximum),
              std::tuple(UI_ABS_SETUP, ABS_X, 0, 1919));
    EXPECT_EQ(std::tuple(calls[6].request, calls[6].value), std::tuple(UI_SET_ABSBIT, ABS_Y));
    EXPECT_EQ(std::tuple(y.code, y.absinfo.maximum), std::tuple(ABS_Y, 1079));
    EXPECT_EQ(std::tuple(calls[8].request, std::string(dev.name), dev.id.bustype),
              std::tuple(UI_DEV_SETUP, "Tovik light pen", BUS_VIRTUAL));
    EXPECT_EQ(calls[9].request, UI_DEV_CREATE);
    EXPECT_EQ(calls[10].request, UI_DEV_DESTROY);
}

TEST(UinputInjector, WritesEachMoveAndButtonAsOneReport) {
    UinputRecorder uinput;
    auto injector = injectorInto(uinput, oneMonitor(1280, 800));
    ASSERT_TRUE(injector);
    constexpr std::uint32_t kAbsMove = Mouse::Absolute | Mouse::Move;
    struct Case {
        std::uint32_t flags;
        std::int32_t dx, dy;
        std::vector<Record> expected;
    };
    const Case cases[] = {
        // (32768 * 1280) >> 16 = 640, (16384 * 800) >> 16 = 200
        {kAbsMove, 32768, 16384, moveTo(640, 200)},
        // Beyond the edges: clamped to the first and last pixel, as XTest's pointer is.
        {kAbsMove, 70000, -5, moveTo(1279, 0)},
        // Press and release where the pointer is: no move report.
        {Mouse::Move | Mouse::LeftDown, 0, 0, key(BTN_LEFT, 1)},
        {Mouse::LeftDown, 0, 0, key(BTN_LEFT, 1)},
        {Mouse::Move | Mouse::LeftUp, 0, 0, key(BTN_LEFT, 0)},
        // Move to a point, then the button: two reports.
        {kAbsMove | Mouse::LeftDown, 0, 65535, moveTo(0, 799) + key(BTN_LEFT, 1)},
        {kAbsMove | Mouse::LeftUp, 65535, 0, moveTo(1279, 0) + key(BTN_LEFT, 0)},
        {Mouse::RightDown | Mouse::RightUp, 0, 0, key(BTN_RIGHT, 1) + key(BTN_RIGHT, 0)},
        // A relative move starts where the last move put the pointer.
        {Mouse::Move, -79, 5, moveTo(1200, 5)},
    };

    for (const Case& c : cases) {
        injector->send(c.flags, c.dx, c.dy);

        EXPECT_EQ(decoded(uinput.records()), c.expected) << std::hex << c.flags;
    }
}

TEST(UinputInjector, TargetAreaConfinesAbsoluteCoordinatesToOneMonitor) {
    // A laptop panel on the left and a projector to its right, taller.
    const std::vector<common::Monitor> monitors = {{"eDP-1", {0, 0, 1920, 1080}, false},
                                                   {"HDMI-1", {1920, 0, 1280, 1200}, true}};
    UinputRecorder uinput;
    auto injector = injectorInto(uinput, monitors);
    ASSERT_TRUE(injector);
    const auto calls = uinput.calls();
    ASSERT_GE(calls.size(), 8u);
    EXPECT_EQ(calls[5].abs.absinfo.maximum, 3199);  // the axes span the whole desktop
    EXPECT_EQ(calls[7].abs.absinfo.maximum, 1199);

    injector->send(Mouse::Absolute | Mouse::Move, 32768, 32768);  // the primary by default
    injector->setTargetArea(monitors[0].rect);
    injector->send(Mouse::Absolute | Mouse::Move, 65536, 65536);
    injector->setTargetArea({});
    injector->send(Mouse::Absolute | Mouse::Move, 0, 0);

    EXPECT_EQ(decoded(uinput.records()), moveTo(2560, 600) + moveTo(1919, 1079) + moveTo(1920, 0));
}

TEST(UinputKeyboard, HasThePageKeysAndTypesEachAsPressAndRelease) {
    UinputRecorder uinput;
    std::string problem;
    auto keys = common::UinputKeyboard::create(uinput.takeWriteEnd(), uinput.ioctl(), problem);
    ASSERT_TRUE(keys) << problem;
    const auto calls = uinput.calls();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(std::tuple(calls[0].value, calls[1].value, calls[2].value, calls[4].request),
              std::tuple(EV_KEY, KEY_PAGEUP, KEY_PAGEDOWN, UI_DEV_CREATE));

    EXPECT_TRUE(keys->tapKey(common::VK_NEXT_KEY));
    EXPECT_TRUE(keys->tapKey(common::VK_PRIOR_KEY));
    EXPECT_FALSE(keys->tapKey(common::VK_F13_KEY));  // not a key of this device

    EXPECT_EQ(decoded(uinput.records()), key(KEY_PAGEDOWN, 1) + key(KEY_PAGEDOWN, 0) +
                                             key(KEY_PAGEUP, 1) + key(KEY_PAGEUP, 0));
}

TEST(UinputDevice, FailedSetUpNamesTheRequestAndClosesTheDescriptor) {
    UinputRecorder uinput;
    uinput.failOn(UI_DEV_CREATE);
    const int fd = uinput.takeWriteEnd();
    std::string problem;

    auto keys = common::UinputKeyboard::create(fd, uinput.ioctl(), problem);

    EXPECT_FALSE(keys);
    EXPECT_NE(problem.find("UI_DEV_CREATE"), std::string::npos) << problem;
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1);  // closed
}

TEST(OpenUinput, AMissingDeviceNamesTheModuleAndTheRule) {
    tktest::TempDir dir;

    const common::UinputOpen missing = common::openUinput((dir.path() + "/uinput").c_str());

    EXPECT_EQ(missing.fd, -1);
    EXPECT_NE(missing.problem.find("module is not loaded"), std::string::npos) << missing.problem;
    EXPECT_NE(missing.problem.find(common::kUinputRuleFile), std::string::npos);
    EXPECT_EQ(missing.problem.find('\n'), std::string::npos);
}

TEST(InputBackendChoice, FollowsTheSessionUnlessAskedOtherwise) {
    EXPECT_TRUE(common::isWaylandSession("wayland", nullptr));
    EXPECT_TRUE(common::isWaylandSession(nullptr, "wayland-0"));
    EXPECT_TRUE(common::isWaylandSession("tty", "wayland-0"));
    EXPECT_FALSE(
        common::isWaylandSession("x11", "wayland-0"));  // X session with a nested compositor
    EXPECT_FALSE(common::isWaylandSession(nullptr, ""));
    EXPECT_FALSE(common::isWaylandSession(nullptr, nullptr));

    using enum InputBackend;
    EXPECT_EQ(common::chooseInputBackend(Automatic, false, true), XTest);
    EXPECT_EQ(common::chooseInputBackend(Automatic, true, true), Uinput);
    EXPECT_EQ(common::chooseInputBackend(Automatic, false, false), Uinput);
    EXPECT_EQ(common::chooseInputBackend(XTest, true, true), XTest);
    EXPECT_EQ(common::chooseInputBackend(Uinput, false, true), Uinput);

    EXPECT_EQ(common::parseInputBackend("xtest"), XTest);
    EXPECT_EQ(common::parseInputBackend("uinput"), Uinput);
    EXPECT_EQ(common::parseInputBackend("auto"), Automatic);
    EXPECT_EQ(common::parseInputBackend("XTest"), std::nullopt);
    EXPECT_EQ(common::parseInputBackend(""), std::nullopt);
}

// Event devices for EvdevKeyState: FIFOs in a folder, with the key bits and
// held keys each answers through the ioctl seam; read reports ENODEV once
// a device is unplugged. open() opens the key state on them.
struct FakeInputDevice {
    bool f13 = true;
    std::set<int> held;
    bool gone = false;
    int writer = -1;
};
struct FakeInputDevices {
    tktest::TempDir dir;
    std::shared_ptr<std::map<std::string, FakeInputDevice>> devices =
        std::make_shared<std::map<std::string, FakeInputDevice>>();
    std::unique_ptr<common::KeyState> fallback = std::make_unique<common::ScriptedKeyState>();
    std::string problem;
    ~FakeInputDevices() {
        for (const auto& entry : *devices) {
            ::close(entry.second.writer);
        }
    }

    void plug(const std::string& file, FakeInputDevice d = {}) {
        const std::string path = dir.path() + "/" + file;
        ::mkfifo(path.c_str(), 0600);
        d.writer = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        (*devices)[file] = d;
    }
    void send(const std::string& file, std::vector<Record> records) {
        records.push_back(kSyn);
        for (const auto& [type, code, value] : records) {
            const input_event ev{{}, static_cast<__u16>(type), static_cast<__u16>(code), value};
            ASSERT_EQ(::write(devices->at(file).writer, &ev, sizeof ev), ssize_t(sizeof ev));
        }
    }
    common::EvdevCalls calls() const {
        auto of = [devs = devices](int fd) -> FakeInputDevice& {
            const auto link = std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd));
            return devs->at(link.filename().string());
        };
        return {[of](int fd, unsigned long request, void* arg) {
                    const FakeInputDevice& d = of(fd);
                    const unsigned nr = _IOC_NR(request);
                    std::memset(arg, 0, _IOC_SIZE(request));
                    std::set<int> keys = nr == _IOC_NR(EVIOCGKEY(0)) ? d.held : std::set<int>{};
                    keys.insert(nr == _IOC_NR(EVIOCGBIT(EV_KEY, 0)) && d.f13 ? KEY_F13
                                                                             : 0);  // 0: no key
                    for (int k : keys) {
                        static_cast<unsigned char*>(arg)[k / 8] |= 1 << (k % 8);
                    }
                    return 0;
                },
                [of](int fd, void* buffer, std::size_t size) -> ssize_t {
                    errno = ENODEV;
                    return of(fd).gone ? -1 : ::read(fd, buffer, size);
                }};
    }
    std::unique_ptr<common::EvdevKeyState> open() {
        return common::EvdevKeyState::open(fallback, problem, dir.path(), calls());
    }
};

TEST(EvdevKeyState, ReadsItsKeysAndAnUnpluggedReceiverHoldsNone) {
    FakeInputDevices input;
    input.plug("event0", {.f13 = true, .held = {KEY_F13}});
    input.plug("event1", {.f13 = false, .held = {}});  // a mouse

    auto keys = input.open();

    ASSERT_TRUE(keys);
    EXPECT_EQ(input.problem, "");
    EXPECT_EQ(keys->deviceNames().size(), 1u);
    EXPECT_EQ(keys->asyncKeyState(common::VK_F13_KEY), 0x8000);  // held at start
    input.send("event0", {{EV_KEY, KEY_ESC, 1}, {EV_KEY, KEY_ESC, 0}, {EV_KEY, KEY_PAGEDOWN, 1}});
    EXPECT_EQ(keys->asyncKeyState(common::VK_ESCAPE_KEY), 1);
    EXPECT_EQ(keys->asyncKeyState(common::VK_ESCAPE_KEY), 0);
    EXPECT_EQ(keys->asyncKeyState(common::VK_NEXT_KEY), 0x8000);

    (*input.devices)["event0"].gone = true;

    EXPECT_EQ(keys->asyncKeyState(common::VK_F13_KEY), 0);
    EXPECT_EQ(keys->asyncKeyState(common::VK_NEXT_KEY), 0);
    EXPECT_TRUE(keys->deviceNames().empty());
}

TEST(EvdevKeyState, FindsAReceiverPluggedInAfterStartAndCatchesUpAfterLostEvents) {
    FakeInputDevices input;
    auto keys = input.open();
    ASSERT_TRUE(keys);
    EXPECT_NE(input.problem.find("no input devices"), std::string::npos) << input.problem;
    EXPECT_NE(input.problem.find("plugged in later"), std::string::npos) << input.problem;
    EXPECT_EQ(keys->asyncKeyState(common::VK_F13_KEY), 0);

    input.plug("event7");
    EXPECT_EQ(keys->asyncKeyState(common::VK_F13_KEY), 0);
    input.devices->at("event7").held = {KEY_F13};  // pressed while the queue overflowed
    input.send("event7", {{EV_SYN, SYN_DROPPED, 0}, {EV_KEY, KEY_ESC, 1}});

    EXPECT_EQ(keys->asyncKeyState(common::VK_F13_KEY), 0x8000);
    EXPECT_EQ(keys->asyncKeyState(common::VK_ESCAPE_KEY), 0);  // lost, and up by now
}

TEST(EvdevKeyState, WithoutReadableKeyboardsSaysThePenButtonIsUnavailable) {
    FakeInputDevices input;  // a file that is no event device, through the real calls
    std::ofstream(input.dir.path() + "/event0") << "";
    std::string& problem = input.problem;

    EXPECT_FALSE(common::EvdevKeyState::open(input.fallback, problem, input.dir.path() + "/none"));
    EXPECT_NE(problem.find("\"F13Trig\" cannot be used"), std::string::npos) << problem;
    EXPECT_NE(problem.find("no input devices"), std::string::npos) << problem;
    EXPECT_TRUE(input.fallback);  // left to the caller

    EXPECT_TRUE(common::EvdevKeyState::open(input.fallback, problem, input.dir.path()));
    EXPECT_NE(problem.find("has an F13 key"), std::string::npos) << problem;
}

}  // namespace
