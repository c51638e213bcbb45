#pragma once
// The live screen (the X screen, the Windows desktop) as the simulated
// camera's scene, filmed through the platform's screen frames. Any one
// thread at a time may capture (the detection thread included).

#include <memory>
#include <mutex>
#include <string>

#include "common/platform/ScreenFrames.h"
#include "sim/SceneSource.h"

namespace sim {

class ScreenScene final : public SceneSource {
public:
    // displayName: empty for $DISPLAY; area: the part of the screen filmed
    // (one monitor), empty for all of it. Check isOpen() afterwards:
    // false also when the area does not lie within the screen.
    explicit ScreenScene(const std::string& displayName, cv::Rect area = {});
    ~ScreenScene() override;
    ScreenScene(const ScreenScene&) = delete;
    ScreenScene& operator=(const ScreenScene&) = delete;

    [[nodiscard]] bool isOpen() const;
    [[nodiscard]] bool usesSharedMemory() const;

    // A failed read (an X error such as a resize during the capture) gives
    // false for that frame; the next capture measures the screen again.
    bool capture(cv::Mat& out) override;
    // Test hook: the next capture takes `size` for the screen's size, as if
    // the screen had been resized right after it was measured.
    void assumeSizeOnce(cv::Size size);
    [[nodiscard]] cv::Size size() const override;
    [[nodiscard]] cv::Point origin() const override;

private:
    mutable std::mutex mutex_;
    std::unique_ptr<common::ScreenFrames> frames_;
};

}  // namespace sim
