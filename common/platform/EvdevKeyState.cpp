#include "common/platform/EvdevKeyState.h"

#include <fcntl.h>
#include <linux/input.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <filesystem>
#include <mutex>
#include <span>
#include <utility>

#include "common/platform/EvdevKeys.h"

namespace common {

namespace {

// The only keys read; presses of any other key are not kept.
constexpr std::array<int, 4> kKeys = {KEY_F13, KEY_ESC, KEY_PAGEUP, KEY_PAGEDOWN};
using KeyFlags = std::array<bool, kKeys.size()>;

int keyIndex(int code) {
    const auto* it = std::find(kKeys.begin(), kKeys.end(), code);
    return it == kKeys.end() ? -1 : static_cast<int>(it - kKeys.begin());
}

using KeyBits = std::array<unsigned char, KEY_MAX / CHAR_BIT + 1>;

bool bitSet(const KeyBits& bits, int code) {
    return (bits[static_cast<std::size_t>(code / CHAR_BIT)] >> (code % CHAR_BIT)) & 1;
}

struct Device {
    int fd = -1;
    std::string file;  // its name in the folder
    std::string name;
    KeyFlags down{};
    bool dropping = false;  // events were lost: skip to the next report, then ask again
};

enum class Opened { Added, NotAKeyboard, Denied, Failed };

}  // namespace

EvdevCalls systemEvdevCalls() {
    return {[](int fd, unsigned long request, void* arg) { return ::ioctl(fd, request, arg); },
            [](int fd, void* buffer, std::size_t size) { return ::read(fd, buffer, size); }};
}

struct EvdevKeyState::Impl {
    std::string dir;
    EvdevCalls calls;
    int watch = -1;  // inotify descriptor on dir; -1: devices plugged in later are not seen
    std::vector<Device> devices;
    std::unique_ptr<KeyState> fallback;
    mutable std::mutex mutex;
    KeyFlags latched{};  // presses seen since each key's last query

    ~Impl() {
        for (const Device& d : devices) {
            ::close(d.fd);
        }
        if (watch >= 0) {
            ::close(watch);
        }
    }

    // The device's keys as the kernel holds them now; a key found down that
    // was up counts as a press.
    bool readKeys(Device& d, bool latch) {
        KeyBits bits{};
        if (calls.ioctl(d.fd, EVIOCGKEY(sizeof bits), bits.data()) < 0) {
            return false;
        }
        for (std::size_t i = 0; i < kKeys.size(); ++i) {
            const bool now = bitSet(bits, kKeys[i]);
            latched[i] = latched[i] || (latch && now && !d.down[i]);
            d.down[i] = now;
        }
        return true;
    }

    Opened add(const std::string& file) {
        if (!file.starts_with("event") ||
            std::any_of(devices.begin(), devices.end(),
                        [&](const Device& d) { return d.file == file; })) {
            return Opened::Failed;
        }
        const std::string path = dir + "/" + file;
        Device d;
        d.fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (d.fd < 0) {
            return errno == EACCES || errno == EPERM ? Opened::Denied : Opened::Failed;
        }
        d.file = file;
        KeyBits keys{};
        std::array<char, 256> name{};
        if (calls.ioctl(d.fd, EVIOCGBIT(EV_KEY, sizeof keys), keys.data()) < 0 ||
            !bitSet(keys, KEY_F13) || !readKeys(d, false)) {
            ::close(d.fd);
            return Opened::NotAKeyboard;
        }
        if (calls.ioctl(d.fd, EVIOCGNAME(name.size() - 1), name.data()) >= 0) {
            d.name = name.data();
        }
        devices.push_back(std::move(d));
        return Opened::Added;
    }

    // Opens the devices that appeared (or became readable) since the last call.
    void watchFolder() {
        alignas(inotify_event) char buffer[4096];
        ssize_t n = 0;
        while (watch >= 0 && (n = ::read(watch, buffer, sizeof buffer)) > 0) {
            for (ssize_t at = 0; at < n;) {
                const auto* ev = reinterpret_cast<const inotify_event*>(buffer + at);
                if (ev->len > 0) {
                    add(ev->name);
                }
                at += static_cast<ssize_t>(sizeof(inotify_event) + ev->len);
            }
        }
    }

    // Takes every queued event of d; false when the device is gone.
    bool drain(Device& d) {
        std::array<input_event, 64> events{};
        while (true) {
            const ssize_t n = calls.read(d.fd, events.data(), sizeof events);
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                return true;
            }
            if (n <= 0) {
                return false;  // ENODEV: unplugged
            }
            const auto count = static_cast<std::size_t>(n) / sizeof(input_event);
            for (const input_event& ev : std::span(events.data(), count)) {
                if (ev.type == EV_SYN && ev.code == SYN_DROPPED) {
                    d.dropping = true;
                } else if (d.dropping) {
                    if (ev.type == EV_SYN && ev.code == SYN_REPORT) {
                        d.dropping = false;
                        readKeys(d, true);
                    }
                } else if (const int k = keyIndex(ev.code); ev.type == EV_KEY && k >= 0) {
                    const auto i = static_cast<std::size_t>(k);
                    latched[i] = latched[i] || (ev.value == 1 && !d.down[i]);
                    d.down[i] = ev.value != 0;
                }
            }
        }
    }

    void update() {
        watchFolder();
        std::erase_if(devices, [this](Device& d) {
            if (drain(d)) {
                return false;
            }
            ::close(d.fd);  // its keys go with it: none stays held
            return true;
        });
    }
};

std::unique_ptr<EvdevKeyState> EvdevKeyState::open(std::unique_ptr<KeyState>& fallback,
                                                   std::string& problem, const std::string& dir,
                                                   EvdevCalls calls) {
    auto impl = std::make_unique<Impl>();
    impl->dir = dir;
    impl->calls = std::move(calls);
    // Watched before the first look, so that nothing plugged in between is missed.
    impl->watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (impl->watch >= 0 &&
        ::inotify_add_watch(impl->watch, dir.c_str(), IN_CREATE | IN_ATTRIB | IN_MOVED_TO) < 0) {
        ::close(std::exchange(impl->watch, -1));
    }
    int found = 0;
    int denied = 0;
    std::error_code ec;
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        files.push_back(entry.path().filename().string());
    }
    std::sort(files.begin(), files.end());
    for (const std::string& file : files) {
        const Opened opened = impl->add(file);
        found += file.starts_with("event") ? 1 : 0;
        denied += opened == Opened::Denied ? 1 : 0;
    }
    if (impl->devices.empty()) {
        problem = "the pen button (F13) cannot be read, so \"F13Trig\" cannot be used: ";
        if (found == 0) {
            problem += "no input devices in " + dir;
        } else if (denied > 0) {
            problem += "no permission to read the input devices in " + dir +
                       " (a udev rule can give the user at the seat the pen's receiver alone;"
                       " see the README, \"The pen's button\")";
        } else {
            problem += "no input device in " + dir + " has an F13 key";
        }
        if (impl->watch < 0) {
            return nullptr;
        }
        problem += "; a receiver plugged in later is read as soon as it appears";
    }
    impl->fallback = std::move(fallback);
    return std::unique_ptr<EvdevKeyState>(new EvdevKeyState(std::move(impl)));
}

EvdevKeyState::EvdevKeyState(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

EvdevKeyState::~EvdevKeyState() = default;

std::vector<std::string> EvdevKeyState::deviceNames() const {
    std::lock_guard lock(impl_->mutex);
    std::vector<std::string> names;
    for (const Device& d : impl_->devices) {
        names.push_back(d.name);
    }
    return names;
}

int EvdevKeyState::asyncKeyState(int vk) {
    int result = 0;
    if (const int k = keyIndex(evdevKeyForVk(vk)); k >= 0) {
        const auto i = static_cast<std::size_t>(k);
        std::lock_guard lock(impl_->mutex);
        impl_->update();
        const bool down = std::any_of(impl_->devices.begin(), impl_->devices.end(),
                                      [i](const Device& d) { return d.down[i]; });
        result = down ? 0x8000 : (impl_->latched[i] ? 1 : 0);
        impl_->latched[i] = false;
    }
    if (impl_->fallback) {
        const int other = impl_->fallback->asyncKeyState(vk);
        result = (result & 0x8000) || (other & 0x8000) ? 0x8000 : (result | other);
    }
    return result;
}

}  // namespace common
