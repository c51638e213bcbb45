#pragma once
// Window stacking on Windows: the Z order of the top-level windows
// (EnumWindows), the desktop window manager's cloaking and composition.

#include <memory>

#include "common/platform/WindowStacking.h"

namespace common {

// `ownPid` marks this program's windows (their owning process).
[[nodiscard]] std::unique_ptr<WindowStacking> makeWin32WindowStacking(long ownPid);

}  // namespace common
