#pragma once
// Reading and writing the tracking settings in the program's INI file.

#include <ostream>
#include <string>

#include "tovik/tracking/TrackingSettings.h"

namespace tovik {

// Calibration tuning, section "CalibParams": read afresh by each calibration,
// never written.
struct CalibParams {
    int SmoothWndLen = 5;
    int ManCalibAmpThd = 180;
    int ManCalibAreaThd = 10;
};

// Sets SamplingInterval to 21, then reads [Software], [Camera], [Functions];
// a missing file, section or key gives the file default.
void LoadSettings(TrackingSettings& settings, const std::string& iniPath);

// Writes the 17 keys in their order with "%d", and "Screen" once it has been
// set; [CalibParams] is never touched.
// Returns false when the file could not be written (the caller goes on).
bool SaveSettings(const TrackingSettings& settings, const std::string& iniPath);

[[nodiscard]] CalibParams ReadCalibParams(const std::string& iniPath);

// Writes "SettingsFile=<path>", then the 17 persisted values, "Screen" and
// the three calibration keys, one "Name=value" a line, in file order.
void PrintSettings(std::ostream& out, const TrackingSettings& settings, const CalibParams& calib,
                   const std::string& iniPath);

}  // namespace tovik
