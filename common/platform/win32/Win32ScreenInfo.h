#pragma once
// The monitors from EnumDisplayMonitors, in device pixels of the virtual
// desktop (the process is per-monitor DPI aware through its manifest).

#include "common/platform/ScreenInfo.h"

namespace common {

class Win32ScreenInfo final : public ScreenInfo {
public:
    std::vector<Monitor> monitors() const override;
};

namespace win32 {
// Every monitor, named by its device ("\\.\DISPLAY1"); the virtual desktop
// as one monitor when the system lists none.
[[nodiscard]] std::vector<Monitor> enumerateMonitors();
// The bounding rectangle of all monitors.
[[nodiscard]] ScreenRect virtualDesktop();
}  // namespace win32

}  // namespace common
