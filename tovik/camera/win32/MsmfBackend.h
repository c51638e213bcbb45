#pragma once
// Capture on Windows: the cameras Media Foundation lists (friendly names,
// sizes and rates), frames through OpenCV's DirectShow capture, and
// the image and exposure controls of the camera's video processing amplifier
// and camera control interfaces. The same errors as the V4L2 back end: busy,
// unplugged, none.

#include <atomic>
#include <chrono>
#include <map>
#include <string>
#include <vector>

#include <opencv2/videoio.hpp>

#include "tovik/camera/CaptureBackend.h"

namespace tovik {

class MsmfBackend final : public CaptureBackend {
public:
    MsmfBackend() = default;
    ~MsmfBackend() override;
    MsmfBackend(const MsmfBackend&) = delete;
    MsmfBackend& operator=(const MsmfBackend&) = delete;

    [[nodiscard]] std::vector<DeviceInfo> enumerate() override;
    bool open(int index, cv::Size size) override;
    void close() override;
    [[nodiscard]] bool isOpen() const override { return cap_.isOpened() || lost_.load(); }
    [[nodiscard]] cv::Size frameSize() const override { return size_; }
    [[nodiscard]] double frameRate() const override { return fps_; }
    [[nodiscard]] std::string lastError() const override { return lastError_; }
    [[nodiscard]] bool deviceLost() const override { return lost_.load(); }
    bool grab(cv::Mat& frame, std::chrono::milliseconds timeout) override;

    [[nodiscard]] bool hasExposureControl() override;
    bool setExposure(int log2Seconds, bool automatic) override;
    [[nodiscard]] bool hasImageControls() override;
    bool setImageControl(ImageControl control, int value) override;
    std::optional<int> getImageControl(ImageControl control) override;
    [[nodiscard]] std::vector<ControlInfo> controls() override;
    bool setControl(unsigned id, int value) override;

    static constexpr std::chrono::milliseconds kReconnectPeriod{500};
    // Reads that fail in a row before the device counts as lost.
    static constexpr int kFailedReadsForLoss = 3;
    // Control ids of controls(): the image controls by their order, exposure after.
    static constexpr unsigned kExposureControlId = 100;

private:
    bool openCapture();
    cv::VideoCapture cap_;
    int index_ = -1;
    std::string name_;
    int sameNameBefore_ = 0;  // cameras of the same name listed before it
    cv::Size size_;
    double fps_ = 0;
    std::string lastError_;
    std::atomic<bool> lost_{false};
    int failedReads_ = 0;
    std::chrono::steady_clock::time_point nextReconnect_;
    std::vector<ControlInfo> ranges_;  // read from the device before capture starts
};

}  // namespace tovik
