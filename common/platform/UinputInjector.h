#pragma once
// Pointer injection through a uinput device: an absolute pointer whose axes
// count desktop pixels, with the left and right buttons. Works the same in an
// X11 session, a Wayland session and on the console. Thread-safe.

#include <memory>
#include <mutex>
#include <vector>

#include "common/platform/InputInjector.h"
#include "common/platform/ScreenInfo.h"
#include "common/platform/UinputDevice.h"

namespace common {

class UinputInjector final : public InputInjector {
public:
    // The device's set-up: ABS_X and ABS_Y from 0 to the desktop's last pixel
    // (compositors spread an absolute pointer over the whole desktop), BTN_LEFT
    // and BTN_RIGHT.
    [[nodiscard]] static UinputSpec deviceSpec(ScreenSize desktop);

    // Creates the device on fd (taken) for a desktop made of these monitors.
    // Null, with problem set, on failure.
    [[nodiscard]] static std::unique_ptr<UinputInjector> create(
        int fd, const std::vector<Monitor>& monitors, UinputIoctl ioctl, std::string& problem);

    // Flags as for every injector: the move (absolute or relative pixels),
    // then the buttons; each step is one report closed by SYN_REPORT.
    void send(std::uint32_t flags, std::int32_t dx, std::int32_t dy) override;

    // Absolute coordinates span this rectangle of the desktop; empty: the
    // primary monitor again.
    void setTargetArea(ScreenRect area) override;

private:
    UinputInjector(std::unique_ptr<UinputDevice> device, ScreenSize desktop, ScreenRect primary);
    void moveTo(int x, int y, std::vector<input_event>& out);

    std::unique_ptr<UinputDevice> device_;
    const ScreenSize desktop_;
    const ScreenRect primary_;
    std::mutex mutex_;
    ScreenRect area_;
    int x_ = 0;  // where the last move put the pointer, for relative moves
    int y_ = 0;
};

}  // namespace common
