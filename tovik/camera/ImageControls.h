#pragma once
// The eight image controls of a camera, and the value that holds all eight.

#include <array>

namespace tovik {

// The eight image controls in their fixed order: the order they are set and
// read in, and the order of the settings file's [Camera] keys.
enum class ImageControl {
    Brightness,
    Contrast,
    Hue,
    Saturation,
    Sharpness,
    Gamma,
    BacklightCompensation,
    Gain,
};

// The settings' record of the device's image values. The defaults are those
// of a settings file without the keys; every other place takes them from here.
struct ImageControls {
    int brightness = 0;
    int contrast = 10;
    int hue = 0;
    int saturation = 0;
    int sharpness = 4;
    int gamma = 130;
    int backlightCompensation = 1;
    int gain = 0;

    friend bool operator==(const ImageControls&, const ImageControls&) = default;
};

// The member of each control, indexed by ImageControl.
inline constexpr std::array<int ImageControls::*, 8> kImageControlMembers{
    &ImageControls::brightness,
    &ImageControls::contrast,
    &ImageControls::hue,
    &ImageControls::saturation,
    &ImageControls::sharpness,
    &ImageControls::gamma,
    &ImageControls::backlightCompensation,
    &ImageControls::gain,
};

}  // namespace tovik
