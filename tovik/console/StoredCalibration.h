#pragma once
// A completed calibration kept for the next start ("ReuseCalibration" in
// section "Software"): the calibration file's form (CalibrationFile.h), so
// --calibration-file reads it too, plus what it was made for (the camera's
// name and frame size, the target monitor) and when. It is used only for
// that camera and monitor.

#include <cstdint>
#include <optional>
#include <string>

#include <opencv2/core.hpp>

#include "common/platform/ScreenInfo.h"
#include "tovik/calibration/CalibrationState.h"

namespace tovik {

inline constexpr const char* kStoredCalibrationFile = "StoredCalibration.yml";
inline constexpr const char* kStoredBackgroundFile = "StoredCalibrationBackground.png";

struct CalibrationOrigin {
    std::string camera;  // the device's name
    cv::Size frameSize;
    common::ScreenRect screen;  // device pixels of the desktop
    std::int64_t madeAt = 0;    // seconds since the epoch
};

// Writes both files into `dir` (with a trailing '/'); the background goes
// first and the description is renamed into place last, so a failed write
// leaves the previous stored calibration whole. False with `error` set when
// anything cannot be written.
[[nodiscard]] bool StoreCalibration(const std::string& dir, const CalibrationState& state,
                                    const CalibrationOrigin& origin, std::string& error);

// The stored calibration in `dir` when it can be read and was made for
// `current`'s camera, frame size and screen: `state` is filled (Calibrated 1)
// and its origin returned. Otherwise `state` is untouched, nothing is
// returned and `error` says why; it stays empty when nothing is stored.
[[nodiscard]] std::optional<CalibrationOrigin> LoadStoredCalibration(
    const std::string& dir, const CalibrationOrigin& current, CalibrationState& state,
    std::string& error);

// Local time as "2026-12-07 19:40".
[[nodiscard]] std::string FormatMadeAt(std::int64_t seconds);

}  // namespace tovik
