// A desktop panel for the private X screen: a bar along the bottom edge whose
// right end is a notification area (the freedesktop system tray protocol with
// XEmbed), so programs that hide to the tray can do so on the test screen.
// Without a window manager on that screen, the panel also carries out
// minimise requests (the ICCCM WM_CHANGE_STATE message): the window is
// unmapped and marked iconic; --no-minimise leaves them to the window manager.
// --monitor puts the bar along the bottom of that monitor instead of the screen.
//   e2e_panel [--height PX] [--no-tray] [--no-minimise] [--monitor WxH+X+Y]

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr long kRequestDock = 0;     // SYSTEM_TRAY_REQUEST_DOCK
constexpr long kEmbeddedNotify = 0;  // XEMBED_EMBEDDED_NOTIFY
volatile std::sig_atomic_t stopping = 0;

void onSignal(int) {
    stopping = 1;
}

int ignoreErrors(Display*, XErrorEvent*) {
    return 0;
}  // icons may vanish any time

}  // namespace

int main(int argc, char** argv) {
    int height = 30;
    bool tray = true;
    bool minimise = true;
    int mw = 0, mh = 0, mx = 0, my = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--height") == 0 && i + 1 < argc) {
            height = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--no-tray") == 0) {
            tray = false;
        } else if (std::strcmp(argv[i], "--no-minimise") == 0) {
            minimise = false;
        } else if (std::strcmp(argv[i], "--monitor") == 0 && i + 1 < argc &&
                   std::sscanf(argv[i + 1], "%dx%d+%d+%d", &mw, &mh, &mx, &my) == 4 && mw > 0 &&
                   mh > 0) {
            ++i;
        } else {
            std::fprintf(stderr,
                         "usage: e2e_panel [--height PX] [--no-tray] [--no-minimise] "
                         "[--monitor WxH+X+Y]\n");
            return 2;
        }
    }
    if (height < 16 || height > 200) {
        std::fprintf(stderr, "e2e_panel: height from 16 to 200\n");
        return 2;
    }
    Display* d = XOpenDisplay(nullptr);
    if (d == nullptr) {
        std::fprintf(stderr, "e2e_panel: cannot open display\n");
        return 1;
    }
    XSetErrorHandler(ignoreErrors);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    const int screen = DefaultScreen(d);
    const Window root = RootWindow(d, screen);
    if (mw == 0) {
        mw = DisplayWidth(d, screen);
        mh = DisplayHeight(d, screen);
    }
    const int width = mw;
    const int top = my + mh - height;

    XColor bar{}, slotColour{}, exact{};
    XAllocNamedColor(d, DefaultColormap(d, screen), "#1f2d44", &bar, &exact);
    XAllocNamedColor(d, DefaultColormap(d, screen), "#35486a", &slotColour, &exact);
    XSetWindowAttributes a{};
    a.override_redirect = True;  // a panel, not a managed window
    a.background_pixel = bar.pixel;
    a.event_mask = SubstructureNotifyMask | StructureNotifyMask;
    const Window panel =
        XCreateWindow(d, root, mx, top, static_cast<unsigned>(width), static_cast<unsigned>(height),
                      0, CopyFromParent, InputOutput, CopyFromParent,
                      CWOverrideRedirect | CWBackPixel | CWEventMask, &a);
    XStoreName(d, panel, "Panel");
    XMapWindow(d, panel);

    char selectionName[32];
    std::snprintf(selectionName, sizeof selectionName, "_NET_SYSTEM_TRAY_S%d", screen);
    const Atom selection = XInternAtom(d, selectionName, False);
    const Atom opcode = XInternAtom(d, "_NET_SYSTEM_TRAY_OPCODE", False);
    const Atom manager = XInternAtom(d, "MANAGER", False);
    const Atom xembed = XInternAtom(d, "_XEMBED", False);
    const Atom orientation = XInternAtom(d, "_NET_SYSTEM_TRAY_ORIENTATION", False);
    const long horizontal = 0;
    XChangeProperty(d, panel, orientation, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&horizontal), 1);
    if (tray) {
        XSetSelectionOwner(d, selection, panel, CurrentTime);
        if (XGetSelectionOwner(d, selection) != panel) {
            std::fprintf(stderr, "e2e_panel: another notification area runs\n");
            return 1;
        }
        // Tell waiting icons that a notification area is there.
        XClientMessageEvent announce{};
        announce.type = ClientMessage;
        announce.window = root;
        announce.message_type = manager;
        announce.format = 32;
        announce.data.l[0] = CurrentTime;
        announce.data.l[1] = static_cast<long>(selection);
        announce.data.l[2] = static_cast<long>(panel);
        XSendEvent(d, root, False, StructureNotifyMask, reinterpret_cast<XEvent*>(&announce));
    }
    // Minimise requests are sent to the root window.
    const Atom changeState = XInternAtom(d, "WM_CHANGE_STATE", False);
    const Atom wmState = XInternAtom(d, "WM_STATE", False);
    XSelectInput(d, root, SubstructureNotifyMask);
    XFlush(d);

    // Each icon gets a square slot from the right end.
    std::vector<Window> icons;
    const int slot = height - 4;
    auto layout = [&] {
        for (size_t i = 0; i < icons.size(); ++i) {
            const int x = width - static_cast<int>(i + 1) * (slot + 4) - 4;
            XMoveResizeWindow(d, icons[i], x, 2, static_cast<unsigned>(slot),
                              static_cast<unsigned>(slot));
        }
        XFlush(d);
    };

    const int fd = ConnectionNumber(d);
    while (!stopping) {
        if (XPending(d) == 0) {
            // Wake now and then to notice a signal.
            fd_set set;
            FD_ZERO(&set);
            FD_SET(fd, &set);
            timeval tv{0, 200'000};
            select(fd + 1, &set, nullptr, nullptr, &tv);
            continue;
        }
        XEvent e;
        XNextEvent(d, &e);
        if (minimise && e.type == ClientMessage && e.xclient.message_type == changeState &&
            e.xclient.data.l[0] == IconicState) {
            const Window w = e.xclient.window;
            const long state[2] = {IconicState, 0};
            XChangeProperty(d, w, wmState, wmState, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(state), 2);
            XUnmapWindow(d, w);
            XFlush(d);
        } else if (e.type == ClientMessage && e.xclient.message_type == opcode &&
                   e.xclient.data.l[1] == kRequestDock) {
            const auto icon = static_cast<Window>(e.xclient.data.l[2]);
            XSetWindowBackground(d, icon, slotColour.pixel);
            XReparentWindow(d, icon, panel, 0, 0);
            XSelectInput(d, icon, StructureNotifyMask);
            icons.push_back(icon);
            layout();
            XMapRaised(d, icon);
            XClientMessageEvent notify{};
            notify.type = ClientMessage;
            notify.window = icon;
            notify.message_type = xembed;
            notify.format = 32;
            notify.data.l[0] = CurrentTime;
            notify.data.l[1] = kEmbeddedNotify;
            notify.data.l[3] = static_cast<long>(panel);
            XSendEvent(d, icon, False, NoEventMask, reinterpret_cast<XEvent*>(&notify));
            XFlush(d);
        } else if (e.type == DestroyNotify || e.type == ReparentNotify) {
            const Window gone =
                e.type == DestroyNotify ? e.xdestroywindow.window : e.xreparent.window;
            // Root-window notifications are about other windows: only icons count.
            if ((e.type == ReparentNotify && e.xreparent.parent == panel) ||
                std::find(icons.begin(), icons.end(), gone) == icons.end()) {
                continue;
            }
            std::erase(icons, gone);
            layout();
        }
    }
    XCloseDisplay(d);
    return 0;
}
