// What Kalvo's windows need from Windows beyond Qt: whether the desktop is
// composed, and whether another program's window covers the toolbar. Window
// class names belong to Qt on Windows and are not set here.

// windows.h first: the other system headers build on it.
#include <windows.h>

#include <QWidget>

#include "kalvo/ui/SurfaceNative.h"

namespace kalvo {

bool setNativeWindowClass(QWidget&, const char*) {
    return false;
}

bool compositorRunning() {
    // Windows 8 and later always compose; before, composition could be off.
    using IsEnabled = HRESULT(WINAPI*)(BOOL*);
    HMODULE dwm = LoadLibraryW(L"dwmapi.dll");
    if (!dwm) {
        return false;
    }
    const auto isEnabled = reinterpret_cast<IsEnabled>(
        reinterpret_cast<void*>(GetProcAddress(dwm, "DwmIsCompositionEnabled")));
    BOOL enabled = FALSE;
    const bool composed = isEnabled && SUCCEEDED(isEnabled(&enabled)) && enabled;
    FreeLibrary(dwm);
    return composed;
}

bool obscuredByOtherPrograms(const QWidget& window) {
    if (!window.isVisible() || window.internalWinId() == 0) {
        return false;
    }
    HWND self = GetAncestor(reinterpret_cast<HWND>(window.internalWinId()), GA_ROOT);
    RECT own{};
    if (!self || !GetWindowRect(self, &own)) {
        return false;
    }
    const DWORD us = GetCurrentProcessId();
    // Windows above ours in the Z order. A top-most window of another program
    // (a menu, a calibration screen) put there after the toolbar stays above
    // it, as on X11 an override-redirect window does.
    for (HWND w = GetWindow(self, GW_HWNDPREV); w; w = GetWindow(w, GW_HWNDPREV)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == us || !IsWindowVisible(w) ||
            (GetWindowLongPtrW(w, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0) {
            continue;
        }
        RECT r{};
        RECT both{};
        if (GetWindowRect(w, &r) && IntersectRect(&both, &r, &own)) {
            return true;
        }
    }
    return false;
}

}  // namespace kalvo
