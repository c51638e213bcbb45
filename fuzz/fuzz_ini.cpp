// IniFile and the private-profile readers on hand-edited files.
// Properties:
// - an unchanged file is written back byte for byte;
// - after any sequence of writes, every key reads back what was written
//   last (line breaks as spaces), other keys keep their values, and a reload of the written bytes
//   reads exactly what the writer held in memory;
// - Tovik's settings and Kalvo's preferences read back what they saved,
//   and each leaves the other program's keys and [CalibParams] alone.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <utility>

#include "FuzzSupport.h"
#include "common/ini/IniFile.h"
#include "kalvo/core/PenPreferences.h"
#include "tovik/tracking/SettingsFile.h"

namespace {

constexpr std::array<const char*, 7> kSections = {"Software",    "Camera",   "Functions", "PEN",
                                                  "CalibParams", "POSITION", "S"};
constexpr std::array<const char*, 9> kKeys = {"Amp", "AreaUp",  "COLOR",        "L", "TYPE",
                                              "CX",  "camGain", "SmoothWndLen", "a"};

bool sameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string name(FuzzedDataProvider& in, const auto& fixed) {
    if (in.ConsumeBool()) {
        return fixed[in.ConsumeIntegralInRange<std::size_t>(0, fixed.size() - 1)];
    }
    // Names as a program would use them: letters, digits, '_'.
    std::string n = in.ConsumeRandomLengthString(12);
    for (char& c : n) {
        const auto u = static_cast<unsigned char>(c);
        c = std::isalnum(u) != 0 ? c : '_';
    }
    return n.empty() ? "k" : n;
}

std::string printed(const tovik::TrackingSettings& s, const std::string& path) {
    std::ostringstream out;
    tovik::PrintSettings(out, s, tovik::ReadCalibParams(path), path);
    return out.str();
}

void checkIniFile(FuzzedDataProvider& in, const std::string& content) {
    common::IniFile ini("unused.ini");
    ini.loadText(content);
    FUZZ_CHECK(ini.text() == content);

    // (section, key) -> value as read before any write, and as written.
    std::map<std::pair<std::string, std::string>, std::optional<std::string>> expected;
    const int writes = in.ConsumeIntegralInRange(0, 8);
    for (int i = 0; i < writes; ++i) {
        const std::string section = name(in, kSections);
        const std::string key = name(in, kKeys);
        for (const char* s : kSections) {
            for (const char* k : kKeys) {
                expected.try_emplace({s, k}, ini.value(s, k));
            }
        }
        expected.try_emplace({section, key}, ini.value(section, key));
        if (in.ConsumeBool()) {
            const auto v = in.ConsumeIntegral<std::int32_t>();
            ini.setInt(section, key, v);
            FUZZ_CHECK(ini.getInt(section, key, v == 0 ? 1 : 0) == v);
        } else {
            const std::string v = in.ConsumeRandomLengthString(24);
            ini.setValue(section, key, v);
            std::string oneLine = v;
            std::replace(oneLine.begin(), oneLine.end(), '\n', ' ');
            std::replace(oneLine.begin(), oneLine.end(), '\r', ' ');
            FUZZ_CHECK(ini.getString(section, key, "") == oneLine);
        }
        // Names match without regard to ASCII case: the write reaches every
        // spelling of its key.
        for (auto& [sk, value] : expected) {
            if (sameName(sk.first, section) && sameName(sk.second, key)) {
                value = ini.value(section, key);
            }
        }
        for (const auto& [sk, value] : expected) {
            FUZZ_CHECK(ini.value(sk.first, sk.second) == value);
        }
    }

    common::IniFile reread("unused.ini");
    reread.loadText(ini.text());
    FUZZ_CHECK(reread.text() == ini.text());
    for (const auto& [sk, value] : expected) {
        FUZZ_CHECK(reread.value(sk.first, sk.second) == value);
    }
}

void checkProgramFiles(FuzzedDataProvider& in, const std::string& content) {
    const std::string path = fuzzsupport::scratchDir() + "/program.ini";
    fuzzsupport::writeFile(path, content);

    tovik::TrackingSettings loaded;
    tovik::LoadSettings(loaded, path);
    const tovik::CalibParams calib = tovik::ReadCalibParams(path);
    const kalvo::PenPreferences pen = kalvo::PenPreferences::load(path);

    tovik::TrackingSettings changed = loaded;
    // Any value of a key that loading takes as it stands.
    for (const tovik::SettingKey& k : tovik::SettingKeys()) {
        if (!k.isText() && k.clampOnLoad == nullptr && in.ConsumeBool()) {
            k.set(changed, in.ConsumeIntegral<std::int32_t>());
        }
    }
    if (in.ConsumeBool()) {
        // A monitor name: one line, anything else goes.
        changed.Screen = in.ConsumeRandomLengthString(16);
        std::replace(changed.Screen.begin(), changed.Screen.end(), '\n', ' ');
        std::replace(changed.Screen.begin(), changed.Screen.end(), '\r', ' ');
    }
    FUZZ_CHECK(tovik::SaveSettings(changed, path).ok());
    tovik::TrackingSettings back;
    tovik::LoadSettings(back, path);
    FUZZ_CHECK(printed(back, path) == printed(changed, path));
    FUZZ_CHECK(back.Screen == changed.Screen);
    const tovik::CalibParams calibAfter = tovik::ReadCalibParams(path);
    FUZZ_CHECK(calibAfter.SmoothWndLen == calib.SmoothWndLen &&
               calibAfter.ManCalibAmpThd == calib.ManCalibAmpThd &&
               calibAfter.ManCalibAreaThd == calib.ManCalibAreaThd);
    kalvo::PenPreferences penAfter = kalvo::PenPreferences::load(path);
    FUZZ_CHECK(penAfter.color == pen.color && penAfter.style == pen.style &&
               penAfter.width == pen.width);

    kalvo::PenPreferences newPen;
    newPen.color = in.ConsumeIntegral<kalvo::COLORREF>();
    newPen.style = in.ConsumeIntegral<std::int32_t>();
    newPen.width = in.ConsumeIntegral<std::int32_t>();
    FUZZ_CHECK(newPen.save(path).ok());
    FUZZ_CHECK(kalvo::saveFramePosition(path, in.ConsumeIntegral<int>(), -50).ok());
    penAfter = kalvo::PenPreferences::load(path);
    FUZZ_CHECK(penAfter.color == newPen.color && penAfter.style == newPen.style &&
               penAfter.width == newPen.width);
    tovik::LoadSettings(back, path);
    FUZZ_CHECK(printed(back, path) == printed(changed, path));

    fuzzsupport::clearDir(fuzzsupport::scratchDir());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string content = in.ConsumeRandomLengthString(4096);
    if (in.ConsumeBool()) {
        checkIniFile(in, content);
    } else {
        checkProgramFiles(in, content);
    }
    return 0;
}
