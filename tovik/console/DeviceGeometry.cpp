#include "tovik/console/DeviceGeometry.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace tovik {

namespace {

// Qt keeps each screen's top-left corner in device pixels and scales only
// its extent, so a screen's device rectangle starts where its logical one
// does.
QRect deviceRectOf(const QScreen& screen) {
    const QRect g = screen.geometry();
    const double ratio = screen.devicePixelRatio();
    return {g.topLeft(), QSize(static_cast<int>(std::lround(g.width() * ratio)),
                               static_cast<int>(std::lround(g.height() * ratio)))};
}

}  // namespace

QScreen* screenForDeviceRect(const common::ScreenRect& device) {
    const QPoint centre(device.x + device.width / 2, device.y + device.height / 2);
    for (QScreen* screen : QGuiApplication::screens()) {
        if (deviceRectOf(*screen).contains(centre)) {
            return screen;
        }
    }
    return QGuiApplication::primaryScreen();
}

QRect logicalRectFor(const common::ScreenRect& device) {
    const QScreen* screen = screenForDeviceRect(device);
    if (screen == nullptr) {
        return {device.x, device.y, device.width, device.height};
    }
    const QPoint origin = screen->geometry().topLeft();
    const double ratio = screen->devicePixelRatio();
    const auto scaled = [ratio](int v) { return static_cast<int>(std::lround(v / ratio)); };
    return {origin.x() + scaled(device.x - origin.x()), origin.y() + scaled(device.y - origin.y()),
            scaled(device.width), scaled(device.height)};
}

common::ScreenRect primaryDeviceRect() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return {0, 0, 1024, 768};
    }
    const QRect r = deviceRectOf(*screen);
    return {r.x(), r.y(), r.width(), r.height()};
}

}  // namespace tovik
