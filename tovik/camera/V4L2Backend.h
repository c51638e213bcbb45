#pragma once
// Capture from V4L2 video nodes: our own memory-mapped streaming with
// bounded waits, frames converted to BGR, controls through the driver's ioctls.

#include <cstdint>
#include <string>
#include <vector>

#include "tovik/camera/CaptureBackend.h"

namespace tovik {

class V4L2Backend final : public CaptureBackend {
public:
    // devDir: where the video nodes live (tests point it elsewhere).
    explicit V4L2Backend(std::string devDir = "/dev");
    ~V4L2Backend() override;
    V4L2Backend(const V4L2Backend&) = delete;
    V4L2Backend& operator=(const V4L2Backend&) = delete;

    [[nodiscard]] std::vector<DeviceInfo> enumerate() override;
    bool open(int index, cv::Size size) override;
    void close() override;
    [[nodiscard]] bool isOpen() const override { return fd_ >= 0; }
    [[nodiscard]] cv::Size frameSize() const override { return size_; }
    bool grab(cv::Mat& frame, std::chrono::milliseconds timeout) override;

    [[nodiscard]] bool hasExposureControl() override;
    bool setExposure(int log2Seconds, bool automatic) override;
    [[nodiscard]] bool hasImageControls() override;
    bool setImageControl(ImageControl control, int value) override;
    std::optional<int> getImageControl(ImageControl control) override;
    [[nodiscard]] std::vector<ControlInfo> controls() override;
    bool setControl(unsigned id, int value) override;

private:
    struct Buffer {
        void* start = nullptr;
        size_t length = 0;
    };
    // Capture nodes in node-number order, as paths.
    [[nodiscard]] std::vector<std::string> captureNodes() const;
    bool convert(const Buffer& buffer, size_t bytesUsed, cv::Mat& frame) const;
    bool hasControl(std::uint32_t id) const;

    std::string devDir_;
    int fd_ = -1;
    cv::Size size_;
    std::uint32_t pixelFormat_ = 0;
    std::uint32_t bytesPerLine_ = 0;
    std::vector<Buffer> buffers_;
};

}  // namespace tovik
