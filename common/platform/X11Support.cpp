#include "common/platform/X11Support.h"

#include <X11/extensions/XTest.h>
#include <X11/extensions/Xrandr.h>

#include <X11/XKBlib.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace common::x11 {

namespace {

int ignoreError(Display*, XErrorEvent*) {
    return 0;
}

void installErrorHandler() {
    static std::once_flag once;
    std::call_once(once, [] {
        XInitThreads();
        // Only the default handler is replaced; one that the application set
        // stays in place.
        XErrorHandler previous = XSetErrorHandler(nullptr);
        XErrorHandler defaultHandler = XSetErrorHandler(previous);
        if (previous == defaultHandler) {
            XSetErrorHandler(ignoreError);
        }
    });
}

int keycodeByXkbName(Display* display, const char* name) {
    XkbDescPtr desc = XkbGetMap(display, 0, XkbUseCoreKbd);
    if (!desc) {
        return 0;
    }
    int found = 0;
    if (XkbGetNames(display, XkbKeyNamesMask, desc) == Success && desc->names &&
        desc->names->keys) {
        for (int kc = desc->min_key_code; kc <= desc->max_key_code; ++kc) {
            if (std::strncmp(desc->names->keys[kc].name, name, XkbKeyNameLength) == 0) {
                found = kc;
                break;
            }
        }
    }
    XkbFreeKeyboard(desc, 0, True);
    return found;
}

}  // namespace

void DisplayCloser::operator()(Display* d) const {
    if (d) {
        XCloseDisplay(d);
    }
}

DisplayPtr openDisplay(const char* displayName) {
    installErrorHandler();
    return DisplayPtr(XOpenDisplay(displayName));
}

ScreenSize rootSize(Display* d) {
    Window root = 0;
    int x = 0;
    int y = 0;
    unsigned w = 0;
    unsigned h = 0;
    unsigned border = 0;
    unsigned depth = 0;
    if (!XGetGeometry(d, DefaultRootWindow(d), &root, &x, &y, &w, &h, &border, &depth)) {
        return {DisplayWidth(d, DefaultScreen(d)), DisplayHeight(d, DefaultScreen(d))};
    }
    return {static_cast<int>(w), static_cast<int>(h)};
}

std::vector<Monitor> monitors(Display* d) {
    std::vector<Monitor> result;
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    // Monitors (RandR 1.5) include the virtual ones `xrandr --setmonitor` makes.
    if (XRRQueryExtension(d, &eventBase, &errorBase) && XRRQueryVersion(d, &major, &minor) &&
        (major > 1 || (major == 1 && minor >= 5))) {
        int count = 0;
        XRRMonitorInfo* info = XRRGetMonitors(d, DefaultRootWindow(d), True, &count);
        for (int i = 0; info != nullptr && i < count; ++i) {
            Monitor m;
            if (char* name = XGetAtomName(d, info[i].name)) {
                m.name = name;
                XFree(name);
            }
            m.rect = {info[i].x, info[i].y, info[i].width, info[i].height};
            m.primary = info[i].primary != 0;
            if (m.rect.width > 0 && m.rect.height > 0) {
                result.push_back(std::move(m));
            }
        }
        if (info != nullptr) {
            XRRFreeMonitors(info);
        }
    }
    if (result.empty()) {
        const ScreenSize root = rootSize(d);
        result.push_back({"default", {0, 0, root.width, root.height}, true});
    }
    return result;
}

unsigned long keysymForVk(int vk) {
    switch (vk) {
        case 0x08:
            return XK_BackSpace;
        case 0x09:
            return XK_Tab;
        case 0x0D:
            return XK_Return;
        case 0x10:
            return XK_Shift_L;
        case 0x11:
            return XK_Control_L;
        case 0x12:
            return XK_Alt_L;
        case 0x13:
            return XK_Pause;
        case 0x14:
            return XK_Caps_Lock;
        case 0x1B:
            return XK_Escape;
        case 0x20:
            return XK_space;
        case 0x21:
            return XK_Prior;
        case 0x22:
            return XK_Next;
        case 0x23:
            return XK_End;
        case 0x24:
            return XK_Home;
        case 0x25:
            return XK_Left;
        case 0x26:
            return XK_Up;
        case 0x27:
            return XK_Right;
        case 0x28:
            return XK_Down;
        case 0x2D:
            return XK_Insert;
        case 0x2E:
            return XK_Delete;
        default:
            break;
    }
    if (vk >= 0x30 && vk <= 0x39) {
        return XK_0 + static_cast<unsigned long>(vk - 0x30);
    }
    if (vk >= 0x41 && vk <= 0x5A) {
        return XK_a + static_cast<unsigned long>(vk - 0x41);
    }
    if (vk >= 0x60 && vk <= 0x69) {
        return XK_KP_0 + static_cast<unsigned long>(vk - 0x60);
    }
    if (vk >= 0x70 && vk <= 0x87) {  // F1..F24
        return XK_F1 + static_cast<unsigned long>(vk - 0x70);
    }
    return NoSymbol;
}

std::vector<int> keycodesForVk(Display* display, int vk) {
    std::vector<int> codes;
    const KeySym wanted = keysymForVk(vk);
    if (wanted != NoSymbol) {
        int minKc = 0;
        int maxKc = 0;
        XDisplayKeycodes(display, &minKc, &maxKc);
        int perCode = 0;
        KeySym* map =
            XGetKeyboardMapping(display, static_cast<KeyCode>(minKc), maxKc - minKc + 1, &perCode);
        if (map) {
            for (int kc = minKc; kc <= maxKc; ++kc) {
                const KeySym* syms = map + static_cast<std::ptrdiff_t>(kc - minKc) * perCode;
                if (std::find(syms, syms + perCode, wanted) != syms + perCode) {
                    codes.push_back(kc);
                }
            }
            XFree(map);
        }
    }
    if (vk == 0x7C) {
        if (int kc = keycodeByXkbName(display, "FK13");
            kc != 0 && std::find(codes.begin(), codes.end(), kc) == codes.end()) {
            codes.push_back(kc);
        }
    }
    return codes;
}

bool hasXTest(Display* display) {
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    return XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor) != 0;
}

}  // namespace common::x11
