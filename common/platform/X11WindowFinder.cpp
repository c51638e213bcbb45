#include "common/platform/X11WindowFinder.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <fnmatch.h>

#include <algorithm>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "common/platform/X11Support.h"

namespace common {

namespace {

// `pattern` may hold '*' for any text.
bool hasClass(Display* d, Window w, const std::string& pattern) {
    XClassHint hint{};
    if (!XGetClassHint(d, w, &hint)) {
        return false;
    }
    const auto matches = [&](const char* name) {
        return name != nullptr && fnmatch(pattern.c_str(), name, 0) == 0;
    };
    const bool match = matches(hint.res_class) || matches(hint.res_name);
    if (hint.res_class) {
        XFree(hint.res_class);
    }
    if (hint.res_name) {
        XFree(hint.res_name);
    }
    return match;
}

bool isViewable(Display* d, Window w) {
    XWindowAttributes attrs{};
    return XGetWindowAttributes(d, w, &attrs) && attrs.map_state == IsViewable;
}

// Marked full-screen by its window manager (or by itself), or as large as the
// whole screen.
bool isFullScreen(Display* d, Window w) {
    const Atom state = XInternAtom(d, "_NET_WM_STATE", False);
    const Atom full = XInternAtom(d, "_NET_WM_STATE_FULLSCREEN", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    bool marked = false;
    if (XGetWindowProperty(d, w, state, 0, 64, False, XA_ATOM, &type, &format, &count, &after,
                           &data) == Success &&
        data) {
        const auto* atoms = reinterpret_cast<const Atom*>(data);
        marked = format == 32 && std::find(atoms, atoms + count, full) != atoms + count;
        XFree(data);
    }
    if (marked) {
        return true;
    }
    XWindowAttributes attrs{};
    if (!XGetWindowAttributes(d, w, &attrs)) {
        return false;
    }
    return attrs.width >= DisplayWidth(d, DefaultScreen(d)) &&
           attrs.height >= DisplayHeight(d, DefaultScreen(d));
}

std::vector<Window> childrenOf(Display* d, Window w) {
    Window root = 0;
    Window parent = 0;
    Window* kids = nullptr;
    unsigned count = 0;
    std::vector<Window> out;
    if (XQueryTree(d, w, &root, &parent, &kids, &count) && kids) {
        // Stacking order is bottom to top; the topmost window is looked at first.
        out.assign(kids, kids + count);
        std::reverse(out.begin(), out.end());
        XFree(kids);
    }
    return out;
}

template <typename Pred>
std::optional<Window> depthFirst(Display* d, Window from, const Pred& pred, int depth = 0) {
    // Window trees are shallow; the bound only guards against a hostile one.
    if (depth > 64) {
        return std::nullopt;
    }
    for (Window w : childrenOf(d, from)) {
        if (pred(w)) {
            return w;
        }
        if (auto found = depthFirst(d, w, pred, depth + 1)) {
            return found;
        }
    }
    return std::nullopt;
}

std::optional<std::string> titleOf(Display* d, Window w, Atom netWmName, Atom utf8) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, w, netWmName, 0, 4096, False, utf8, &type, &format, &count, &after,
                           &data) == Success &&
        data) {
        std::optional<std::string> title;
        if (type == utf8 && format == 8) {
            title = std::string(reinterpret_cast<const char*>(data), count);
        }
        XFree(data);
        if (title) {
            return title;
        }
    }
    char* name = nullptr;
    if (XFetchName(d, w, &name) && name) {
        std::string title(name);
        XFree(name);
        return title;
    }
    return std::nullopt;
}

}  // namespace

struct X11WindowFinder::Impl {
    x11::DisplayPtr display;
    std::mutex mutex;
    bool hasXTest = false;
};

std::unique_ptr<X11WindowFinder> X11WindowFinder::open(const char* displayName) {
    auto impl = std::make_unique<Impl>();
    impl->display = x11::openDisplay(displayName);
    if (!impl->display) {
        return nullptr;
    }
    impl->hasXTest = x11::hasXTest(impl->display.get());
    return std::unique_ptr<X11WindowFinder>(new X11WindowFinder(std::move(impl)));
}

X11WindowFinder::X11WindowFinder(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

X11WindowFinder::~X11WindowFinder() = default;

std::optional<WindowId> X11WindowFinder::findByClass(const std::string& className,
                                                     const std::string& childClass,
                                                     bool fullScreenOnly) {
    std::lock_guard lock(impl_->mutex);
    Display* d = impl_->display.get();
    auto top = depthFirst(d, DefaultRootWindow(d), [&](Window w) {
        return hasClass(d, w, className) && isViewable(d, w) &&
               (!fullScreenOnly || isFullScreen(d, w));
    });
    if (!top) {
        return std::nullopt;
    }
    if (!childClass.empty()) {
        if (auto child = depthFirst(d, *top, [&](Window w) {
                return hasClass(d, w, childClass) && isViewable(d, w);
            })) {
            return static_cast<WindowId>(*child);
        }
    }
    return static_cast<WindowId>(*top);
}

std::optional<WindowId> X11WindowFinder::findByTitle(const std::string& title) {
    std::lock_guard lock(impl_->mutex);
    Display* d = impl_->display.get();
    const Atom netWmName = XInternAtom(d, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    auto found = depthFirst(d, DefaultRootWindow(d), [&](Window w) {
        auto t = titleOf(d, w, netWmName, utf8);
        return t && *t == title;
    });
    if (!found) {
        return std::nullopt;
    }
    return static_cast<WindowId>(*found);
}

bool X11WindowFinder::activate(WindowId window) {
    std::lock_guard lock(impl_->mutex);
    Display* d = impl_->display.get();
    const auto w = static_cast<Window>(window);
    // A window manager honours this request; without one the raise and the
    // focus below do the work.
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = w;
    ev.xclient.message_type = XInternAtom(d, "_NET_ACTIVE_WINDOW", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = 2;  // source: a pager or similar tool acting for the user
    ev.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &ev);
    XRaiseWindow(d, w);
    if (!isViewable(d, w)) {
        XFlush(d);
        return false;
    }
    XSetInputFocus(d, w, RevertToParent, CurrentTime);
    // The request above is done by now: the focus is in the window unless
    // the server refused it.
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(d, &focus, &revert);
    for (int depth = 0; focus != 0 && focus != PointerRoot && depth < 64; ++depth) {
        if (focus == w) {
            return true;
        }
        Window root = 0;
        Window parent = 0;
        Window* kids = nullptr;
        unsigned count = 0;
        if (!XQueryTree(d, focus, &root, &parent, &kids, &count)) {
            break;
        }
        if (kids) {
            XFree(kids);
        }
        focus = parent;
    }
    return false;
}

void X11WindowFinder::tapKey(int vk) {
    std::lock_guard lock(impl_->mutex);
    Display* d = impl_->display.get();
    if (!impl_->hasXTest) {
        return;
    }
    const std::vector<int> codes = x11::keycodesForVk(d, vk);
    if (codes.empty()) {
        return;
    }
    const auto kc = static_cast<unsigned>(codes.front());
    XTestFakeKeyEvent(d, kc, True, CurrentTime);
    XTestFakeKeyEvent(d, kc, False, CurrentTime);
    XFlush(d);
}

void X11WindowFinder::requestClose(WindowId window) {
    std::lock_guard lock(impl_->mutex);
    Display* d = impl_->display.get();
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = static_cast<Window>(window);
    ev.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    ev.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, static_cast<Window>(window), False, NoEventMask, &ev);
    XFlush(d);
}

}  // namespace common
