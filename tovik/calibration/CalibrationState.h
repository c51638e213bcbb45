#pragma once
// What a calibration leaves for tracking, and the two computations both
// calibrations share.

#include <cstdint>

#include <opencv2/core.hpp>

#include "common/platform/ScreenInfo.h"
#include "tovik/tracking/LensModel.h"
#include "tovik/tracking/SpotDetector.h"

namespace tovik {

struct CalibrationState {
    // Maps the column (x, y, 1) of a camera pixel to (u, v, w); the screen
    // point is (u / w, v / w).
    cv::Matx33f Homography = cv::Matx33f::eye();
    cv::Mat BackgroundFrame;  // 8-bit BGR, the camera frame size
    std::int32_t AutoThreshold = 0;
    DetectionWindow Window;  // all 0 until the first calibration
    std::int32_t Calibrated = 0;
    // The lens's distortion, when the automatic calibration estimated it; the
    // homography then starts from straightened camera points.
    LensModel Lens;
};

// Mean of the blue channel over columns 160..479, rows 130..359 mapped to a
// threshold through the band table. Frames too small for that region use the
// part of it that exists.
[[nodiscard]] std::int32_t ComputeAutoThreshold(const cv::Mat& image);

// The inclusive extremes of the camera pixels whose mapped screen point lies
// strictly inside the screen, starting from the frame centre. With a valid
// lens each pixel is straightened before the homography, as tracking
// straightens the spot.
[[nodiscard]] DetectionWindow ComputeDetectionWindow(const cv::Matx33f& homography, cv::Size frame,
                                                     common::ScreenSize screen,
                                                     const LensModel& lens = {});

// The direct per-pixel form of the same computation: the reference the fast
// one is tested against.
[[nodiscard]] DetectionWindow ComputeDetectionWindowNaive(const cv::Matx33f& homography,
                                                          cv::Size frame, common::ScreenSize screen,
                                                          const LensModel& lens = {});

}  // namespace tovik
