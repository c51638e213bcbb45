#include "common/platform/win32/Win32ScreenInfo.h"

#include <windows.h>

#include "common/platform/win32/Win32Text.h"

namespace common {

namespace win32 {

namespace {

BOOL CALLBACK addMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
    auto* out = reinterpret_cast<std::vector<Monitor>*>(data);
    MONITORINFOEXW info{};
    info.cbSize = sizeof info;
    if (GetMonitorInfoW(monitor, &info)) {
        const RECT& r = info.rcMonitor;
        out->push_back({narrow(info.szDevice),
                        {r.left, r.top, r.right - r.left, r.bottom - r.top},
                        (info.dwFlags & MONITORINFOF_PRIMARY) != 0});
    }
    return TRUE;
}

}  // namespace

ScreenRect virtualDesktop() {
    return {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
            GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

std::vector<Monitor> enumerateMonitors() {
    std::vector<Monitor> out;
    EnumDisplayMonitors(nullptr, nullptr, addMonitor, reinterpret_cast<LPARAM>(&out));
    if (out.empty()) {
        out.push_back({"desktop", virtualDesktop(), true});
    }
    return out;
}

}  // namespace win32

std::vector<Monitor> Win32ScreenInfo::monitors() const {
    return win32::enumerateMonitors();
}

}  // namespace common
