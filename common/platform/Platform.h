#pragma once
// The one place that chooses the platform back ends. X11 when a display can be
// opened; the stand-ins otherwise, or when TK_PLATFORM=null is set (tests).

#include <memory>

#include "common/platform/Clock.h"
#include "common/platform/InputInjector.h"
#include "common/platform/KeyState.h"
#include "common/platform/ScreenInfo.h"
#include "common/platform/ShellLauncher.h"
#include "common/platform/WindowFinder.h"

namespace common {

struct Platform {
    std::unique_ptr<InputInjector> injector;
    std::unique_ptr<KeyState> keys;
    std::unique_ptr<ScreenInfo> screen;
    std::unique_ptr<ShellLauncher> shell;
    std::unique_ptr<WindowFinder> windows;
    bool isX11 = false;
};

// displayName: null for $DISPLAY.
[[nodiscard]] Platform makePlatform(const char* displayName = nullptr);

}  // namespace common
