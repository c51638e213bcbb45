#pragma once
// Pointer injection through the XTest extension on its own display
// connection. Thread-safe: the detection thread and the UI thread may both
// send.

#include <memory>

#include "common/platform/InputInjector.h"
#include "common/platform/ScreenInfo.h"

namespace common {

class X11InputInjector final : public InputInjector {
public:
    // Null when the display cannot be opened or lacks XTest. displayName:
    // null for $DISPLAY.
    [[nodiscard]] static std::unique_ptr<X11InputInjector> open(const char* displayName);
    ~X11InputInjector() override;
    X11InputInjector(const X11InputInjector&) = delete;
    X11InputInjector& operator=(const X11InputInjector&) = delete;

    void send(std::uint32_t flags, std::int32_t dx, std::int32_t dy) override;
    void setTargetArea(ScreenRect area) override;

    // The rectangle absolute coordinates map onto: the area set, else the
    // primary monitor as the server reports it now.
    [[nodiscard]] ScreenRect targetArea() const;

private:
    struct Impl;
    explicit X11InputInjector(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace common
