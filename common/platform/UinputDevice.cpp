#include "common/platform/UinputDevice.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace common {

UinputIoctl systemUinputIoctl() {
    return
        [](int fd, unsigned long request, std::uintptr_t arg) { return ::ioctl(fd, request, arg); };
}

UinputOpen openUinput(const char* path) {
    const int fd = ::open(path, O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        return {fd, {}};
    }
    const int error = errno;
    const std::string rule = std::string("install ") + kUinputRuleFile +
                             " into /etc/udev/rules.d/ (see the README, \"Wayland\")";
    std::string problem = std::string("cannot open ") + path + ": ";
    switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            problem += "the uinput kernel module is not loaded (run: sudo modprobe uinput, then " +
                       rule + ")";
            break;
        case EACCES:
        case EPERM:
            problem += "no permission (" + rule + ", then log in again)";
            break;
        default:
            problem += std::string(std::strerror(error)) + " (" + rule + ")";
            break;
    }
    return {-1, problem};
}

std::unique_ptr<UinputDevice> UinputDevice::create(int fd, const UinputSpec& spec,
                                                   UinputIoctl ioctl, std::string& problem) {
    std::unique_ptr<UinputDevice> device(new UinputDevice(fd, std::move(ioctl)));
    const auto call = [&](unsigned long request, std::uintptr_t arg, const char* what) {
        if (device->ioctl_(fd, request, arg) < 0) {
            problem = std::string("uinput: ") + what + " failed: " + std::strerror(errno);
            return false;
        }
        return true;
    };
    const auto bit = [&](unsigned long request, int value, const char* what) {
        return call(request, static_cast<std::uintptr_t>(value), what);
    };
    if (!spec.keys.empty()) {
        if (!bit(UI_SET_EVBIT, EV_KEY, "UI_SET_EVBIT")) {
            return nullptr;
        }
        for (int key : spec.keys) {
            if (!bit(UI_SET_KEYBIT, key, "UI_SET_KEYBIT")) {
                return nullptr;
            }
        }
    }
    if (!spec.axes.empty()) {
        if (!bit(UI_SET_EVBIT, EV_ABS, "UI_SET_EVBIT")) {
            return nullptr;
        }
        for (const UinputAxis& a : spec.axes) {
            if (!bit(UI_SET_ABSBIT, a.code, "UI_SET_ABSBIT")) {
                return nullptr;
            }
            uinput_abs_setup abs{};
            abs.code = static_cast<std::uint16_t>(a.code);
            abs.absinfo.minimum = 0;
            abs.absinfo.maximum = a.maximum;
            abs.absinfo.resolution = a.resolution;
            if (!call(UI_ABS_SETUP, reinterpret_cast<std::uintptr_t>(&abs), "UI_ABS_SETUP")) {
                return nullptr;
            }
        }
    }
    uinput_setup setup{};
    setup.id.bustype = BUS_VIRTUAL;
    setup.id.version = 1;
    std::strncpy(setup.name, spec.name.c_str(), UINPUT_MAX_NAME_SIZE - 1);
    if (!call(UI_DEV_SETUP, reinterpret_cast<std::uintptr_t>(&setup), "UI_DEV_SETUP") ||
        !call(UI_DEV_CREATE, 0, "UI_DEV_CREATE")) {
        return nullptr;
    }
    return device;
}

UinputDevice::~UinputDevice() {
    if (fd_ >= 0) {
        (void)ioctl_(fd_, UI_DEV_DESTROY, 0);
        ::close(fd_);
    }
}

bool UinputDevice::write(std::span<const input_event> events) {
    std::lock_guard lock(mutex_);
    const auto* bytes = reinterpret_cast<const char*>(events.data());
    std::size_t left = events.size_bytes();
    while (left > 0) {
        const ssize_t n = ::write(fd_, bytes, left);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace common
