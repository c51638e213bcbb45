#pragma once
// Reading and writing the tracking settings in the program's INI file.

#include <ostream>
#include <string>

#include "common/ini/SafeWrite.h"
#include "tovik/tracking/TrackingSettings.h"

namespace tovik {

// Calibration tuning, section "CalibParams": read afresh by each calibration,
// never written.
struct CalibParams {
    int SmoothWndLen = 5;
    int ManCalibAmpThd = 180;
    int ManCalibAreaThd = 10;
};

// Sets SamplingInterval to 21, then reads every key of SettingKeys(); a
// missing file, section or key gives the file default.
void LoadSettings(TrackingSettings& settings, const std::string& iniPath);

// Writes the keys in file order with "%d": the 17 always, the others when
// they differ from their defaults or the file has them already ("Screen" once
// it has been set); [CalibParams] is never touched. On failure the old file is left as it was;
// the caller tells the user.
[[nodiscard]] common::FileWriteResult SaveSettings(const TrackingSettings& settings,
                                                   const std::string& iniPath);

[[nodiscard]] CalibParams ReadCalibParams(const std::string& iniPath);

// Writes "SettingsFile=<path>", then every key of SettingKeys() and the three
// calibration keys, one "Name=value" a line, in file order.
void PrintSettings(std::ostream& out, const TrackingSettings& settings, const CalibParams& calib,
                   const std::string& iniPath);

}  // namespace tovik
