#pragma once
// The simulator's settings, as given after "sim:" in --camera:
//   sim:scene=blank,pose=upright,count=2,fps=30,...
// A bare "screen" or "blank" stands for scene=screen or scene=blank.

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <opencv2/core.hpp>

#include "sim/CameraPose.h"

namespace sim {

// What a real lens and sensor add to the ideal camera; all off by default.
// "optics=webcam" sets the values of a cheap wide-angle webcam (README).
struct Optics {
    double k1 = 0, k2 = 0;     // radial distortion, OpenCV's model
    double focal = 0.75;       // focal length in frame widths (for k1, k2)
    double blur = 0;           // defocus: Gaussian sigma in camera pixels
    double noiseGrowth = 0;    // noise x 2^(growth * stops) below exposure -6
    double bloom = 0;          // halo around the pen's spot, sigma in spot radii
    double tilt = 0;           // pen tilt from the screen's normal, degrees
    double ambient = 0;        // room light on the screen, in screen grey levels
    bool exposureLag = false;  // exposure changes reach frames one period late
    [[nodiscard]] bool any() const {
        return k1 != 0 || k2 != 0 || blur > 0 || noiseGrowth > 0 || bloom > 0 || tilt > 0 ||
               ambient > 0 || exposureLag;
    }
};

// The "webcam" profile: barrel distortion, a soft focus, a noisy sensor at
// short exposures, a blooming pen held at an angle, a lit room.
[[nodiscard]] Optics webcamOptics();

struct SimOptions {
    enum class Scene { Blank, Screen };
    Scene scene = Scene::Blank;
    cv::Size sceneSize{1280, 800};  // of the blank (drawn) scene
    std::string display;            // X display of scene=screen; empty: $DISPLAY
    cv::Rect area;                  // part of the X screen filmed; empty: all of it
    CameraPose pose;
    int count = 1;     // simulated devices
    double fps = 30;   // 0: a frame is made when a grab asks for one
    int queue = 4;     // frames the driver queue holds
    double noise = 2;  // grey levels, uniform in [-noise, noise]
    std::uint64_t seed = 1;
    double penRadius = 5;  // camera pixels
    std::string control;   // FIFO or Unix socket
    std::string script;
    std::string log;
    // Names of controls the devices refuse: brightness, contrast, hue,
    // saturation, sharpness, gamma, backlight, gain, exposure.
    std::set<std::string> refuse;
    // Interfaces the devices lack: exposure, controls.
    std::set<std::string> missing;
    // Frame sizes every device offers; the first is its current size.
    std::vector<cv::Size> sizes{{640, 480}, {1280, 720}, {320, 240}};
    Optics optics;
};

// Options text without the "sim:" prefix; empty with `error` set on bad input.
[[nodiscard]] std::optional<SimOptions> parseSimOptions(std::string_view text, std::string& error);

// The option names parseSimOptions knows, in order, joined with ", ".
[[nodiscard]] std::string simOptionNames();

}  // namespace sim
