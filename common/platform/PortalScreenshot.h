#pragma once
// Screen pictures through the desktop portal's Screenshot interface on the
// session bus: one call, then the Response signal of the request object the
// portal made for it, carrying the file's URI.

#include <QDBusConnection>

#include <chrono>
#include <optional>

#include "common/platform/ScreenPictureSource.h"

namespace common {

class PortalScreenshot final : public ScreenPictureSource {
public:
    // bus: the session bus when not given. timeout: how long the portal (and
    // the user, when it asks) may take.
    explicit PortalScreenshot(std::optional<QDBusConnection> bus = std::nullopt,
                              std::chrono::milliseconds timeout = std::chrono::minutes(2));

    [[nodiscard]] Picture takePicture() override;

private:
    std::optional<QDBusConnection> bus_;
    std::chrono::milliseconds timeout_;
    unsigned requests_ = 0;
};

}  // namespace common
