#pragma once
// A virtual input device made through the kernel's uinput interface: the
// set-up ioctls, then input_event records written to the descriptor. Every
// ioctl goes through one replaceable function, so a test can hand in a pipe
// and check the set-up arguments and the records that come out of it.

#include <linux/uinput.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace common {

// One ioctl on the device's descriptor: the UI_SET_*BIT requests take an
// integer, UI_DEV_SETUP and UI_ABS_SETUP the address of their structure,
// UI_DEV_CREATE and UI_DEV_DESTROY nothing. Returns what ioctl(2) returns.
using UinputIoctl = std::function<int(int fd, unsigned long request, std::uintptr_t arg)>;

// The real ioctl(2).
[[nodiscard]] UinputIoctl systemUinputIoctl();

struct UinputAxis {
    int code = 0;  // ABS_X, ABS_Y
    int maximum = 0;
    int resolution = 0;  // units per millimetre; 0: unknown
};

struct UinputSpec {
    std::string name;
    std::vector<int> keys;  // EV_KEY codes: BTN_LEFT, KEY_PAGEUP ...
    std::vector<UinputAxis> axes;
};

// The outcome of opening /dev/uinput: a descriptor, or one line saying what
// went wrong and how to fix it.
struct UinputOpen {
    int fd = -1;
    std::string problem;
};

inline constexpr const char* kUinputPath = "/dev/uinput";
inline constexpr const char* kUinputRuleFile = "60-tovik-kalvo-uinput.rules";

// Opens path for writing, without blocking. On failure the problem names the
// cause (no such device: the module is not loaded; no permission: the udev
// rule is not installed) and the fix.
[[nodiscard]] UinputOpen openUinput(const char* path = kUinputPath);

class UinputDevice {
public:
    // Takes fd (closed with the device) and creates the device on it. Null,
    // with problem set, when a set-up ioctl fails.
    [[nodiscard]] static std::unique_ptr<UinputDevice> create(int fd, const UinputSpec& spec,
                                                              UinputIoctl ioctl,
                                                              std::string& problem);
    ~UinputDevice();
    UinputDevice(const UinputDevice&) = delete;
    UinputDevice& operator=(const UinputDevice&) = delete;

    // Writes the events as given. Thread-safe; each call's records stay
    // together. False when the write failed (the device is gone).
    bool write(std::span<const input_event> events);

private:
    UinputDevice(int fd, UinputIoctl ioctl) : fd_(fd), ioctl_(std::move(ioctl)) {}
    int fd_;
    UinputIoctl ioctl_;
    std::mutex mutex_;
};

// One record; the kernel stamps the time.
[[nodiscard]] inline input_event inputEvent(int type, int code, int value) {
    input_event e{};
    e.type = static_cast<std::uint16_t>(type);
    e.code = static_cast<std::uint16_t>(code);
    e.value = value;
    return e;
}

}  // namespace common
