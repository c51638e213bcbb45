#include "common/platform/X11WindowStacking.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include "common/platform/InputBackend.h"
#include "common/platform/X11Window.h"

namespace common {

namespace {

class X11WindowStacking final : public WindowStacking {
public:
    X11WindowStacking(Display* display, long ownPid) : d_(display), pid_(ownPid) {}

    bool coveredByOtherProgram(WindowId window) override {
        const Window self = x11::topLevel(d_, static_cast<Window>(window));
        XWindowAttributes own{};
        if (!XGetWindowAttributes(d_, self, &own)) {
            return false;
        }
        const std::vector<Window> stack = x11::children(d_, DefaultRootWindow(d_));
        // Bottom to top: look at those above our window.
        bool above = false;
        for (Window w : stack) {
            if (w == self) {
                above = true;
                continue;
            }
            XWindowAttributes attrs{};
            // Another program's override-redirect window (a menu, a calibration
            // screen) was put on top on purpose after ours: it stays there, as
            // it would above a top-most window. Window managers' frames are
            // never override-redirect, so managed windows still count.
            if (!above || !XGetWindowAttributes(d_, w, &attrs) || attrs.map_state != IsViewable ||
                attrs.c_class == InputOnly || attrs.override_redirect) {
                continue;
            }
            const bool overlaps = attrs.x < own.x + own.width &&
                                  own.x < attrs.x + attrs.width + 2 * attrs.border_width &&
                                  attrs.y < own.y + own.height &&
                                  own.y < attrs.y + attrs.height + 2 * attrs.border_width;
            if (overlaps && !isOurs(w)) {
                return true;
            }
        }
        return false;
    }

    void raise(WindowId window) override { x11::raise(d_, static_cast<Window>(window)); }

    bool compositorPresent() override {
        // A Wayland compositor composites XWayland's windows too, whether or
        // not its window manager claims the selection; and there a grab of
        // the X screen would be black outside X windows.
        if (isWaylandSession()) {
            return true;
        }
        const std::string selection = "_NET_WM_CM_S" + std::to_string(DefaultScreen(d_));
        return XGetSelectionOwner(d_, XInternAtom(d_, selection.c_str(), False)) != 0;
    }

    bool setNativeClass(WindowId window, const std::string& name) override {
        const auto id = static_cast<Window>(window);
        std::string text(name);
        XClassHint hint{};
        hint.res_name = text.data();
        hint.res_class = text.data();
        XSetClassHint(d_, id, &hint);
        // A compositing manager must not take a full-screen window out of its
        // composition: a window above it would no longer show.
        x11::setLongs(d_, id, "_NET_WM_BYPASS_COMPOSITOR", XA_CARDINAL, {2});
        XFlush(d_);
        return true;
    }

private:
    // A window of this program, or a frame holding one (frames put the
    // client one or two levels down).
    bool isOurs(Window w, int depth = 0) {
        const std::vector<unsigned long> pid = x11::longs(d_, w, "_NET_WM_PID", XA_CARDINAL, 1);
        if (pid.size() == 1 && static_cast<long>(pid.front()) == pid_) {
            return true;
        }
        if (depth >= 2) {
            return false;
        }
        for (Window child : x11::children(d_, w)) {
            if (isOurs(child, depth + 1)) {
                return true;
            }
        }
        return false;
    }

    Display* d_;
    long pid_;
};

}  // namespace

std::unique_ptr<WindowStacking> makeX11WindowStacking(void* display, long ownPid) {
    return std::make_unique<X11WindowStacking>(static_cast<Display*>(display), ownPid);
}

void syncX11Display(void* display) {
    XSync(static_cast<Display*>(display), False);
}

}  // namespace common
