// A desktop panel for the private X screen: a bar along the bottom edge whose
// right end is a notification area (the freedesktop system tray protocol with
// XEmbed), so programs that hide to the tray can do so on the test screen.
// Without a window manager on that screen, the panel also carries out
// minimise requests (the ICCCM WM_CHANGE_STATE message): the window is
// unmapped and marked iconic. Under a window manager (--dock) it is a dock
// window that reserves its strip, so the work area leaves it out, as a real
// panel's does, and minimising is the manager's. --monitor puts the bar along
// the bottom of that monitor instead of the screen.
//   e2e_panel [--height PX] [--no-tray] [--dock] [--monitor WxH+X+Y]

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/platform/X11Window.h"
#include "tests/support/X11.h"

namespace {

constexpr long kRequestDock = 0;     // SYSTEM_TRAY_REQUEST_DOCK
constexpr long kEmbeddedNotify = 0;  // XEMBED_EMBEDDED_NOTIFY
volatile std::sig_atomic_t stopping = 0;

void onSignal(int) {
    stopping = 1;
}

// A 32-bit client message about `about` of `type`, sent to `to`.
void sendMessage(Display* d, Window to, long mask, Window about, Atom type,
                 const std::vector<long>& data) {
    XClientMessageEvent m{};
    m.type = ClientMessage;
    m.window = about;
    m.message_type = type;
    m.format = 32;
    std::copy(data.begin(), data.end(), m.data.l);
    XSendEvent(d, to, False, mask, reinterpret_cast<XEvent*>(&m));
}

}  // namespace

int main(int argc, char** argv) {
    int height = 30;
    bool tray = true;
    bool dock = false;
    int width = 0, mheight = 0, mx = 0, my = 0;  // the monitor's
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--height") == 0 && i + 1 < argc) {
            height = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--no-tray") == 0) {
            tray = false;
        } else if (std::strcmp(argv[i], "--dock") == 0) {
            dock = true;
        } else if (std::strcmp(argv[i], "--monitor") == 0 && i + 1 < argc &&
                   std::sscanf(argv[i + 1], "%dx%d+%d+%d", &width, &mheight, &mx, &my) == 4 &&
                   width > 0 && mheight > 0) {
            ++i;
        } else {
            std::fprintf(stderr,
                         "usage: e2e_panel [--height PX] [--no-tray] [--dock] "
                         "[--monitor WxH+X+Y]\n");
            return 2;
        }
    }
    if (height < 16 || height > 200) {
        std::fprintf(stderr, "e2e_panel: height from 16 to 200\n");
        return 2;
    }
    // Errors are ignored: icons may vanish any time.
    const tktest::DisplayPtr display = tktest::openDisplay();
    Display* d = display.get();
    if (d == nullptr) {
        std::fprintf(stderr, "e2e_panel: cannot open display\n");
        return 1;
    }
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    const int screen = DefaultScreen(d);
    const Window root = RootWindow(d, screen);
    if (width == 0) {
        width = DisplayWidth(d, screen);
        mheight = DisplayHeight(d, screen);
    }
    const int top = my + mheight - height;

    XColor bar{}, slotColour{}, exact{};
    XAllocNamedColor(d, DefaultColormap(d, screen), "#1f2d44", &bar, &exact);
    XAllocNamedColor(d, DefaultColormap(d, screen), "#35486a", &slotColour, &exact);
    XSetWindowAttributes a{};
    a.override_redirect = dock ? False : True;  // no manager to place it otherwise
    a.background_pixel = bar.pixel;
    a.event_mask = SubstructureNotifyMask | StructureNotifyMask;
    const Window panel =
        XCreateWindow(d, root, mx, top, static_cast<unsigned>(width), static_cast<unsigned>(height),
                      0, CopyFromParent, InputOutput, CopyFromParent,
                      CWOverrideRedirect | CWBackPixel | CWEventMask, &a);
    XStoreName(d, panel, "Panel");
    if (dock) {
        common::x11::setLongs(d, panel, "_NET_WM_WINDOW_TYPE", XA_ATOM,
                              {XInternAtom(d, "_NET_WM_WINDOW_TYPE_DOCK", False)});
        // Reserved from the bottom of the X screen, along this monitor only.
        const unsigned long bottom = DisplayHeight(d, screen) - top;
        const std::vector<unsigned long> strut = {
            0, 0, 0, bottom, 0, 0, 0, 0, 0, 0, unsigned(mx), unsigned(mx + width - 1)};
        common::x11::setLongs(d, panel, "_NET_WM_STRUT_PARTIAL", XA_CARDINAL, strut);
        common::x11::setLongs(d, panel, "_NET_WM_STRUT", XA_CARDINAL, {0, 0, 0, bottom});
        XSizeHints hints{};
        hints.flags = PPosition | USPosition;
        hints.x = mx;
        hints.y = top;
        XSetWMNormalHints(d, panel, &hints);
    }
    XMapWindow(d, panel);

    const std::string selectionName = "_NET_SYSTEM_TRAY_S" + std::to_string(screen);
    const Atom selection = XInternAtom(d, selectionName.c_str(), False);
    const Atom opcode = XInternAtom(d, "_NET_SYSTEM_TRAY_OPCODE", False);
    const Atom xembed = XInternAtom(d, "_XEMBED", False);
    common::x11::setLongs(d, panel, "_NET_SYSTEM_TRAY_ORIENTATION", XA_CARDINAL, {0});  // across
    if (tray) {
        XSetSelectionOwner(d, selection, panel, CurrentTime);
        if (XGetSelectionOwner(d, selection) != panel) {
            std::fprintf(stderr, "e2e_panel: another notification area runs\n");
            return 1;
        }
        // Tell waiting icons that a notification area is there.
        sendMessage(d, root, StructureNotifyMask, root, XInternAtom(d, "MANAGER", False),
                    {CurrentTime, static_cast<long>(selection), static_cast<long>(panel)});
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
        if (!dock && e.type == ClientMessage && e.xclient.message_type == changeState &&
            e.xclient.data.l[0] == IconicState) {
            const Window w = e.xclient.window;
            common::x11::setLongs(d, w, "WM_STATE", wmState, {IconicState, 0});
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
            sendMessage(d, icon, NoEventMask, icon, xembed,
                        {CurrentTime, kEmbeddedNotify, 0, static_cast<long>(panel)});
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
    return 0;
}
