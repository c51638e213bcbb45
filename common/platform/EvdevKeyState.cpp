#include "common/platform/EvdevKeyState.h"

#include <fcntl.h>
#include <libevdev/libevdev.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <filesystem>
#include <mutex>

#include "common/platform/EvdevKeys.h"

namespace common {

namespace {

struct DeviceCloser {
    void operator()(libevdev* dev) const {
        const int fd = libevdev_get_fd(dev);
        libevdev_free(dev);
        ::close(fd);
    }
};
using DevicePtr = std::unique_ptr<libevdev, DeviceCloser>;

}  // namespace

struct EvdevKeyState::Impl {
    std::vector<DevicePtr> devices;
    std::unique_ptr<KeyState> fallback;
    std::mutex mutex;
    std::array<bool, KEY_MAX + 1> pressed{};  // presses seen since each key's last query

    // Takes every queued event; after a dropped-events report libevdev brings
    // its key table up to date and the presses it replays are latched too.
    void drain() {
        for (const DevicePtr& dev : devices) {
            unsigned flags = LIBEVDEV_READ_FLAG_NORMAL;
            input_event ev{};
            while (true) {
                const int rc = libevdev_next_event(dev.get(), flags, &ev);
                if (rc == LIBEVDEV_READ_STATUS_SUCCESS || rc == LIBEVDEV_READ_STATUS_SYNC) {
                    if (rc == LIBEVDEV_READ_STATUS_SYNC) {
                        flags = LIBEVDEV_READ_FLAG_SYNC;
                    }
                    if (ev.type == EV_KEY && ev.value == 1 && ev.code <= KEY_MAX) {
                        pressed[ev.code] = true;
                    }
                } else if (rc == -EAGAIN && flags == LIBEVDEV_READ_FLAG_SYNC) {
                    flags = LIBEVDEV_READ_FLAG_NORMAL;
                } else {
                    break;  // nothing more now, or the device is gone
                }
            }
        }
    }
};

std::unique_ptr<EvdevKeyState> EvdevKeyState::open(std::unique_ptr<KeyState>& fallback,
                                                   std::string& problem, const std::string& dir) {
    auto impl = std::make_unique<Impl>();
    int found = 0;
    int denied = 0;
    std::error_code ec;
    std::vector<std::filesystem::path> paths;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        if (entry.path().filename().string().starts_with("event")) {
            paths.push_back(entry.path());
        }
    }
    std::sort(paths.begin(), paths.end());
    for (const auto& path : paths) {
        ++found;
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            denied += errno == EACCES || errno == EPERM ? 1 : 0;
            continue;
        }
        libevdev* dev = nullptr;
        if (libevdev_new_from_fd(fd, &dev) < 0) {
            ::close(fd);
            continue;
        }
        DevicePtr owned(dev);
        if (libevdev_has_event_code(dev, EV_KEY, KEY_F13)) {
            impl->devices.push_back(std::move(owned));
        }
    }
    if (impl->devices.empty()) {
        problem = "the pen button (F13) cannot be read, so \"F13Trig\" cannot be used: ";
        if (found == 0) {
            problem += "no input devices in " + dir;
        } else if (denied > 0) {
            problem += "no permission to read the keyboards in " + dir +
                       " (the user must be in the \"input\" group; see the README, \"Wayland\")";
        } else {
            problem += "no keyboard in " + dir + " has an F13 key";
        }
        return nullptr;
    }
    impl->fallback = std::move(fallback);
    return std::unique_ptr<EvdevKeyState>(new EvdevKeyState(std::move(impl)));
}

EvdevKeyState::EvdevKeyState(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

EvdevKeyState::~EvdevKeyState() = default;

std::vector<std::string> EvdevKeyState::deviceNames() const {
    std::vector<std::string> names;
    for (const DevicePtr& dev : impl_->devices) {
        const char* name = libevdev_get_name(dev.get());
        names.emplace_back(name ? name : "");
    }
    return names;
}

int EvdevKeyState::asyncKeyState(int vk) {
    int result = 0;
    if (const int code = evdevKeyForVk(vk); code != 0) {
        std::lock_guard lock(impl_->mutex);
        impl_->drain();
        bool down = false;
        for (const DevicePtr& dev : impl_->devices) {
            down = down || libevdev_get_event_value(dev.get(), EV_KEY, code) != 0;
        }
        const bool latched = impl_->pressed[static_cast<std::size_t>(code)];
        impl_->pressed[static_cast<std::size_t>(code)] = false;
        result = down ? 0x8000 : (latched ? 1 : 0);
    }
    if (impl_->fallback) {
        const int other = impl_->fallback->asyncKeyState(vk);
        result = (result & 0x8000) || (other & 0x8000) ? 0x8000 : (result | other);
    }
    return result;
}

}  // namespace common
