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
};

// Options text without the "sim:" prefix; empty with `error` set on bad input.
[[nodiscard]] std::optional<SimOptions> parseSimOptions(std::string_view text, std::string& error);

}  // namespace sim
