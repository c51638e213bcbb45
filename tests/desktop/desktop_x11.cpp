// X11 chores of the desktop wrapper (with_desktop.sh) that the stock tools
// cannot do:
//   desktop_x11 monitors WxH+X+Y[*] ...
//       replaces the screen's RandR monitors with these (a '*' marks the
//       primary one; the first when none is marked) and prints them, one
//       "NAME WxH+X+Y [primary]" a line. xrandr --setmonitor cannot mark a
//       monitor primary, and the screen's own output monitor must go.
//   desktop_x11 wait-wm [--composite] [--timeout S]
//       waits until a window manager has taken over the screen (the root's
//       _NET_SUPPORTING_WM_CHECK names a live window that names itself, and
//       a window mapped now gets mapped by the manager: some announce
//       themselves before they serve map requests, and lose those that come
//       meanwhile) and, with --composite, until a compositing manager owns
//       _NET_WM_CM_Sn; prints the manager's name.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "common/platform/X11Window.h"

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: desktop_x11 monitors WxH+X+Y[*] ...\n"
                 "       desktop_x11 wait-wm [--composite] [--timeout S]\n");
    return 2;
}

int ignoreErrors(Display*, XErrorEvent*) {
    return 0;  // a check window may vanish while it is read
}

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    bool primary = false;
};

bool parseRect(const char* text, Rect& r) {
    char star = 0;
    const int n = std::sscanf(text, "%dx%d+%d+%d%c", &r.w, &r.h, &r.x, &r.y, &star);
    r.primary = n == 5 && star == '*';
    return (n == 4 || r.primary) && r.w > 0 && r.h > 0 && r.x >= 0 && r.y >= 0;
}

int monitors(Display* d, int argc, char** argv) {
    std::vector<Rect> wanted;
    int primary = 0;
    for (int i = 0; i < argc; ++i) {
        Rect r;
        if (!parseRect(argv[i], r)) {
            return usage();
        }
        if (r.primary) {
            primary = i;
        }
        wanted.push_back(r);
    }
    if (wanted.empty()) {
        return usage();
    }
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XRRQueryExtension(d, &event, &error) || !XRRQueryVersion(d, &major, &minor) ||
        major * 100 + minor < 105) {
        std::fprintf(stderr, "desktop_x11: the X server has no RandR 1.5 monitors\n");
        return 1;
    }
    const Window root = DefaultRootWindow(d);
    // Monitors set before go; the server's own monitor of the output cannot
    // be deleted, it goes when the output joins the primary monitor below.
    int count = 0;
    if (XRRMonitorInfo* old = XRRGetMonitors(d, root, False, &count)) {
        for (int i = 0; i < count; ++i) {
            if (!old[i].automatic) {
                XRRDeleteMonitor(d, root, old[i].name);
            }
        }
        XRRFreeMonitors(old);
    }
    XRRScreenResources* resources = XRRGetScreenResources(d, root);
    for (size_t i = 0; i < wanted.size(); ++i) {
        const Rect& r = wanted[i];
        const bool isPrimary = static_cast<int>(i) == primary;
        const bool withOutput = isPrimary && resources != nullptr && resources->noutput > 0;
        XRRMonitorInfo* m = XRRAllocateMonitor(d, withOutput ? 1 : 0);
        const std::string name = "DP-" + std::to_string(i + 1);
        m->name = XInternAtom(d, name.c_str(), False);
        m->primary = isPrimary ? True : False;
        m->automatic = False;
        m->x = r.x;
        m->y = r.y;
        m->width = r.w;
        m->height = r.h;
        m->mwidth = r.w * 254 / 960;  // 96 dots per inch
        m->mheight = r.h * 254 / 960;
        if (withOutput) {
            m->outputs[0] = resources->outputs[0];
        }
        XRRSetMonitor(d, root, m);
        XRRFreeMonitors(m);
    }
    if (resources != nullptr) {
        if (resources->noutput > 0) {
            XRRSetOutputPrimary(d, root, resources->outputs[0]);
        }
        XRRFreeScreenResources(resources);
    }
    XSync(d, False);
    XRRMonitorInfo* now = XRRGetMonitors(d, root, False, &count);
    for (int i = 0; now != nullptr && i < count; ++i) {
        char* name = XGetAtomName(d, now[i].name);
        std::printf("%s %dx%d+%d+%d%s\n", name != nullptr ? name : "?", now[i].width, now[i].height,
                    now[i].x, now[i].y, now[i].primary ? " primary" : "");
        XFree(name);
    }
    if (now != nullptr) {
        XRRFreeMonitors(now);
    }
    return count == static_cast<int>(wanted.size()) ? 0 : 1;
}

// The window a _NET_SUPPORTING_WM_CHECK property on `w` names; 0 if none.
Window checkWindow(Display* d, Window w) {
    const auto named = common::x11::longs(d, w, "_NET_SUPPORTING_WM_CHECK", XA_WINDOW, 1);
    return named.size() == 1 ? static_cast<Window>(named.front()) : 0;
}

std::string windowName(Display* d, Window w) {
    const auto name = common::x11::text(d, w, "_NET_WM_NAME", XInternAtom(d, "UTF8_STRING", False));
    return name && !name->empty() ? *name : std::string("unnamed");
}

// Maps a small window and waits until the window manager has mapped it,
// asking again now and then; false at the deadline.
bool managerMapsWindows(Display* d, std::chrono::steady_clock::time_point deadline) {
    XSetWindowAttributes a{};
    a.event_mask = StructureNotifyMask;
    const Window w = XCreateWindow(d, DefaultRootWindow(d), 0, 0, 8, 8, 0, CopyFromParent,
                                   InputOutput, CopyFromParent, CWEventMask, &a);
    XStoreName(d, w, "desktop_x11 probe");
    bool mapped = false;
    while (!mapped && std::chrono::steady_clock::now() < deadline) {
        XMapWindow(d, w);
        XFlush(d);
        const auto retry = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        while (!mapped && std::chrono::steady_clock::now() < retry) {
            XEvent e;
            while (!mapped && XCheckTypedWindowEvent(d, w, MapNotify, &e)) {
                mapped = true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    XDestroyWindow(d, w);
    XSync(d, False);
    return mapped;
}

int waitWm(Display* d, int argc, char** argv) {
    bool composite = false;
    double timeout = 30;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--composite") == 0) {
            composite = true;
        } else if (std::strcmp(argv[i], "--timeout") == 0 && i + 1 < argc) {
            timeout = std::atof(argv[++i]);
        } else {
            return usage();
        }
    }
    XSetErrorHandler(ignoreErrors);
    const std::string cmName = "_NET_WM_CM_S" + std::to_string(DefaultScreen(d));
    const Atom cm = XInternAtom(d, cmName.c_str(), False);
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(static_cast<int>(timeout * 1000));
    while (true) {
        const Window w = checkWindow(d, DefaultRootWindow(d));
        const bool managed = w != 0 && checkWindow(d, w) == w;
        if (managed && (!composite || XGetSelectionOwner(d, cm) != None)) {
            if (!managerMapsWindows(d, deadline)) {
                std::fprintf(stderr, "desktop_x11: the window manager maps no window\n");
                return 1;
            }
            std::printf("%s\n", windowName(d, w).c_str());
            return 0;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            std::fprintf(stderr, "desktop_x11: no %s within %.0f s\n",
                         managed ? "compositing manager" : "window manager", timeout);
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return usage();
    }
    const std::string command = argv[1];
    if (command != "monitors" && command != "wait-wm") {
        return usage();
    }
    Display* d = XOpenDisplay(nullptr);
    if (d == nullptr) {
        std::fprintf(stderr, "desktop_x11: cannot open the display\n");
        return 1;
    }
    const int rc =
        command == "monitors" ? monitors(d, argc - 2, argv + 2) : waitWm(d, argc - 2, argv + 2);
    XCloseDisplay(d);
    return rc;
}
