#pragma once
// The camera lens's radial distortion, as the automatic calibration estimates
// it: spot positions are straightened with it before the homography, so the
// homography's straight lines meet a bent image no more.

#include <vector>

#include <opencv2/core.hpp>

namespace tovik {

struct LensModel {
    bool valid = false;  // false: positions pass unchanged
    double focal = 1;    // pixels; the unit of the radius k1 and k2 refer to
    cv::Point2d centre;  // pixels
    double k1 = 0, k2 = 0;

    // Where the ideal lens would have put a point the real one shows at `p`.
    [[nodiscard]] cv::Point2f undistort(cv::Point2f p) const;
    [[nodiscard]] std::vector<cv::Point2f> undistort(const std::vector<cv::Point2f>& points) const;
    // The other way: where the real lens shows an ideal point.
    [[nodiscard]] cv::Point2f distort(cv::Point2f p) const;
};

}  // namespace tovik
