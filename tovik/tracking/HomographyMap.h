#pragma once
// The one definition of how a camera pixel is carried to the screen, shared
// by the pointer mapper and the detection-window computation so both agree to
// the last bit.

#include <opencv2/core.hpp>

namespace tovik {

// (u, v, w) = homography * (x, y, 1) in single precision, each row summed left
// to right (a*x + b*y, then + c), as the library's general matrix product
// computes a 3x3 by 3x1 float product. Compiled without contraction to fused
// multiply-adds so the rounding never changes with the build flags.
[[nodiscard]] cv::Vec3f ApplyHomography(const cv::Matx33f& homography, float x, float y);

}  // namespace tovik
