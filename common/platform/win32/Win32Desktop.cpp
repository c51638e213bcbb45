#include "common/platform/win32/Win32Desktop.h"

#include <windows.h>

namespace common::win32 {

namespace {

// The system's own version: the version functions answer what the manifest
// declares, the kernel's RtlGetVersion what really runs.
bool beforeWindows8() {
    using RtlGetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const auto get = ntdll ? reinterpret_cast<RtlGetVersion>(
                                 reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
                           : nullptr;
    OSVERSIONINFOW v{};
    v.dwOSVersionInfoSize = sizeof v;
    if (!get || get(&v) != 0) {
        return false;
    }
    return v.dwMajorVersion < 6 || (v.dwMajorVersion == 6 && v.dwMinorVersion < 2);
}

}  // namespace

bool disableDwmComposition() {
    if (!beforeWindows8()) {
        return false;
    }
    HMODULE dwm = LoadLibraryW(L"dwmapi.dll");
    if (!dwm) {
        return false;
    }
    using Enable = HRESULT(WINAPI*)(UINT);
    const auto enable = reinterpret_cast<Enable>(
        reinterpret_cast<void*>(GetProcAddress(dwm, "DwmEnableComposition")));
    // DWM_EC_DISABLECOMPOSITION; the system restores composition when the
    // process ends.
    const bool done = enable && SUCCEEDED(enable(0));
    if (!done) {
        FreeLibrary(dwm);
    }
    return done;
}

}  // namespace common::win32
