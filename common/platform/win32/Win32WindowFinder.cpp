#include "common/platform/win32/Win32WindowFinder.h"

#include <windows.h>

#include <functional>

#include "common/platform/win32/Win32Handles.h"
#include "common/platform/win32/Win32Text.h"

namespace common {

using win32::toHwnd;
using win32::toId;

namespace {

std::string classOf(HWND w) {
    wchar_t name[256] = {};
    const int n = GetClassNameW(w, name, 256);
    return n > 0 ? win32::narrow({name, static_cast<std::size_t>(n)}) : std::string();
}

std::string titleOf(HWND w) {
    const int length = GetWindowTextLengthW(w);
    if (length <= 0) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int n = GetWindowTextW(w, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(n > 0 ? n : 0));
    return win32::narrow(text);
}

// A window that fills its monitor, as a full-screen slide show does.
bool coversItsMonitor(HWND w) {
    RECT r{};
    if (!GetWindowRect(w, &r)) {
        return false;
    }
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(MonitorFromWindow(w, MONITOR_DEFAULTTONEAREST), &info)) {
        return false;
    }
    const RECT& m = info.rcMonitor;
    return r.left <= m.left && r.top <= m.top && r.right >= m.right && r.bottom >= m.bottom;
}

using Visit = std::function<bool(HWND)>;  // true: stop here

BOOL CALLBACK visitOne(HWND w, LPARAM data) {
    auto* v = reinterpret_cast<std::pair<const Visit*, HWND>*>(data);
    if ((*v->first)(w)) {
        v->second = w;
        return FALSE;
    }
    return TRUE;
}

// Top-level windows in Z order, topmost first.
HWND firstTopLevel(const Visit& visit) {
    std::pair<const Visit*, HWND> v{&visit, nullptr};
    EnumWindows(visitOne, reinterpret_cast<LPARAM>(&v));
    return v.second;
}

// Every descendant, depth first.
HWND firstDescendant(HWND parent, const Visit& visit) {
    std::pair<const Visit*, HWND> v{&visit, nullptr};
    EnumChildWindows(parent, visitOne, reinterpret_cast<LPARAM>(&v));
    return v.second;
}

}  // namespace

std::optional<WindowId> Win32WindowFinder::findByClass(const std::string& className,
                                                       const std::string& childClass,
                                                       bool fullScreenOnly) {
    HWND top = firstTopLevel([&](HWND w) {
        return IsWindowVisible(w) && win32::wildcardMatch(className, classOf(w)) &&
               (!fullScreenOnly || coversItsMonitor(w));
    });
    if (!top) {
        return std::nullopt;
    }
    if (!childClass.empty()) {
        if (HWND child = firstDescendant(top, [&](HWND w) {
                return IsWindowVisible(w) && win32::wildcardMatch(childClass, classOf(w));
            })) {
            return toId(child);
        }
    }
    return toId(top);
}

std::optional<WindowId> Win32WindowFinder::findByTitle(const std::string& title) {
    HWND w = firstTopLevel([&](HWND h) { return titleOf(h) == title; });
    if (!w) {
        return std::nullopt;
    }
    return toId(w);
}

bool Win32WindowFinder::activate(WindowId window) {
    HWND w = toHwnd(window);
    if (!IsWindow(w)) {
        return false;
    }
    HWND top = GetAncestor(w, GA_ROOT);
    SetForegroundWindow(top ? top : w);
    if (top && top != w) {
        SetFocus(w);  // effective only when the child belongs to this thread
    }
    std::lock_guard lock(mutex_);
    keyTarget_ = window;
    // Keys are posted to the window itself, so they reach it even when the
    // system kept the foreground elsewhere.
    return IsWindowVisible(w) != FALSE;
}

void Win32WindowFinder::tapKey(int vk) {
    WindowId target = 0;
    {
        std::lock_guard lock(mutex_);
        target = keyTarget_;
    }
    HWND w = toHwnd(target);
    if (target == 0 || !IsWindow(w)) {
        return;
    }
    PostMessageW(w, WM_KEYDOWN, static_cast<WPARAM>(vk), 0);
}

void Win32WindowFinder::requestClose(WindowId window) {
    PostMessageW(toHwnd(window), WM_CLOSE, 0, 0);
}

}  // namespace common
