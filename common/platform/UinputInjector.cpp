#include "common/platform/UinputInjector.h"

#include <algorithm>
#include <climits>

#include "common/platform/AbsoluteMapping.h"

namespace common {

UinputSpec UinputInjector::deviceSpec(ScreenSize desktop) {
    UinputSpec spec;
    spec.name = "Tovik light pen";
    spec.keys = {BTN_LEFT, BTN_RIGHT};
    spec.axes = {{ABS_X, std::max(desktop.width - 1, 0), 0},
                 {ABS_Y, std::max(desktop.height - 1, 0), 0}};
    return spec;
}

std::unique_ptr<UinputInjector> UinputInjector::create(int fd, const std::vector<Monitor>& monitors,
                                                       UinputIoctl ioctl, std::string& problem) {
    // The desktop runs from (0, 0) to the far edges of its monitors.
    ScreenSize desktop;
    for (const Monitor& m : monitors) {
        desktop.width = std::max(desktop.width, m.rect.x + m.rect.width);
        desktop.height = std::max(desktop.height, m.rect.y + m.rect.height);
    }
    const ScreenRect primary = findMonitor(monitors, "").value_or(Monitor{}).rect;
    std::unique_ptr<UinputDevice> device =
        UinputDevice::create(fd, deviceSpec(desktop), std::move(ioctl), problem);
    if (!device) {
        return nullptr;
    }
    return std::unique_ptr<UinputInjector>(new UinputInjector(std::move(device), desktop, primary));
}

UinputInjector::UinputInjector(std::unique_ptr<UinputDevice> device, ScreenSize desktop,
                               ScreenRect primary)
    : device_(std::move(device)), desktop_(desktop), primary_(primary), area_(primary) {}

void UinputInjector::setTargetArea(ScreenRect area) {
    std::lock_guard lock(mutex_);
    area_ = area.width > 0 && area.height > 0 ? area : primary_;
}

void UinputInjector::moveTo(int x, int y, std::vector<input_event>& out) {
    x_ = std::clamp(x, 0, std::max(desktop_.width - 1, 0));
    y_ = std::clamp(y, 0, std::max(desktop_.height - 1, 0));
    out.push_back(inputEvent(EV_ABS, ABS_X, x_));
    out.push_back(inputEvent(EV_ABS, ABS_Y, y_));
    out.push_back(inputEvent(EV_SYN, SYN_REPORT, 0));
}

void UinputInjector::send(std::uint32_t flags, std::int32_t dx, std::int32_t dy) {
    std::lock_guard lock(mutex_);
    std::vector<input_event> events;
    if (flags & MouseFlags::Move) {
        if (flags & MouseFlags::Absolute) {
            // The same pixel the XTest back end moves to.
            const PixelPoint p = absoluteToPixel(dx, dy, area_);
            moveTo(p.x, p.y, events);
        } else if (dx != 0 || dy != 0) {
            // The device only knows absolute positions: a relative move starts
            // where our last move put the pointer. A move by nothing (the
            // press-where-it-is form) sends nothing.
            const auto shifted = [](int from, std::int32_t by) {
                return static_cast<int>(
                    std::clamp<std::int64_t>(std::int64_t{from} + by, INT_MIN, INT_MAX));
            };
            moveTo(shifted(x_, dx), shifted(y_, dy), events);
        }
    }
    const auto button = [&](std::uint32_t flag, int code, int value) {
        if (flags & flag) {
            events.push_back(inputEvent(EV_KEY, code, value));
            events.push_back(inputEvent(EV_SYN, SYN_REPORT, 0));
        }
    };
    button(MouseFlags::LeftDown, BTN_LEFT, 1);
    button(MouseFlags::LeftUp, BTN_LEFT, 0);
    button(MouseFlags::RightDown, BTN_RIGHT, 1);
    button(MouseFlags::RightUp, BTN_RIGHT, 0);
    if (!events.empty()) {
        (void)device_->write(events);
    }
}

}  // namespace common
