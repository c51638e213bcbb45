#include "kalvo/core/PenPreferences.h"

#include <cstdint>
#include <limits>

#include "common/ini/IniFile.h"

namespace kalvo {

namespace {

constexpr const char* kPenSection = "PEN";
constexpr const char* kPositionSection = "POSITION";
// The colour is read into a 20-character buffer, so 19 characters count.
constexpr std::size_t kColorTextLimit = 19;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

}  // namespace

std::int32_t parseColorText(std::string_view text) {
    text = text.substr(0, kColorTextLimit);
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    std::int64_t value = 0;
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kLimit) {
            value = kLimit;
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > std::numeric_limits<std::int32_t>::max()) {
        value = std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(value);
}

PenPreferences PenPreferences::load(const std::string& iniPath) {
    common::IniFile ini(iniPath);
    PenPreferences prefs;
    if (!ini.load()) {
        return prefs;
    }
    prefs.color = static_cast<COLORREF>(parseColorText(ini.getString(kPenSection, "COLOR", "255")));
    prefs.style = ini.getInt(kPenSection, "TYPE", 0);
    prefs.width = ini.getInt(kPenSection, "L", 3);
    return prefs;
}

common::FileWriteResult PenPreferences::save(const std::string& iniPath) const {
    common::IniFile ini(iniPath);
    (void)ini.load();  // a file that cannot be read is not replaced: save() refuses it
    ini.setInt(kPenSection, "COLOR", static_cast<std::int32_t>(color));  // "%ld" of a 32-bit long
    ini.setInt(kPenSection, "TYPE", style);
    ini.setInt(kPenSection, "L", width);
    return ini.save();
}

common::FileWriteResult saveFramePosition(const std::string& iniPath, int left, int top) {
    common::IniFile ini(iniPath);
    (void)ini.load();
    ini.setInt(kPositionSection, "CX", left);
    ini.setInt(kPositionSection, "CY", top);
    return ini.save();
}

}  // namespace kalvo
