#include "common/platform/Platform.h"

#include <cstdlib>
#include <cstring>

#include "common/platform/EvdevKeyState.h"
#include "common/platform/NullShellLauncher.h"
#include "common/platform/NullWindowFinder.h"
#include "common/platform/PortalScreenshot.h"
#include "common/platform/PosixShellLauncher.h"
#include "common/platform/UinputInjector.h"
#include "common/platform/X11InputInjector.h"
#include "common/platform/X11KeyState.h"
#include "common/platform/X11ScreenInfo.h"
#include "common/platform/X11WindowFinder.h"

namespace common {

namespace {

// The screen the stand-ins report: the size the tests' displays use.
constexpr ScreenSize kNullScreen{1280, 800};

// Where injection is unavailable: the program goes on without it.
class DroppingInjector final : public InputInjector {
public:
    void send(std::uint32_t, std::int32_t, std::int32_t) override {}
    void setTargetArea(ScreenRect) override {}
};

Platform nullPlatform() {
    Platform p;
    p.injector = std::make_unique<RecordingInjector>();
    p.keys = std::make_unique<ScriptedKeyState>();
    p.screen = std::make_unique<FixedScreenInfo>(kNullScreen);
    p.shell = std::make_unique<NullShellLauncher>();
    p.windows = std::make_unique<NullWindowFinder>();
    p.isX11 = false;
    return p;
}

// A uinput descriptor, or an empty one with the problem set.
UinputOpen openDevice(const PlatformOptions& options) {
    return options.openUinput ? options.openUinput() : openUinput();
}

UinputIoctl ioctlOf(const PlatformOptions& options) {
    return options.uinputIoctl ? options.uinputIoctl : systemUinputIoctl();
}

void makeUinputPointer(Platform& p, const PlatformOptions& options) {
    UinputOpen opened = openDevice(options);
    if (opened.fd >= 0) {
        p.injector = UinputInjector::create(opened.fd, p.screen->monitors(), ioctlOf(options),
                                            opened.problem);
    }
    if (!p.injector) {
        p.injectionProblem = "the pen cannot move the pointer: " + opened.problem;
        p.injector = std::make_unique<DroppingInjector>();
    }
}

void makeUinputKeyboard(Platform& p, const PlatformOptions& options) {
    UinputOpen opened = openDevice(options);
    if (opened.fd >= 0) {
        p.pageKeys = UinputKeyboard::create(opened.fd, ioctlOf(options), opened.problem);
    }
    if (!p.pageKeys) {
        p.injectionProblem =
            "page keys reach only presentations that are X windows: " + opened.problem;
    }
}

}  // namespace

Platform makePlatform(const PlatformOptions& options) {
    if (const char* choice = std::getenv("TK_PLATFORM");
        choice && std::strcmp(choice, "null") == 0) {
        return nullPlatform();
    }
    auto screen = X11ScreenInfo::open(options.displayName);
    auto keys = X11KeyState::open(options.displayName);
    auto windows = X11WindowFinder::open(options.displayName);
    if (!keys || !screen || !windows) {
        return nullPlatform();
    }
    Platform p;
    p.screen = std::move(screen);
    p.keys = std::move(keys);
    p.shell = std::make_unique<PosixShellLauncher>();
    p.windows = std::move(windows);
    p.isX11 = true;
    p.wayland = isWaylandSession();

    std::unique_ptr<X11InputInjector> xtest;
    if (options.input == InputBackend::XTest ||
        (options.input == InputBackend::Automatic && !p.wayland)) {
        xtest = X11InputInjector::open(options.displayName);
    }
    p.input = chooseInputBackend(options.input, p.wayland, xtest != nullptr);
    if (p.input == InputBackend::XTest) {
        if (xtest) {
            p.injector = std::move(xtest);
        } else {
            p.injectionProblem = "the X server has no XTest extension: nothing can be injected";
            p.injector = std::make_unique<DroppingInjector>();
        }
    } else {
        if (options.pointer) {
            makeUinputPointer(p, options);
        } else {
            p.injector = std::make_unique<DroppingInjector>();
        }
        if (options.pageKeys) {
            makeUinputKeyboard(p, options);
        }
    }
    if (p.wayland) {
        if (options.penButton) {
            if (auto evdev =
                    EvdevKeyState::open(p.keys, p.penButtonProblem, options.inputDevices)) {
                p.keys = std::move(evdev);
            }
        }
        p.pictures = std::make_unique<PortalScreenshot>();
    }
    return p;
}

Platform makePlatform(const char* displayName) {
    PlatformOptions options;
    options.displayName = displayName;
    return makePlatform(options);
}

}  // namespace common
