#include "kalvo/ui/SurfaceNative.h"

#include <QtGui/qguiapplication_platform.h>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QWidget>

#include "common/platform/FakeWindowStacking.h"
#ifdef _WIN32
#include "common/platform/win32/Win32WindowStacking.h"
#else
#include "common/platform/X11WindowStacking.h"
#endif

namespace kalvo {

common::WindowStacking& desktopStacking() {
    static const std::unique_ptr<common::WindowStacking> stacking =
        []() -> std::unique_ptr<common::WindowStacking> {
#ifdef _WIN32
        if (QGuiApplication::platformName() == QLatin1String("windows")) {
            return common::makeWin32WindowStacking(QCoreApplication::applicationPid());
        }
#else
        auto* x11 = QGuiApplication::platformName() == QLatin1String("xcb")
                        ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                        : nullptr;
        if (x11 != nullptr && x11->display() != nullptr) {
            return common::makeX11WindowStacking(x11->display(),
                                                 QCoreApplication::applicationPid());
        }
#endif
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
