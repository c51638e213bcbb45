#pragma once
// A calibration given on the command line (--calibration-file), so the console
// can track without running one: an OpenCV YAML file with
//   homography      3x3 matrix, camera pixel to screen pixel
//   window          [left, right, top, bottom] in camera pixels
//   auto_threshold  integer
//   background      image file (relative to the YAML file's folder), or
//   background_grey a flat grey level, filling frame_size [w, h]
//                   (default: the camera's frame size)
//   lens            optional: {valid, focal, centre: [x, y], k1, k2}, the
//                   lens model the homography's camera points were
//                   straightened with

#include <optional>
#include <string>

#include <opencv2/core.hpp>

#include "tovik/calibration/CalibrationState.h"

namespace tovik {

// Fills `state` (Calibrated = 1) or returns false with a message in `error`;
// `state` is untouched on failure.
[[nodiscard]] bool LoadCalibrationFile(const std::string& path, cv::Size cameraFrame,
                                       CalibrationState& state, std::string& error);

struct CalibrationFileContent {
    cv::Matx33f homography = cv::Matx33f::eye();
    DetectionWindow window;
    int autoThreshold = 0;
    std::string backgroundPath;  // used when not empty
    int backgroundGrey = 0;      // otherwise
    cv::Size frameSize{0, 0};    // for the flat background; 0: the camera's size
};

// Writes the "lens" key.
void WriteLensModel(cv::FileStorage& fs, const LensModel& lens);

[[nodiscard]] bool WriteCalibrationFile(const std::string& path,
                                        const CalibrationFileContent& content);

}  // namespace tovik
