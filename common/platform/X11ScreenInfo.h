#pragma once
// The X server's monitors, read afresh at each query so a resolution or
// monitor change is seen. Its own display connection; thread-safe.

#include <memory>

#include "common/platform/ScreenInfo.h"

namespace common {

class X11ScreenInfo final : public ScreenInfo {
public:
    [[nodiscard]] static std::unique_ptr<X11ScreenInfo> open(const char* displayName);
    ~X11ScreenInfo() override;
    X11ScreenInfo(const X11ScreenInfo&) = delete;
    X11ScreenInfo& operator=(const X11ScreenInfo&) = delete;

    [[nodiscard]] std::vector<Monitor> monitors() const override;

private:
    struct Impl;
    explicit X11ScreenInfo(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace common
