#pragma once
// Pointer injection through SendInput. Absolute coordinates span the target
// monitor (setTargetArea) and are handed to the system normalised over the
// virtual desktop, so any monitor of a multi-monitor desktop can be reached.

#include <memory>
#include <mutex>

#include "common/platform/InputInjector.h"

namespace common {

class Win32InputInjector final : public InputInjector {
public:
    void send(std::uint32_t flags, std::int32_t dx, std::int32_t dy) override;
    void setTargetArea(ScreenRect area) override;
    // The area absolute coordinates span now (the primary monitor unless set).
    [[nodiscard]] ScreenRect targetArea() const;

    // The 0..65535 coordinate over `desktop` that the system maps back to
    // `pixel` (one axis).
    [[nodiscard]] static long normalise(int pixel, int origin, int extent);

private:
    [[nodiscard]] ScreenRect target() const;
    mutable std::mutex mutex_;
    ScreenRect area_;
};

}  // namespace common
