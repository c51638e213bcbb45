#include "common/platform/X11WindowFinder.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <fnmatch.h>

#include <algorithm>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "common/platform/X11Support.h"
#include "common/platform/X11Window.h"

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

// Topmost first: stacking order is bottom to top.
std::vector<Window> childrenTopFirst(Display* d, Window w) {
    std::vector<Window> out = x11::children(d, w);
    std::reverse(out.begin(), out.end());
    return out;
}

template <typename Pred>
std::optional<Window> depthFirst(Display* d, Window from, const Pred& pred, int depth = 0) {
    // Window trees are shallow; the bound only guards against a hostile one.
    if (depth > 64) {
        return std::nullopt;
    }
    for (Window w : childrenTopFirst(d, from)) {
        if (pred(w)) {
            return w;
        }
        if (auto found = depthFirst(d, w, pred, depth + 1)) {
            return found;
        }
    }
    return std::nullopt;
}

std::optional<std::string> titleOf(Display* d, Window w, Atom utf8) {
    if (auto title = x11::text(d, w, "_NET_WM_NAME", utf8)) {
        return title;
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
        return hasClass(d, w, className) && x11::isViewable(d, w) &&
               (!fullScreenOnly || x11::isFullScreen(d, w));
    });
    if (!top) {
        return std::nullopt;
    }
    if (!childClass.empty()) {
        if (auto child = depthFirst(d, *top, [&](Window w) {
                return hasClass(d, w, childClass) && x11::isViewable(d, w);
            })) {
            return static_cast<WindowId>(*child);
        }
    }
    return static_cast<WindowId>(*top);
}

std::optional<WindowId> X11WindowFinder::findByTitle(const std::string& title) {
    std::lock_guard lock(impl_->mutex);
    Display* d = impl_->display.get();
    const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    auto found = depthFirst(d, DefaultRootWindow(d), [&](Window w) {
        auto t = titleOf(d, w, utf8);
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
    if (!x11::isViewable(d, w)) {
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
        focus = x11::parent(d, focus);
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
