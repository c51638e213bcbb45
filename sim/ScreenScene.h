#pragma once
// The live X screen as the simulated camera's scene. It keeps its own display
// connection, so any one thread at a time may capture (the detection thread
// included); XShm when the server offers it, plain XGetImage otherwise.

#include <memory>
#include <mutex>
#include <string>

#include "sim/SceneSource.h"

namespace sim {

class ScreenScene final : public SceneSource {
public:
    // displayName: empty for $DISPLAY; area: the part of the root window
    // filmed (one monitor), empty for all of it. Check isOpen() afterwards:
    // false also when the area does not lie within the screen.
    explicit ScreenScene(const std::string& displayName, cv::Rect area = {});
    ~ScreenScene() override;
    ScreenScene(const ScreenScene&) = delete;
    ScreenScene& operator=(const ScreenScene&) = delete;

    [[nodiscard]] bool isOpen() const;
    [[nodiscard]] bool usesSharedMemory() const;

    bool capture(cv::Mat& out) override;
    [[nodiscard]] cv::Size size() const override;
    [[nodiscard]] cv::Point origin() const override;

private:
    struct X;
    mutable std::mutex mutex_;
    std::unique_ptr<X> x_;
};

}  // namespace sim
