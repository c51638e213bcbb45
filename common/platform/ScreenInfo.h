#pragma once
// The monitors of the desktop and the one the programs target. Everything is
// in device pixels in desktop (root window) coordinates, whatever scale factor
// the toolkit applies.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace common {

struct ScreenSize {
    int width = 0;
    int height = 0;
};

struct ScreenRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    [[nodiscard]] ScreenSize size() const { return {width, height}; }
    friend bool operator==(const ScreenRect&, const ScreenRect&) = default;
};

struct Monitor {
    std::string name;
    ScreenRect rect;
    bool primary = false;
};

class ScreenInfo {
public:
    virtual ~ScreenInfo() = default;
    // In the server's order; one monitor covering the whole desktop when the
    // server reports none.
    [[nodiscard]] virtual std::vector<Monitor> monitors() const = 0;
};

// "" picks the primary monitor (the first when none is marked primary); a
// decimal index "0".."N-1" picks by position in the list; anything else is a
// monitor name ("HDMI-1"). Nothing when the choice matches no monitor.
[[nodiscard]] std::optional<Monitor> findMonitor(const std::vector<Monitor>& monitors,
                                                 std::string_view choice);

// The monitor a program works on: the choice when it matches, otherwise the
// primary, with `warning` saying why the choice was not used.
struct TargetScreen {
    Monitor monitor;
    std::string warning;
};
[[nodiscard]] TargetScreen resolveTargetScreen(const ScreenInfo& screens, std::string_view choice);

// A fixed list, for tests and the stand-in platform.
class FixedScreenInfo final : public ScreenInfo {
public:
    explicit FixedScreenInfo(ScreenSize size)
        : monitors_{{"default", {0, 0, size.width, size.height}, true}} {}
    explicit FixedScreenInfo(std::vector<Monitor> monitors) : monitors_(std::move(monitors)) {}
    std::vector<Monitor> monitors() const override { return monitors_; }

private:
    std::vector<Monitor> monitors_;
};

}  // namespace common
