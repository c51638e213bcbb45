#include "tovik/tracking/SettingsFile.h"

#include <array>

#include "common/ini/IniFile.h"

namespace tovik {
namespace {

struct Key {
    const char* section;
    const char* name;
    SharedInt TrackingSettings::*member;
    std::int32_t fileDefault;
};

// File order: the order keys are read, written and printed.
constexpr std::array<Key, 17> kKeys{{
    {"Software", "Amp", &TrackingSettings::Amp, 180},
    {"Software", "Area", &TrackingSettings::Area, 5},
    {"Software", "AreaUp", &TrackingSettings::AreaUp, 1000},
    {"Software", "Move", &TrackingSettings::Move, 5},
    {"Software", "DbClickThd", &TrackingSettings::DbClickThd, 20},
    {"Software", "RunExpoTime", &TrackingSettings::RunExpoTime, -6},
    {"Software", "AutoTh", &TrackingSettings::AutoTh, 1},
    {"Camera", "camBrightness", &TrackingSettings::camBrightness, 0},
    {"Camera", "camContrast", &TrackingSettings::camContrast, 10},
    {"Camera", "camHue", &TrackingSettings::camHue, 0},
    {"Camera", "camSaturation", &TrackingSettings::camSaturation, 0},
    {"Camera", "camSharpness", &TrackingSettings::camSharpness, 4},
    {"Camera", "camGamma", &TrackingSettings::camGamma, 130},
    {"Camera", "camBacklightCompensation", &TrackingSettings::camBacklightCompensation, 1},
    {"Camera", "camGain", &TrackingSettings::camGain, 0},
    {"Functions", "MouseLeft", &TrackingSettings::MouseLeft, 1},
    {"Functions", "F13Trig", &TrackingSettings::F13Trig, 1},
}};

constexpr const char* kCalibSection = "CalibParams";
constexpr const char* kScreenSection = "Software";
constexpr const char* kScreenKey = "Screen";

}  // namespace

void LoadSettings(TrackingSettings& settings, const std::string& iniPath) {
    settings.SamplingInterval = 21;
    common::IniFile ini(iniPath);
    // An unreadable file reads as empty: every key takes its default.
    (void)ini.load();
    for (const Key& k : kKeys) {
        (settings.*k.member) = ini.getInt(k.section, k.name, k.fileDefault);
    }
    settings.Screen = ini.getString(kScreenSection, kScreenKey, "");
}

bool SaveSettings(const TrackingSettings& settings, const std::string& iniPath) {
    common::IniFile ini(iniPath);
    // Loading first keeps every other line of the file, [CalibParams]
    // included. A file that exists but cannot be read is not replaced.
    if (!ini.load()) {
        return false;
    }
    for (const Key& k : kKeys) {
        ini.setInt(k.section, k.name, (settings.*k.member).get());
    }
    // Written once chosen, so a file that never named a monitor keeps its keys.
    if (!settings.Screen.empty() || ini.value(kScreenSection, kScreenKey)) {
        ini.setValue(kScreenSection, kScreenKey, settings.Screen);
    }
    return ini.save();
}

CalibParams ReadCalibParams(const std::string& iniPath) {
    common::IniFile ini(iniPath);
    (void)ini.load();
    const CalibParams defaults;
    CalibParams p;
    p.SmoothWndLen = ini.getInt(kCalibSection, "SmoothWndLen", defaults.SmoothWndLen);
    p.ManCalibAmpThd = ini.getInt(kCalibSection, "ManCalibAmpThd", defaults.ManCalibAmpThd);
    p.ManCalibAreaThd = ini.getInt(kCalibSection, "ManCalibAreaThd", defaults.ManCalibAreaThd);
    return p;
}

void PrintSettings(std::ostream& out, const TrackingSettings& settings, const CalibParams& calib,
                   const std::string& iniPath) {
    out << "SettingsFile=" << iniPath << '\n';
    for (const Key& k : kKeys) {
        out << k.name << '=' << (settings.*k.member).get() << '\n';
    }
    out << kScreenKey << '=' << settings.Screen << '\n';
    out << "SmoothWndLen=" << calib.SmoothWndLen << '\n';
    out << "ManCalibAmpThd=" << calib.ManCalibAmpThd << '\n';
    out << "ManCalibAreaThd=" << calib.ManCalibAreaThd << '\n';
}

}  // namespace tovik
