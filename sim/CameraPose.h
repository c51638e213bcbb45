#pragma once
// Where the simulated camera looks: a homography from the screen to the
// camera image, kept in units of the two image sizes so that one pose fits
// any screen and any frame size.

#include <optional>
#include <string>
#include <string_view>

#include <opencv2/core.hpp>

namespace sim {

class CameraPose {
public:
    // The default: a mild keystone, slightly rotated, filling about 80 % of
    // the frame.
    CameraPose();

    // "keystone", "upright", "mirrored" (left-right), "upside-down" (turned
    // by 180 degrees), "rotated" (90 degrees clockwise) or
    // "h:a,b,c,d,e,f,g,h,i" (row-major, from the unit screen square to the
    // unit camera square).
    [[nodiscard]] static std::optional<CameraPose> parse(std::string_view text, std::string& error);
    [[nodiscard]] static CameraPose fromNormalized(const cv::Matx33d& h, std::string name);

    // Screen pixels to camera pixels for these sizes.
    [[nodiscard]] cv::Matx33d homography(cv::Size screen, cv::Size frame) const;
    [[nodiscard]] const cv::Matx33d& normalized() const { return normalized_; }
    [[nodiscard]] const std::string& name() const { return name_; }

private:
    cv::Matx33d normalized_;
    std::string name_;
};

// Applies a homography to one point; false when the point maps to infinity.
bool projectPoint(const cv::Matx33d& h, cv::Point2d in, cv::Point2d& out);

}  // namespace sim
