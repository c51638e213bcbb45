#pragma once
// The one place that chooses the platform back ends. X11 when a display can be
// opened; the stand-ins otherwise, or when TK_PLATFORM=null is set (tests).
// Pointer and keys go through XTest in an X11 session and through uinput in a
// Wayland session (or without XTest); screen pictures of a Wayland session
// come from the desktop portal. The Windows build compiles win32/Win32Platform.cpp
// instead of Platform.cpp: SendInput, GetAsyncKeyState, EnumWindows.

#include <functional>
#include <memory>
#include <string>

#include "common/platform/Clock.h"
#include "common/platform/InputBackend.h"
#include "common/platform/InputInjector.h"
#include "common/platform/KeyState.h"
#include "common/platform/ScreenInfo.h"
#include "common/platform/ScreenPictureSource.h"
#include "common/platform/ShellLauncher.h"
#ifdef _WIN32
#include "common/platform/win32/NoUinput.h"
#else
#include "common/platform/UinputDevice.h"
#include "common/platform/UinputKeyboard.h"
#endif
#include "common/platform/WindowFinder.h"

namespace common {

struct PlatformOptions {
    const char* displayName = nullptr;  // null: $DISPLAY
    InputBackend input = InputBackend::Automatic;
    bool pointer = true;     // Tovik: a pointer to drive
    bool pageKeys = false;   // Kalvo: a uinput keyboard for the page keys
    bool penButton = false;  // Tovik: F13 from the input devices in a Wayland session
    // Where uinput devices come from; tests hand in their own descriptors.
    std::function<UinputOpen()> openUinput;  // null: /dev/uinput
    UinputIoctl uinputIoctl;                 // null: ioctl(2)
    std::string inputDevices = "/dev/input";
};

struct Platform {
    std::unique_ptr<InputInjector> injector;
    std::unique_ptr<KeyState> keys;
    std::unique_ptr<ScreenInfo> screen;
    std::unique_ptr<ShellLauncher> shell;
    std::unique_ptr<WindowFinder> windows;
    bool isX11 = false;
    bool wayland = false;
    // How the pointer is driven; with uinput asked for and unavailable the
    // injector drops every event and injectionProblem says why.
    InputBackend input = InputBackend::XTest;
    std::unique_ptr<UinputKeyboard> pageKeys;       // null: page keys go through the window finder
    std::unique_ptr<ScreenPictureSource> pictures;  // null: read the X screen
    std::string injectionProblem;                   // one line for the user; empty when all is well
    std::string penButtonProblem;                   // likewise for F13
};

[[nodiscard]] Platform makePlatform(const PlatformOptions& options);
[[nodiscard]] Platform makePlatform(const char* displayName = nullptr);

}  // namespace common
