#include "common/platform/Platform.h"

#include <cstdlib>
#include <cstring>

#include "common/platform/NullShellLauncher.h"
#include "common/platform/NullWindowFinder.h"
#include "common/platform/PosixShellLauncher.h"
#include "common/platform/X11InputInjector.h"
#include "common/platform/X11KeyState.h"
#include "common/platform/X11ScreenInfo.h"
#include "common/platform/X11WindowFinder.h"

namespace common {

namespace {

// The screen the stand-ins report: the size the tests' displays use.
constexpr ScreenSize kNullScreen{1280, 800};

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

}  // namespace

Platform makePlatform(const char* displayName) {
    if (const char* choice = std::getenv("TK_PLATFORM");
        choice && std::strcmp(choice, "null") == 0) {
        return nullPlatform();
    }
    auto injector = X11InputInjector::open(displayName);
    auto keys = X11KeyState::open(displayName);
    auto screen = X11ScreenInfo::open(displayName);
    auto windows = X11WindowFinder::open(displayName);
    if (!injector || !keys || !screen || !windows) {
        return nullPlatform();
    }
    Platform p;
    p.injector = std::move(injector);
    p.keys = std::move(keys);
    p.screen = std::move(screen);
    p.shell = std::make_unique<PosixShellLauncher>();
    p.windows = std::move(windows);
    p.isX11 = true;
    return p;
}

}  // namespace common
