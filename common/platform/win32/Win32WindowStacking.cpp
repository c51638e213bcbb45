#include "common/platform/win32/Win32WindowStacking.h"

// windows.h first: the other system headers build on it.
#include <windows.h>

#include <dwmapi.h>

#include "common/platform/win32/Win32Handles.h"

namespace common {

using win32::toHwnd;

namespace {

// Shown on the screen: visible, not minimized, and not cloaked by the desktop
// window manager (windows of other virtual desktops, suspended store apps).
bool onScreen(HWND w) {
    if (!IsWindowVisible(w) || IsIconic(w)) {
        return false;
    }
    DWORD cloaked = 0;
    // Before Windows 8 the attribute does not exist: nothing is cloaked there.
    return FAILED(DwmGetWindowAttribute(w, DWMWA_CLOAKED, &cloaked, sizeof cloaked)) ||
           cloaked == 0;
}

// A borderless pop-up (a menu, a tooltip, a drop-down list, a full-screen
// calibration screen) that another program opened on purpose over the rest:
// what an override-redirect window is on X11. Windows with a caption are
// ordinary windows of their program, top-most or not.
bool isBareMenuOrPopup(HWND w) {
    const LONG_PTR style = GetWindowLongPtrW(w, GWL_STYLE);
    const LONG_PTR exStyle = GetWindowLongPtrW(w, GWL_EXSTYLE);
    return ((style & WS_POPUP) != 0 && (style & WS_CAPTION) != WS_CAPTION) ||
           (exStyle & WS_EX_TRANSPARENT) != 0;
}

struct Search {
    HWND self;
    RECT own;
    DWORD ownPid;
    bool covered = false;
};

BOOL CALLBACK visitAbove(HWND w, LPARAM data) {
    auto* s = reinterpret_cast<Search*>(data);
    if (w == s->self) {
        return FALSE;  // top-most first: what follows lies beneath
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    RECT r{};
    RECT both{};
    if (pid != s->ownPid && onScreen(w) && !isBareMenuOrPopup(w) && GetWindowRect(w, &r) &&
        IntersectRect(&both, &r, &s->own)) {
        s->covered = true;
        return FALSE;
    }
    return TRUE;
}

class Win32WindowStacking final : public WindowStacking {
public:
    explicit Win32WindowStacking(long ownPid) : pid_(static_cast<DWORD>(ownPid)) {}

    bool coveredByOtherProgram(WindowId window) override {
        Search s{GetAncestor(toHwnd(window), GA_ROOT), {}, pid_};
        if (s.self == nullptr || !GetWindowRect(s.self, &s.own)) {
            return false;
        }
        EnumWindows(visitAbove, reinterpret_cast<LPARAM>(&s));
        return s.covered;
    }

    void raise(WindowId window) override {
        // Top-most, without taking the focus from the window the user works in.
        SetWindowPos(GetAncestor(toHwnd(window), GA_ROOT), HWND_TOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    }

    bool compositorPresent() override {
        // Windows 8 and later always compose; Vista and 7 could have it off
        // (and the program switches it off there while it runs).
        BOOL enabled = FALSE;
        return SUCCEEDED(DwmIsCompositionEnabled(&enabled)) && enabled;
    }

    // A window's class is fixed when the window is made, and the toolkit
    // registers its own; it cannot be renamed afterwards.
    bool setNativeClass(WindowId, const std::string&) override { return false; }

private:
    DWORD pid_;
};

}  // namespace

std::unique_ptr<WindowStacking> makeWin32WindowStacking(long ownPid) {
    return std::make_unique<Win32WindowStacking>(ownPid);
}

}  // namespace common
