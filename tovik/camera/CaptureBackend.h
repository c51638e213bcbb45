#pragma once
// A source of camera frames and the controls of the device it opened. The V4L2
// back end and the simulator implement it; CCameraDS sits on top.

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "tovik/camera/ImageControls.h"

namespace tovik {

struct DeviceInfo {
    std::string name;
    std::vector<cv::Size> frameSizes;  // sizes the device can deliver
    // The highest frame rate at each of frameSizes (same order); 0 unknown.
    std::vector<double> frameRates;
    // Why the device cannot be used (no permission...); empty when it can.
    std::string problem;
};

// One device control, for the generated properties dialog.
struct ControlInfo {
    enum class Type { Integer, Boolean, Menu, Button };
    unsigned id = 0;
    std::string name;
    Type type = Type::Integer;
    int minimum = 0;
    int maximum = 0;
    int step = 1;
    int defaultValue = 0;
    int value = 0;
    std::vector<std::pair<int, std::string>> menuItems;
};

class CaptureBackend {
public:
    virtual ~CaptureBackend() = default;

    [[nodiscard]] virtual std::vector<DeviceInfo> enumerate() = 0;
    // Opens device `index` delivering exactly `size`; false when it cannot.
    virtual bool open(int index, cv::Size size) = 0;
    virtual void close() = 0;
    [[nodiscard]] virtual bool isOpen() const = 0;
    [[nodiscard]] virtual cv::Size frameSize() const = 0;
    // Frames per second asked of the open device; 0 when unknown.
    [[nodiscard]] virtual double frameRate() const { return 0; }
    // Why the last open failed, in words for the user; empty when it did not.
    [[nodiscard]] virtual std::string lastError() const { return {}; }
    // The open device went away (unplugged). It stays open: grabs fail
    // without waiting until the same device is back, then frames resume.
    // Safe to ask from any thread.
    [[nodiscard]] virtual bool deviceLost() const { return false; }
    // Copies the newest frame (8-bit BGR, top row first) into `frame`, reusing
    // its buffer when the size matches; waits at most `timeout` and returns
    // false when no frame came.
    virtual bool grab(cv::Mat& frame, std::chrono::milliseconds timeout) = 0;

    // Exposure: automatic, or a fixed value in log2 seconds.
    [[nodiscard]] virtual bool hasExposureControl() = 0;
    virtual bool setExposure(int log2Seconds, bool automatic) = 0;
    [[nodiscard]] virtual bool hasImageControls() = 0;
    virtual bool setImageControl(ImageControl control, int value) = 0;
    virtual std::optional<int> getImageControl(ImageControl control) = 0;

    // Everything the device offers, for the properties dialog.
    [[nodiscard]] virtual std::vector<ControlInfo> controls() = 0;
    virtual bool setControl(unsigned id, int value) = 0;
};

}  // namespace tovik
