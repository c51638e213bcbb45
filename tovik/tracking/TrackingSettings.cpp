#include "tovik/tracking/TrackingSettings.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>

namespace tovik {
namespace {

using W = SettingKey::Written;
using TS = TrackingSettings;

constexpr std::int32_t kAny = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kAnyMax = std::numeric_limits<std::int32_t>::max();

std::int32_t ClampFlag(std::int32_t v) {
    return v != 0 ? 1 : 0;
}

// 0 or below switches the hold off; any other value lies in 300..3000 ms.
std::int32_t ClampRightHold(std::int32_t ms) {
    return ms <= 0 ? 0 : std::clamp(ms, 300, 3000);
}

std::int32_t ClampRightRadius(std::int32_t px) {
    return std::clamp(px, 2, 50);
}

constexpr SettingKey Int(const char* section, const char* name, SharedInt TS::*member,
                         std::int32_t fileDefault, std::int32_t minimum, std::int32_t maximum,
                         W written = W::Always, std::int32_t (*clamp)(std::int32_t) = nullptr) {
    return {section, name, fileDefault, minimum, maximum, written, clamp, member, nullptr, nullptr};
}

constexpr SettingKey Camera(const char* name, int ImageControls::*control) {
    return {"Camera", name,   ImageControls{}.*control, kAny, kAnyMax, W::Always, nullptr, nullptr,
            control,  nullptr};
}

constexpr std::array<SettingKey, 24> kKeys{{
    Int("Software", "Amp", &TS::Amp, 180, 1, 255),
    Int("Software", "Area", &TS::Area, 5, 1, 4000),
    Int("Software", "AreaUp", &TS::AreaUp, 1000, 2, 4000),
    Int("Software", "Move", &TS::Move, 5, 0, 12),
    Int("Software", "DbClickThd", &TS::DbClickThd, 20, kAny, kAnyMax),
    Int("Software", "RunExpoTime", &TS::RunExpoTime, -6, -10, 0),
    Int("Software", "AutoTh", &TS::AutoTh, 1, 0, 1),
    Camera("camBrightness", &ImageControls::brightness),
    Camera("camContrast", &ImageControls::contrast),
    Camera("camHue", &ImageControls::hue),
    Camera("camSaturation", &ImageControls::saturation),
    Camera("camSharpness", &ImageControls::sharpness),
    Camera("camGamma", &ImageControls::gamma),
    Camera("camBacklightCompensation", &ImageControls::backlightCompensation),
    Camera("camGain", &ImageControls::gain),
    Int("Functions", "MouseLeft", &TS::MouseLeft, 1, 0, 1),
    Int("Functions", "F13Trig", &TS::F13Trig, 1, 0, 1),
    // Keys beyond the 17: a file is only given them once the user sets one
    // (in the dialog or by hand), so a file of the 17 keeps its form.
    Int("Functions", "RightHold", &TS::RightHold, 0, 0, 3000, W::OnceUsed, &ClampRightHold),
    Int("Functions", "RightRadius", &TS::RightRadius, 8, 2, 50, W::OnceUsed, &ClampRightRadius),
    Int("Software", "ReuseCalibration", &TS::ReuseCalibration, 0, 0, 1, W::OnceUsed, &ClampFlag),
    {"Software", "Screen", 0, kAny, kAnyMax, W::OnceUsed, nullptr, nullptr, nullptr, &TS::Screen},
    // Accuracy options, in a section of their own after the others.
    Int("Accuracy", "LensCorrection", &TS::LensCorrection, 0, 0, 1, W::OnceUsed, &ClampFlag),
    Int("Accuracy", "SubPixelSpot", &TS::SubPixelSpot, 0, 0, 1, W::OnceUsed, &ClampFlag),
    Int("Accuracy", "PointerSmoothing", &TS::PointerSmoothing, 0, 0, 1, W::OnceUsed, &ClampFlag),
}};

}  // namespace

std::span<const SettingKey> SettingKeys() {
    return kKeys;
}

const SettingKey& FindSettingKey(std::string_view name) {
    for (const SettingKey& k : kKeys) {
        if (name == k.name) {
            return k;
        }
    }
    std::abort();
}

}  // namespace tovik
