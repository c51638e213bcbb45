#pragma once
// Window handles as the platform interfaces pass them (WindowId) and back.

// windows.h first: the other system headers build on it.
#include <windows.h>

#include <cstdint>

#include "common/platform/WindowFinder.h"

namespace common::win32 {

[[nodiscard]] inline HWND toHwnd(WindowId id) {
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(id));
}

[[nodiscard]] inline WindowId toId(HWND w) {
    return static_cast<WindowId>(reinterpret_cast<std::uintptr_t>(w));
}

}  // namespace common::win32
