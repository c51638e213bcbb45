// makePlatform of the Windows build: the Win32 back ends, or the stand-ins
// when TK_PLATFORM=null is set (tests).

#include <cstdlib>
#include <cstring>

#include "common/platform/NullShellLauncher.h"
#include "common/platform/NullWindowFinder.h"
#include "common/platform/Platform.h"
#include "common/platform/win32/Win32InputInjector.h"
#include "common/platform/win32/Win32KeyState.h"
#include "common/platform/win32/Win32ScreenInfo.h"
#include "common/platform/win32/Win32ShellLauncher.h"
#include "common/platform/win32/Win32WindowFinder.h"

namespace common {

namespace {

constexpr ScreenSize kNullScreen{1280, 800};

Platform nullPlatform() {
    Platform p;
    p.injector = std::make_unique<RecordingInjector>();
    p.keys = std::make_unique<ScriptedKeyState>();
    p.screen = std::make_unique<FixedScreenInfo>(kNullScreen);
    p.shell = std::make_unique<NullShellLauncher>();
    p.windows = std::make_unique<NullWindowFinder>();
    return p;
}

}  // namespace

Platform makePlatform(const PlatformOptions&) {
    if (const char* choice = std::getenv("TK_PLATFORM");
        choice && std::strcmp(choice, "null") == 0) {
        return nullPlatform();
    }
    // Pointer, keys and page keys all go through the system's own input
    // queue: no uinput keyboard, no portal.
    Platform p;
    p.screen = std::make_unique<Win32ScreenInfo>();
    p.keys = std::make_unique<Win32KeyState>();
    p.shell = std::make_unique<Win32ShellLauncher>();
    p.windows = std::make_unique<Win32WindowFinder>();
    p.injector = std::make_unique<Win32InputInjector>();
    return p;
}

Platform makePlatform(const char* displayName) {
    PlatformOptions options;
    options.displayName = displayName;
    return makePlatform(options);
}

}  // namespace common
