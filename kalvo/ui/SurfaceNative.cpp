#include "kalvo/ui/SurfaceNative.h"

#include <QtGui/qguiapplication_platform.h>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QWidget>

#include "common/platform/FakeWindowStacking.h"
#include "common/platform/X11WindowStacking.h"

namespace kalvo {

common::WindowStacking& desktopStacking() {
    static const std::unique_ptr<common::WindowStacking> stacking =
        []() -> std::unique_ptr<common::WindowStacking> {
        auto* x11 = QGuiApplication::platformName() == QLatin1String("xcb")
                        ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                        : nullptr;
        if (x11 != nullptr && x11->display() != nullptr) {
            return common::makeX11WindowStacking(x11->display(),
                                                 QCoreApplication::applicationPid());
        }
        return std::make_unique<common::FakeWindowStacking>();
    }();
    return *stacking;
}

bool setNativeWindowClass(QWidget& window, const char* name) {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        return false;  // without making the window native
    }
    return desktopStacking().setNativeClass(window.winId(), name);
}

}  // namespace kalvo
