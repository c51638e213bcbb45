#pragma once
// What the simulated camera looks at: the picture on the screen.

#include <opencv2/core.hpp>

namespace sim {

class SceneSource {
public:
    virtual ~SceneSource() = default;
    // The current screen picture, 8-bit BGR or BGRA. It may share memory with
    // the source and stays valid until the next capture from the same thread.
    virtual bool capture(cv::Mat& out) = 0;
    [[nodiscard]] virtual cv::Size size() const = 0;
    // Where the picture's top-left corner lies in the pen's coordinates: a
    // screen scene that films one part of the X screen (one monitor) keeps
    // the pen in the coordinates of the whole screen.
    [[nodiscard]] virtual cv::Point origin() const { return {}; }
};

}  // namespace sim
