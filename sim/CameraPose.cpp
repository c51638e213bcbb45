#include "sim/CameraPose.h"

#include <array>
#include <charconv>
#include <cmath>
#include <vector>

#include <opencv2/imgproc.hpp>

namespace sim {

namespace {

// The camera-side corners (unit square) of the screen's top-left, top-right,
// bottom-right and bottom-left corners.
using Corners = std::array<cv::Point2f, 4>;

cv::Matx33d fromCorners(const Corners& camera) {
    const cv::Point2f screen[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    cv::Mat h = cv::getPerspectiveTransform(screen, camera.data());
    return cv::Matx33d(h);
}

bool parseNumber(std::string_view text, double& out) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    if (text.empty()) {
        return false;
    }
    const char* end = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && p == end && std::isfinite(out);
}

}  // namespace

CameraPose::CameraPose()
    : normalized_(fromCorners({{{0.14f, 0.13f}, {0.88f, 0.08f}, {0.92f, 0.89f}, {0.09f, 0.86f}}})),
      name_("keystone") {}

CameraPose CameraPose::fromNormalized(const cv::Matx33d& h, std::string name) {
    CameraPose pose;
    pose.normalized_ = h;
    pose.name_ = std::move(name);
    return pose;
}

std::optional<CameraPose> CameraPose::parse(std::string_view text, std::string& error) {
    if (text == "keystone") {
        return CameraPose();
    }
    if (text == "upright") {
        return fromNormalized(
            fromCorners({{{0.1f, 0.1f}, {0.9f, 0.1f}, {0.9f, 0.9f}, {0.1f, 0.9f}}}), "upright");
    }
    if (text == "mirrored") {
        return fromNormalized(
            fromCorners({{{0.9f, 0.1f}, {0.1f, 0.1f}, {0.1f, 0.9f}, {0.9f, 0.9f}}}), "mirrored");
    }
    if (text == "upside-down") {
        return fromNormalized(
            fromCorners({{{0.9f, 0.9f}, {0.1f, 0.9f}, {0.1f, 0.1f}, {0.9f, 0.1f}}}), "upside-down");
    }
    if (text == "rotated") {
        return fromNormalized(
            fromCorners({{{0.9f, 0.1f}, {0.9f, 0.9f}, {0.1f, 0.9f}, {0.1f, 0.1f}}}), "rotated");
    }
    if (text.starts_with("h:")) {
        std::string_view rest = text.substr(2);
        std::vector<double> values;
        while (true) {
            const size_t comma = rest.find(',');
            double v = 0;
            if (!parseNumber(rest.substr(0, comma), v)) {
                error = "pose h: needs nine numbers separated by commas";
                return std::nullopt;
            }
            values.push_back(v);
            if (comma == std::string_view::npos) {
                break;
            }
            rest.remove_prefix(comma + 1);
        }
        if (values.size() != 9) {
            error = "pose h: needs nine numbers, got " + std::to_string(values.size());
            return std::nullopt;
        }
        cv::Matx33d h(values.data());
        if (std::abs(cv::determinant(h)) < 1e-12) {
            error = "pose h: the matrix is singular";
            return std::nullopt;
        }
        return fromNormalized(h, "h");
    }
    error = "unknown pose '" + std::string(text) +
            "' (keystone, upright, mirrored, upside-down, rotated or h:a,b,c,d,e,f,g,h,i)";
    return std::nullopt;
}

cv::Matx33d CameraPose::homography(cv::Size screen, cv::Size frame) const {
    const cv::Matx33d toUnit(1.0 / screen.width, 0, 0, 0, 1.0 / screen.height, 0, 0, 0, 1);
    const cv::Matx33d toFrame(frame.width, 0, 0, 0, frame.height, 0, 0, 0, 1);
    return toFrame * normalized_ * toUnit;
}

bool projectPoint(const cv::Matx33d& h, cv::Point2d in, cv::Point2d& out) {
    const cv::Vec3d p = h * cv::Vec3d(in.x, in.y, 1.0);
    if (std::abs(p[2]) < 1e-12) {
        return false;
    }
    out = {p[0] / p[2], p[1] / p[2]};
    return true;
}

}  // namespace sim
