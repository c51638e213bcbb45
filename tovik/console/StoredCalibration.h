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
// The background picture takes the two names in turn.
inline constexpr const char* kStoredBackgroundFile = "StoredCalibrationBackground.png";
inline constexpr const char* kStoredBackgroundOtherFile = "StoredCalibrationBackground-2.png";

struct CalibrationOrigin {
    std::string camera;  // the device's name
    cv::Size frameSize;
    common::ScreenRect screen;  // device pixels of the desktop
    std::int64_t madeAt = 0;    // seconds since the epoch
    // Lens correction is on: a stored calibration must hold its lens model.
    bool lensCorrection = false;
};

// Writes both files into `dir` (with a trailing '/') through the safe-write
// path: the background under the name the stored description does not use,
// then the description, so a failed write leaves the previous stored
// calibration whole. False with `error` set when anything cannot be written.
[[nodiscard]] bool StoreCalibration(const std::string& dir, const CalibrationState& state,
                                    const CalibrationOrigin& origin, std::string& error);

// The stored calibration in `dir` when it can be read and was made for
// `current`'s camera, frame size and screen (and, with lens correction on,
// holds its lens model): `state` is filled (Calibrated 1, the lens model
// included) and its origin returned. Otherwise `state` is untouched, nothing is
// returned and `error` says why; it stays empty when nothing is stored.
[[nodiscard]] std::optional<CalibrationOrigin> LoadStoredCalibration(
    const std::string& dir, const CalibrationOrigin& current, CalibrationState& state,
    std::string& error);

// Local time as "2026-12-07 19:40".
[[nodiscard]] std::string FormatMadeAt(std::int64_t seconds);

}  // namespace tovik
