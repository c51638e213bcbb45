#include "kalvo/ui/SurfaceNative.h"

#include <QtGui/qguiapplication_platform.h>
#include <QGuiApplication>
#include <QWidget>

#include <string>

#include "common/platform/InputBackend.h"

// Xlib last: its macros must not meet Qt's headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace kalvo {

namespace {

Display* x11Display() {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        return nullptr;
    }
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}

}  // namespace

bool setNativeWindowClass(QWidget& window, const char* name) {
    Display* display = x11Display();
    if (display == nullptr) {
        return false;
    }
    const auto id = static_cast<Window>(window.winId());
    std::string text(name);
    XClassHint hint{};
    hint.res_name = text.data();
    hint.res_class = text.data();
    XSetClassHint(display, id, &hint);
    XFlush(display);
    return true;
}

bool compositorRunning() {
    Display* display = x11Display();
    // A Wayland compositor composites XWayland's windows too, whether or not
    // its window manager claims the selection; and there a grab of the X
    // screen would be black outside X windows.
    if (display == nullptr || common::isWaylandSession()) {
        return true;
    }
    const std::string selection = "_NET_WM_CM_S" + std::to_string(DefaultScreen(display));
    const Atom atom = XInternAtom(display, selection.c_str(), False);
    return XGetSelectionOwner(display, atom) != 0;
}

}  // namespace kalvo
