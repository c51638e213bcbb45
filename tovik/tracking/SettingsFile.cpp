#include "tovik/tracking/SettingsFile.h"

#include <algorithm>
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

// Keys beyond the 17, kept apart: a file is only given them once the user
// sets one (in the dialog or by hand), so a file of the 17 keeps its form.
struct ExtraKey {
    Key key;
    std::int32_t (*clamp)(std::int32_t);
};

std::int32_t ClampFlag(std::int32_t v) {
    return v != 0 ? 1 : 0;
}

constexpr std::array<ExtraKey, 3> kExtraKeys{{
    {{"Functions", "RightHold", &TrackingSettings::RightHold, 0}, &ClampRightHold},
    {{"Functions", "RightRadius", &TrackingSettings::RightRadius, 8}, &ClampRightRadius},
    {{"Software", "ReuseCalibration", &TrackingSettings::ReuseCalibration, 0}, &ClampFlag},
}};

// Accuracy options, in a section of their own after the others.
constexpr std::array<ExtraKey, 3> kAccuracyKeys{{
    {{"Accuracy", "LensCorrection", &TrackingSettings::LensCorrection, 0}, &ClampFlag},
    {{"Accuracy", "SubPixelSpot", &TrackingSettings::SubPixelSpot, 0}, &ClampFlag},
    {{"Accuracy", "PointerSmoothing", &TrackingSettings::PointerSmoothing, 0}, &ClampFlag},
}};

constexpr const char* kCalibSection = "CalibParams";
constexpr const char* kScreenSection = "Software";
constexpr const char* kScreenKey = "Screen";

}  // namespace

std::int32_t ClampRightHold(std::int32_t ms) {
    return ms <= 0 ? 0 : std::clamp(ms, kRightHoldMin, kRightHoldMax);
}

std::int32_t ClampRightRadius(std::int32_t px) {
    return std::clamp(px, kRightRadiusMin, kRightRadiusMax);
}

void LoadSettings(TrackingSettings& settings, const std::string& iniPath) {
    settings.SamplingInterval = 21;
    common::IniFile ini(iniPath);
    // An unreadable file reads as empty: every key takes its default.
    (void)ini.load();
    for (const Key& k : kKeys) {
        (settings.*k.member) = ini.getInt(k.section, k.name, k.fileDefault);
    }
    for (const auto& [k, clamp] : kExtraKeys) {
        (settings.*k.member) = clamp(ini.getInt(k.section, k.name, k.fileDefault));
    }
    settings.Screen = ini.getString(kScreenSection, kScreenKey, "");
    for (const auto& [k, clamp] : kAccuracyKeys) {
        (settings.*k.member) = clamp(ini.getInt(k.section, k.name, k.fileDefault));
    }
}

common::FileWriteResult SaveSettings(const TrackingSettings& settings, const std::string& iniPath) {
    common::IniFile ini(iniPath);
    // Loading first keeps every other line of the file, [CalibParams]
    // included. A file that exists but cannot be read is not replaced: save()
    // refuses it.
    (void)ini.load();
    for (const Key& k : kKeys) {
        ini.setInt(k.section, k.name, (settings.*k.member).get());
    }
    const auto writeOnceUsed = [&](const Key& k) {
        const std::int32_t v = (settings.*k.member).get();
        if (v != k.fileDefault || ini.value(k.section, k.name)) {
            ini.setInt(k.section, k.name, v);
        }
    };
    for (const auto& extra : kExtraKeys) {
        writeOnceUsed(extra.key);
    }
    // Written once chosen, so a file that never named a monitor keeps its keys.
    if (!settings.Screen.empty() || ini.value(kScreenSection, kScreenKey)) {
        ini.setValue(kScreenSection, kScreenKey, settings.Screen);
    }
    for (const auto& extra : kAccuracyKeys) {
        writeOnceUsed(extra.key);
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
    for (const auto& [k, clamp] : kExtraKeys) {
        out << k.name << '=' << (settings.*k.member).get() << '\n';
    }
    out << kScreenKey << '=' << settings.Screen << '\n';
    for (const auto& [k, clamp] : kAccuracyKeys) {
        out << k.name << '=' << (settings.*k.member).get() << '\n';
    }
    out << "SmoothWndLen=" << calib.SmoothWndLen << '\n';
    out << "ManCalibAmpThd=" << calib.ManCalibAmpThd << '\n';
    out << "ManCalibAreaThd=" << calib.ManCalibAreaThd << '\n';
}

}  // namespace tovik
