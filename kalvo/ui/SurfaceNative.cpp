#include "kalvo/ui/SurfaceNative.h"

#include <QtGui/qguiapplication_platform.h>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QRect>
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

// The top-level ancestor of `w` below the root: the window manager's frame
// around a managed window, the window itself otherwise.
Window topLevelOf(Display* d, Window w) {
    for (int depth = 0; depth < 16; ++depth) {
        Window root = 0;
        Window parent = 0;
        Window* kids = nullptr;
        unsigned count = 0;
        if (!XQueryTree(d, w, &root, &parent, &kids, &count)) {
            break;
        }
        if (kids) {
            XFree(kids);
        }
        if (parent == root || parent == 0) {
            return w;
        }
        w = parent;
    }
    return w;
}

bool hasOurPid(Display* d, Window w) {
    const Atom pidAtom = XInternAtom(d, "_NET_WM_PID", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    bool ours = false;
    if (XGetWindowProperty(d, w, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after,
                           &data) == Success &&
        data) {
        ours = format == 32 && count == 1 &&
               static_cast<long>(*reinterpret_cast<unsigned long*>(data)) ==
                   static_cast<long>(QCoreApplication::applicationPid());
        XFree(data);
    }
    return ours;
}

// A window of this program, or a frame holding one (frames put the client
// one or two levels down).
bool isOurs(Display* d, Window w, int depth = 0) {
    if (hasOurPid(d, w)) {
        return true;
    }
    if (depth >= 2) {
        return false;
    }
    Window root = 0;
    Window parent = 0;
    Window* kids = nullptr;
    unsigned count = 0;
    if (!XQueryTree(d, w, &root, &parent, &kids, &count) || kids == nullptr) {
        return false;
    }
    bool ours = false;
    for (unsigned i = 0; i < count && !ours; ++i) {
        ours = isOurs(d, kids[i], depth + 1);
    }
    XFree(kids);
    return ours;
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
    // A compositing manager must not take a full-screen window out of its
    // composition: the toolbar above it would no longer show.
    long never = 2;
    XChangeProperty(display, id, XInternAtom(display, "_NET_WM_BYPASS_COMPOSITOR", False),
                    XA_CARDINAL, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&never), 1);
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

namespace kalvo {

bool obscuredByOtherPrograms(const QWidget& window) {
    Display* display = x11Display();
    if (display == nullptr || !window.isVisible() || window.internalWinId() == 0) {
        return false;
    }
    const Window self = topLevelOf(display, static_cast<Window>(window.internalWinId()));
    XWindowAttributes own{};
    if (!XGetWindowAttributes(display, self, &own)) {
        return false;
    }
    const QRect area(own.x, own.y, own.width, own.height);
    Window root = 0;
    Window parent = 0;
    Window* kids = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &kids, &count) ||
        kids == nullptr) {
        return false;
    }
    // Children come bottom to top: look at those above our window.
    bool obscured = false;
    bool above = false;
    for (unsigned i = 0; i < count && !obscured; ++i) {
        if (kids[i] == self) {
            above = true;
            continue;
        }
        if (!above) {
            continue;
        }
        XWindowAttributes attrs{};
        // Another program's override-redirect window (a menu, a calibration
        // screen) was put on top on purpose after the toolbar: it stays
        // there, as it would above a top-most window. Window managers'
        // frames are never override-redirect, so managed windows still count.
        if (!XGetWindowAttributes(display, kids[i], &attrs) || attrs.map_state != IsViewable ||
            attrs.c_class == InputOnly || attrs.override_redirect) {
            continue;
        }
        const QRect other(attrs.x, attrs.y, attrs.width + 2 * attrs.border_width,
                          attrs.height + 2 * attrs.border_width);
        obscured = other.intersects(area) && !isOurs(display, kids[i]);
    }
    XFree(kids);
    return obscured;
}

}  // namespace kalvo
