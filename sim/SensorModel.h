#pragma once
// The optics and the sensor of the simulated camera: how the screen, seen
// through a pose and a lens, becomes a frame with the exposure, the image
// controls, the sensor's noise and the pen's spot. It keeps rendering caches,
// so one frame is made at a time.

#include <cstdint>
#include <memory>

#include <opencv2/core.hpp>

#include "sim/LightPen.h"
#include "sim/SimOptions.h"

namespace sim {

class SensorModel {
public:
    // Fixed exposures in log2 seconds.
    static constexpr int kExposureMin = -13;
    static constexpr int kExposureMax = 0;
    static constexpr int kExposureDefault = -6;

    // The device's settings in effect while a frame is exposed.
    struct Settings {
        bool automatic = true;
        int exposure = kExposureDefault;
        int brightness = 0;
        int contrast = 10;
        int gain = 0;
    };

    explicit SensorModel(const SimOptions& options);
    ~SensorModel();
    SensorModel(const SensorModel&) = delete;
    SensorModel& operator=(const SensorModel&) = delete;

    // Grey levels for screen levels 0..255.
    [[nodiscard]] cv::Mat lookupTable(const Settings& settings) const;
    // Films `screen`, whose top left is `origin` in the pen's coordinates,
    // through the homography `h` (screen to ideal camera pixels) into a
    // `frame`-sized BGR image.
    void expose(const cv::Mat& screen, cv::Point origin, const cv::Matx33d& h, cv::Size frame,
                const Settings& settings, const LightPen::State& pen, cv::Mat& image);
    // Where the lens shows an ideal image point.
    [[nodiscard]] cv::Point2d distort(cv::Point2d p, cv::Size frame) const;

private:
    struct Render;  // remap tables, noise bank, buffers

    const Optics optics_;
    const double noise_;
    const double penRadius_;
    const std::uint64_t seed_;
    std::unique_ptr<Render> render_;
};

}  // namespace sim
