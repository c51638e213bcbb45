#pragma once
// A screen picture that a test or the headless calibration canvas draws.

#include <mutex>

#include "sim/SceneSource.h"

namespace sim {

class DrawnScene final : public SceneSource {
public:
    // Starts as a white screen of this size.
    explicit DrawnScene(cv::Size size);

    // Takes a copy (grey, BGR or BGRA, 8-bit); frames rendered afterwards show
    // it. Safe to call while frames are being produced. False, and nothing
    // changed, for any other kind of image.
    bool setImage(const cv::Mat& image);
    [[nodiscard]] cv::Mat image() const;

    bool capture(cv::Mat& out) override;
    [[nodiscard]] cv::Size size() const override;

private:
    mutable std::mutex mutex_;
    // Replaced, never written in place: a frame being rendered keeps its own
    // reference to the previous picture.
    cv::Mat image_;
};

}  // namespace sim
