#include "tovik/tracking/SettingsFile.h"

#include "common/ini/IniFile.h"

namespace tovik {
namespace {

constexpr const char* kCalibSection = "CalibParams";

}  // namespace

void LoadSettings(TrackingSettings& settings, const std::string& iniPath) {
    settings.SamplingInterval = 21;
    common::IniFile ini(iniPath);
    // An unreadable file reads as empty: every key takes its default.
    (void)ini.load();
    for (const SettingKey& k : SettingKeys()) {
        if (k.isText()) {
            settings.*k.text = ini.getString(k.section, k.name, "");
            continue;
        }
        const std::int32_t v = ini.getInt(k.section, k.name, k.fileDefault);
        k.set(settings, k.clampOnLoad != nullptr ? k.clampOnLoad(v) : v);
    }
}

common::FileWriteResult SaveSettings(const TrackingSettings& settings, const std::string& iniPath) {
    common::IniFile ini(iniPath);
    // Loading first keeps every other line of the file, [CalibParams]
    // included. A file that exists but cannot be read is not replaced: save()
    // refuses it.
    (void)ini.load();
    for (const SettingKey& k : SettingKeys()) {
        const bool inFile = ini.value(k.section, k.name).has_value();
        if (k.isText()) {
            const std::string& v = settings.*k.text;
            if (!v.empty() || inFile) {
                ini.setValue(k.section, k.name, v);
            }
            continue;
        }
        const std::int32_t v = k.get(settings);
        if (k.written == SettingKey::Written::Always || v != k.fileDefault || inFile) {
            ini.setInt(k.section, k.name, v);
        }
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
    for (const SettingKey& k : SettingKeys()) {
        out << k.name << '=';
        if (k.isText()) {
            out << settings.*k.text << '\n';
        } else {
            out << k.get(settings) << '\n';
        }
    }
    out << "SmoothWndLen=" << calib.SmoothWndLen << '\n';
    out << "ManCalibAmpThd=" << calib.ManCalibAmpThd << '\n';
    out << "ManCalibAreaThd=" << calib.ManCalibAreaThd << '\n';
}

}  // namespace tovik
