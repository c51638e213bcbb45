#include "tests/support/X11.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xrandr.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "tests/support/Wait.h"

namespace tktest {

void DisplayCloser::operator()(Display* d) const {
    XCloseDisplay(d);
}

DisplayPtr openDisplay(const char* name) {
    // Tests read other programs' windows, which may go at any moment: a
    // request on a vanished window is an error to ignore, not a reason for
    // Xlib to end the test process (its children would then hold ctest's
    // pipe until the time-out).
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    return DisplayPtr(XOpenDisplay(name));
}

std::uint32_t rootPixel(Display* d, int x, int y) {
    XImage* shot = XGetImage(d, DefaultRootWindow(d), x, y, 1, 1, AllPlanes, ZPixmap);
    if (shot == nullptr) {
        return 0;
    }
    const auto pixel = 0xFF000000u | static_cast<std::uint32_t>(XGetPixel(shot, 0, 0) & 0xFFFFFF);
    XDestroyImage(shot);
    return pixel;
}

Pointer pointer(Display* d) {
    Window root = 0, child = 0;
    int wx = 0, wy = 0;
    Pointer p;
    XQueryPointer(d, DefaultRootWindow(d), &root, &child, &p.x, &p.y, &wx, &wy, &p.buttons);
    return p;
}

namespace {

void moveTo(Display* d, int x, int y) {
    XTestFakeMotionEvent(d, DefaultScreen(d), x, y, CurrentTime);
    XSync(d, False);
}

void button(Display* d, int number, bool down) {
    XTestFakeButtonEvent(d, static_cast<unsigned>(number), down ? True : False, CurrentTime);
    XSync(d, False);
}

}  // namespace

void click(Display* d, int x, int y, int number, milliseconds settle) {
    moveTo(d, x, y);
    pause(settle);
    button(d, number, true);
    button(d, number, false);
}

void stroke(Display* d, int x, int y, int x2, int y2, int steps, milliseconds every,
            milliseconds settle) {
    moveTo(d, x, y);
    pause(settle);
    button(d, 1, true);
    pause(settle);
    for (int i = 1; i <= steps; ++i) {
        moveTo(d, static_cast<int>(std::lround(x + double(x2 - x) * i / steps)),
               static_cast<int>(std::lround(y + double(y2 - y) * i / steps)));
        pause(every);
    }
    button(d, 1, false);
}

void tapKeys(Display* d, const std::vector<unsigned long>& keysyms, milliseconds every) {
    for (const bool down : {true, false}) {
        for (std::size_t i = 0; i < keysyms.size(); ++i) {
            const KeySym k = keysyms[down ? i : keysyms.size() - 1 - i];
            XTestFakeKeyEvent(d, XKeysymToKeycode(d, k), down ? True : False, CurrentTime);
            XSync(d, False);
            pause(every);
        }
    }
}

void clearMonitors(Display* d) {
    // Deleting a monitor that went meanwhile is an error to ignore.
    const auto previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    int count = 0;
    if (XRRMonitorInfo* old = XRRGetMonitors(d, DefaultRootWindow(d), False, &count)) {
        for (int i = 0; i < count; ++i) {
            if (!old[i].automatic) {
                XRRDeleteMonitor(d, DefaultRootWindow(d), old[i].name);
            }
        }
        XRRFreeMonitors(old);
    }
    XRRSetOutputPrimary(d, DefaultRootWindow(d), None);
    XSync(d, False);
    XSetErrorHandler(previous);
}

bool setMonitors(Display* d, const std::vector<Monitor>& wanted) {
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XRRQueryExtension(d, &event, &error) || !XRRQueryVersion(d, &major, &minor) ||
        major * 100 + minor < 105) {
        return false;
    }
    clearMonitors(d);
    const Window root = DefaultRootWindow(d);
    XRRScreenResources* resources = XRRGetScreenResources(d, root);
    const bool haveOutput = resources != nullptr && resources->noutput > 0;
    for (const Monitor& w : wanted) {
        const bool withOutput = w.primary && haveOutput;
        XRRMonitorInfo* m = XRRAllocateMonitor(d, withOutput ? 1 : 0);
        m->name = XInternAtom(d, w.name.c_str(), False);
        m->primary = w.primary ? True : False;
        m->automatic = False;
        m->x = w.x;
        m->y = w.y;
        m->width = w.width;
        m->height = w.height;
        m->mwidth = w.width * 254 / 960;  // 96 dots per inch
        m->mheight = w.height * 254 / 960;
        if (withOutput) {
            m->outputs[0] = resources->outputs[0];
            XRRSetOutputPrimary(d, root, resources->outputs[0]);
        }
        XRRSetMonitor(d, root, m);
        XRRFreeMonitors(m);
    }
    if (resources != nullptr) {
        XRRFreeScreenResources(resources);
    }
    XSync(d, False);
    return true;
}

bool XServer::start(const std::string& size) {
    // Xvfb reports every display number it finds taken: keep that quiet.
    process_ = Process::start(
        {"Xvfb", "-displayfd", "3", "-screen", "0", size + "x24", "-nolisten", "tcp", "-noreset"},
        {.out = "/dev/null", .err = "/dev/null", .reportFd = 3});
    const std::string number = process_ ? process_->readLine(std::chrono::seconds(20)) : "";
    name_ = number.empty() ? "" : ":" + number;
    return !name_.empty();
}

bool onPrivateDisplay() {
    return std::getenv(kPrivateDisplayChild) != nullptr;
}

ChildResult runOnPrivateDisplay(const std::string& testName, bool compositor) {
    ChildResult result;
    XServer server;
    if (!server.start()) {
        result.error = "Xvfb did not start (is it installed?)";
        return result;
    }
    const std::vector<std::string> env = {"DISPLAY=" + server.name(),
                                          std::string(kPrivateDisplayChild) + "=1",
                                          "QT_QPA_PLATFORM=xcb"};
    std::unique_ptr<Process> manager;
    if (compositor) {
        manager = Process::start({"xcompmgr"}, {.env = env});
        if (!manager) {
            result.error = "xcompmgr is not installed";
            return result;
        }
        const auto owned = [&] {
            DisplayPtr d = openDisplay(server.name().c_str());
            return d && XGetSelectionOwner(d.get(), XInternAtom(d.get(), "_NET_WM_CM_S0", False));
        };
        if (!waitUntil(owned, std::chrono::seconds(10), milliseconds(20))) {
            result.error = "xcompmgr did not start";
            return result;
        }
    }
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    auto child = Process::start({self, "--gtest_filter=" + testName}, {.env = env});
    if (!child) {
        result.error = "the test program could not be started again";
        return result;
    }
    result.started = true;
    if (child->waitExit(std::chrono::seconds(60))) {
        result.exitCode = child->exitCode();
    }
    return result;
}

}  // namespace tktest
