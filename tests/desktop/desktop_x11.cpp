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

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/platform/X11Support.h"
#include "common/platform/X11Window.h"
#include "tests/support/Wait.h"
#include "tests/support/X11.h"

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: desktop_x11 monitors WxH+X+Y[*] ...\n"
                 "       desktop_x11 wait-wm [--composite] [--timeout S]\n");
    return 2;
}

int monitors(Display* d, int argc, char** argv) {
    std::vector<tktest::Monitor> wanted;
    for (int i = 0; i < argc; ++i) {
        tktest::Monitor m{"DP-" + std::to_string(i + 1)};
        char star = 0;
        const int n = std::sscanf(argv[i], "%dx%d+%d+%d%c", &m.width, &m.height, &m.x, &m.y, &star);
        m.primary = n == 5 && star == '*';
        if ((n != 4 && !m.primary) || m.width <= 0 || m.height <= 0 || m.x < 0 || m.y < 0) {
            return usage();
        }
        wanted.push_back(m);
    }
    if (wanted.empty()) {
        return usage();
    }
    if (std::none_of(wanted.begin(), wanted.end(), [](const auto& m) { return m.primary; })) {
        wanted.front().primary = true;
    }
    if (!tktest::setMonitors(d, wanted)) {
        std::fprintf(stderr, "desktop_x11: the X server has no RandR 1.5 monitors\n");
        return 1;
    }
    const std::vector<common::Monitor> now = common::x11::monitors(d);
    for (const auto& [name, r, primary] : now) {
        std::printf("%s %dx%d+%d+%d%s\n", name.c_str(), r.width, r.height, r.x, r.y,
                    primary ? " primary" : "");
    }
    return now.size() == wanted.size() ? 0 : 1;
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
        XEvent e;
        mapped = tktest::waitUntil([&] { return XCheckTypedWindowEvent(d, w, MapNotify, &e) != 0; },
                                   std::chrono::seconds(1), std::chrono::milliseconds(20));
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
    const std::string cmName = "_NET_WM_CM_S" + std::to_string(DefaultScreen(d));
    const Atom cm = XInternAtom(d, cmName.c_str(), False);
    const auto limit = std::chrono::milliseconds(static_cast<int>(timeout * 1000));
    const auto deadline = std::chrono::steady_clock::now() + limit;
    Window w = 0;
    bool managed = false;
    const bool ready = tktest::waitUntil(
        [&] {
            w = checkWindow(d, DefaultRootWindow(d));
            managed = w != 0 && checkWindow(d, w) == w;
            return managed && (!composite || XGetSelectionOwner(d, cm) != None);
        },
        limit, std::chrono::milliseconds(50));
    if (!ready) {
        std::fprintf(stderr, "desktop_x11: no %s within %.0f s\n",
                     managed ? "compositing manager" : "window manager", timeout);
        return 1;
    }
    if (!managerMapsWindows(d, deadline)) {
        std::fprintf(stderr, "desktop_x11: the window manager maps no window\n");
        return 1;
    }
    std::printf("%s\n", windowName(d, w).c_str());
    return 0;
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
    // Errors are ignored: a check window may vanish while it is read.
    const tktest::DisplayPtr d = tktest::openDisplay();
    if (!d) {
        std::fprintf(stderr, "desktop_x11: cannot open the display\n");
        return 1;
    }
    return (command == "monitors" ? monitors : waitWm)(d.get(), argc - 2, argv + 2);
}
