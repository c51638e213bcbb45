#include "common/platform/X11Window.h"

#include <X11/Xatom.h>

#include <algorithm>

namespace common::x11 {

namespace {

// The raw bytes of a property; `format` 0 when absent or of another type.
struct Raw {
    int format = 0;
    unsigned long count = 0;
    unsigned char* data = nullptr;
    Raw() = default;
    Raw(const Raw&) = delete;
    Raw& operator=(const Raw&) = delete;
    ~Raw() {
        if (data != nullptr) {
            XFree(data);
        }
    }
};

void read(Display* d, Window w, const char* name, Atom type, long max, Raw& out) {
    Atom actual = 0;
    unsigned long after = 0;
    const Atom property = XInternAtom(d, name, False);
    if (XGetWindowProperty(d, w, property, 0, max, False, type, &actual, &out.format, &out.count,
                           &after, &out.data) != Success ||
        out.data == nullptr || actual != type) {
        out.format = 0;
    }
}

}  // namespace

std::vector<unsigned long> longs(Display* d, Window w, const char* name, Atom type, long max) {
    Raw raw;
    read(d, w, name, type, max, raw);
    if (raw.format != 32) {
        return {};
    }
    const auto* items = reinterpret_cast<const unsigned long*>(raw.data);
    return {items, items + raw.count};
}

std::optional<std::string> text(Display* d, Window w, const char* name, Atom type) {
    Raw raw;
    read(d, w, name, type, 4096, raw);
    if (raw.format != 8) {
        return std::nullopt;
    }
    return std::string(reinterpret_cast<const char*>(raw.data), raw.count);
}

void setLongs(Display* d, Window w, const char* name, Atom type,
              const std::vector<unsigned long>& items) {
    XChangeProperty(d, w, XInternAtom(d, name, False), type, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(items.data()),
                    static_cast<int>(items.size()));
}

std::vector<Window> children(Display* d, Window w) {
    Window root = 0;
    Window up = 0;
    Window* kids = nullptr;
    unsigned count = 0;
    std::vector<Window> out;
    if (XQueryTree(d, w, &root, &up, &kids, &count) && kids) {
        out.assign(kids, kids + count);
        XFree(kids);
    }
    return out;
}

Window parent(Display* d, Window w) {
    Window root = 0;
    Window up = 0;
    Window* kids = nullptr;
    unsigned count = 0;
    if (!XQueryTree(d, w, &root, &up, &kids, &count)) {
        return 0;
    }
    if (kids) {
        XFree(kids);
    }
    return up;
}

Window topLevel(Display* d, Window w) {
    const Window root = DefaultRootWindow(d);
    for (int depth = 0; depth < 16; ++depth) {
        const Window up = parent(d, w);
        if (up == root || up == 0) {
            return w;
        }
        w = up;
    }
    return w;
}

bool isViewable(Display* d, Window w) {
    XWindowAttributes attrs{};
    return XGetWindowAttributes(d, w, &attrs) && attrs.map_state == IsViewable;
}

bool isFullScreen(Display* d, Window w) {
    const Atom full = XInternAtom(d, "_NET_WM_STATE_FULLSCREEN", False);
    const std::vector<unsigned long> state = longs(d, w, "_NET_WM_STATE", XA_ATOM);
    if (std::find(state.begin(), state.end(), full) != state.end()) {
        return true;
    }
    XWindowAttributes attrs{};
    if (!XGetWindowAttributes(d, w, &attrs)) {
        return false;
    }
    return attrs.width >= DisplayWidth(d, DefaultScreen(d)) &&
           attrs.height >= DisplayHeight(d, DefaultScreen(d));
}

void raise(Display* d, Window w) {
    XRaiseWindow(d, w);
    XFlush(d);
}

}  // namespace common::x11
