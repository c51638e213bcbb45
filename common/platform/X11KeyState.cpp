#include "common/platform/X11KeyState.h"

#include <X11/XKBlib.h>
#include <X11/extensions/XInput2.h>

#include <array>
#include <map>
#include <mutex>

#include "common/platform/X11Support.h"

namespace common {

struct X11KeyState::Impl {
    x11::DisplayPtr display;
    std::mutex mutex;
    int xiOpcode = -1;                      // -1: no XInput2, presses are not latched
    int xkbEvent = -1;                      // base of XKB events, to see keymap changes
    std::array<bool, 256> pressed{};        // presses seen since each key's last query
    std::map<int, std::vector<int>> codes;  // virtual key -> key codes, per keymap

    void selectRawKeyPresses() {
        Display* d = display.get();
        int event = 0;
        int error = 0;
        if (!XQueryExtension(d, "XInputExtension", &xiOpcode, &event, &error)) {
            xiOpcode = -1;
            return;
        }
        int major = 2;
        int minor = 2;
        // Raw events reach a client without a grab from version 2.1 on.
        if (XIQueryVersion(d, &major, &minor) != Success || major < 2 ||
            (major == 2 && minor < 1)) {
            xiOpcode = -1;
            return;
        }
        unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
        XISetMask(bits, XI_RawKeyPress);
        XIEventMask mask{};
        mask.deviceid = XIAllMasterDevices;
        mask.mask_len = sizeof bits;
        mask.mask = bits;
        XISelectEvents(d, DefaultRootWindow(d), &mask, 1);
    }

    void watchKeymap() {
        Display* d = display.get();
        int opcode = 0;
        int error = 0;
        int major = XkbMajorVersion;
        int minor = XkbMinorVersion;
        if (XkbQueryExtension(d, &opcode, &xkbEvent, &error, &major, &minor)) {
            XkbSelectEvents(d, XkbUseCoreKbd, XkbMapNotifyMask | XkbNewKeyboardNotifyMask,
                            XkbMapNotifyMask | XkbNewKeyboardNotifyMask);
        } else {
            xkbEvent = -1;
        }
    }

    // Takes every queued event: latches raw key presses, forgets key codes
    // when the keymap changed.
    void drain() {
        Display* d = display.get();
        while (XPending(d) > 0) {
            XEvent ev;
            XNextEvent(d, &ev);
            if (ev.type == GenericEvent && ev.xcookie.extension == xiOpcode &&
                XGetEventData(d, &ev.xcookie)) {
                if (ev.xcookie.evtype == XI_RawKeyPress) {
                    const auto* raw = static_cast<const XIRawEvent*>(ev.xcookie.data);
                    if (raw->detail >= 0 && raw->detail < static_cast<int>(pressed.size())) {
                        pressed[static_cast<std::size_t>(raw->detail)] = true;
                    }
                }
                XFreeEventData(d, &ev.xcookie);
            } else if (ev.type == MappingNotify) {
                XRefreshKeyboardMapping(&ev.xmapping);
                codes.clear();
            } else if (xkbEvent >= 0 && ev.type == xkbEvent) {
                codes.clear();
            }
        }
    }

    const std::vector<int>& codesFor(int vk) {
        auto it = codes.find(vk);
        if (it == codes.end()) {
            it = codes.emplace(vk, x11::keycodesForVk(display.get(), vk)).first;
        }
        return it->second;
    }
};

std::unique_ptr<X11KeyState> X11KeyState::open(const char* displayName) {
    auto impl = std::make_unique<Impl>();
    impl->display = x11::openDisplay(displayName);
    if (!impl->display) {
        return nullptr;
    }
    impl->watchKeymap();
    impl->selectRawKeyPresses();
    XFlush(impl->display.get());
    return std::unique_ptr<X11KeyState>(new X11KeyState(std::move(impl)));
}

X11KeyState::X11KeyState(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

X11KeyState::~X11KeyState() = default;

bool X11KeyState::latchesPresses() const {
    return impl_->xiOpcode >= 0;
}

std::vector<int> X11KeyState::keycodesFor(int vk) {
    std::lock_guard lock(impl_->mutex);
    impl_->drain();
    return impl_->codesFor(vk);
}

int X11KeyState::asyncKeyState(int vk) {
    std::lock_guard lock(impl_->mutex);
    Impl& s = *impl_;
    // The keymap reply comes after every raw event the server sent before it,
    // so draining afterwards takes each press either as part of this answer
    // or leaves it for the next query, never both.
    char keys[32] = {};
    XQueryKeymap(s.display.get(), keys);
    s.drain();
    const std::vector<int>& kcs = s.codesFor(vk);
    bool down = false;
    bool latched = false;
    for (int kc : kcs) {
        if (kc < 0 || kc >= 256) {
            continue;
        }
        down = down || (keys[kc / 8] & (1 << (kc % 8))) != 0;
        latched = latched || s.pressed[static_cast<std::size_t>(kc)];
        s.pressed[static_cast<std::size_t>(kc)] = false;
    }
    return down ? 0x8000 : (latched ? 1 : 0);
}

}  // namespace common
