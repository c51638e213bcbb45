#include "common/platform/win32/Win32InputInjector.h"

#include <windows.h>

#include <algorithm>

#include "common/platform/AbsoluteMapping.h"
#include "common/platform/win32/Win32ScreenInfo.h"

namespace common {

long Win32InputInjector::normalise(int pixel, int origin, int extent) {
    if (extent <= 1) {
        return 0;
    }
    // The system maps n to origin + n * (extent - 1) / 65535; round to the
    // nearest so the pointer lands on the pixel asked for.
    const long long offset = std::clamp(pixel - origin, 0, extent - 1);
    return static_cast<long>((offset * 65535 + (extent - 1) / 2) / (extent - 1));
}

ScreenRect Win32InputInjector::target() const {
    if (area_.width > 0 && area_.height > 0) {
        return area_;
    }
    return findMonitor(win32::enumerateMonitors(), "").value_or(Monitor{}).rect;
}

ScreenRect Win32InputInjector::targetArea() const {
    std::lock_guard lock(mutex_);
    return target();
}

void Win32InputInjector::setTargetArea(ScreenRect area) {
    std::lock_guard lock(mutex_);
    area_ = area;
}

void Win32InputInjector::send(std::uint32_t flags, std::int32_t dx, std::int32_t dy) {
    std::lock_guard lock(mutex_);
    INPUT in{};
    in.type = INPUT_MOUSE;
    DWORD f = 0;
    if (flags & MouseFlags::Move) {
        f |= MOUSEEVENTF_MOVE;
        if (flags & MouseFlags::Absolute) {
            const PixelPoint p = absoluteToPixel(dx, dy, target());
            const ScreenRect desk = win32::virtualDesktop();
            in.mi.dx = normalise(p.x, desk.x, desk.width);
            in.mi.dy = normalise(p.y, desk.y, desk.height);
            f |= MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
        } else {
            in.mi.dx = dx;
            in.mi.dy = dy;
        }
    }
    if (flags & MouseFlags::LeftDown) {
        f |= MOUSEEVENTF_LEFTDOWN;
    }
    if (flags & MouseFlags::LeftUp) {
        f |= MOUSEEVENTF_LEFTUP;
    }
    if (flags & MouseFlags::RightDown) {
        f |= MOUSEEVENTF_RIGHTDOWN;
    }
    if (flags & MouseFlags::RightUp) {
        f |= MOUSEEVENTF_RIGHTUP;
    }
    if (f == 0) {
        return;
    }
    // One record: the system applies the move before the buttons, as the
    // combined flags of the classic call mean.
    in.mi.dwFlags = f;
    SendInput(1, &in, sizeof in);
}

}  // namespace common
