#pragma once
// Capture from V4L2 video nodes: our own memory-mapped streaming with
// bounded waits, frames converted to BGR, controls through the driver's
// ioctls. Every kernel call goes through a V4L2Device, so the back end runs
// against replayed device descriptions in tests.
//
// The detection thread grabs (and reconnects a returned device, replacing the
// descriptor, the buffers and the stream) while the console thread sets
// controls: one lock guards the device state, and a grab leaves it only while
// it waits for the next frame.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tovik/camera/CaptureBackend.h"
#include "tovik/camera/V4L2Device.h"

namespace tovik {

class V4L2Backend final : public CaptureBackend {
public:
    // devDir: where the video nodes live. device: the kernel calls; the real
    // ones when null.
    explicit V4L2Backend(std::string devDir = "/dev", std::unique_ptr<V4L2Device> device = nullptr);
    ~V4L2Backend() override;
    V4L2Backend(const V4L2Backend&) = delete;
    V4L2Backend& operator=(const V4L2Backend&) = delete;

    [[nodiscard]] std::vector<DeviceInfo> enumerate() override;
    bool open(int index, cv::Size size) override;
    void close() override;
    [[nodiscard]] bool isOpen() const override;
    [[nodiscard]] cv::Size frameSize() const override;
    [[nodiscard]] double frameRate() const override;
    [[nodiscard]] std::string lastError() const override;
    [[nodiscard]] bool deviceLost() const override { return lost_.load(); }
    bool grab(cv::Mat& frame, std::chrono::milliseconds timeout) override;

    [[nodiscard]] bool hasExposureControl() override;
    bool setExposure(int log2Seconds, bool automatic) override;
    [[nodiscard]] bool hasImageControls() override;
    bool setImageControl(ImageControl control, int value) override;
    std::optional<int> getImageControl(ImageControl control) override;
    [[nodiscard]] std::vector<ControlInfo> controls() override;
    bool setControl(unsigned id, int value) override;

    // How often a lost device is looked for again.
    static constexpr std::chrono::milliseconds kReconnectPeriod{500};
    // What a driver's answers cannot push the back end past: the kernel calls
    // one device's format listing and control listing may each make (a
    // driver that never says "no more" must not hang the program), the
    // retries of a call the driver keeps interrupting, and the frame sizes
    // and rates listed (larger ones are taken as broken answers and skipped).
    static constexpr int kMaxListingCalls = 4096;
    static constexpr int kMaxIoctlRetries = 8;
    static constexpr int kMaxFrameSide = 16384;
    static constexpr double kMaxFrameRate = 1000.0;

private:
    struct Buffer {
        void* start = nullptr;
        size_t length = 0;
    };
    struct Node {
        std::string path;
        std::string card;
        std::string busInfo;
        int openError = 0;  // errno of a node that cannot be opened
    };
    int xioctl(int fd, unsigned long request, void* arg) const;
    // Kernel calls of one listing, retries included, within kMaxListingCalls;
    // past that every call fails as the end of a list does.
    struct ListingCalls {
        V4L2Device* dev;
        int left = kMaxListingCalls;
        int operator()(int fd, unsigned long request, void* arg);
    };
    // Capture nodes in node-number order, and nodes we may not open.
    [[nodiscard]] std::vector<Node> captureNodes() const;
    bool openNode(const Node& node, cv::Size size);
    void releaseStream();
    void markLost();
    bool reconnect();
    bool convert(const Buffer& buffer, size_t bytesUsed, cv::Mat& frame) const;
    bool hasControl(std::uint32_t id) const;
    bool setControlLocked(unsigned id, int value);

    std::string devDir_;
    // Guards everything below and every call into dev_; the private
    // operations above expect it held.
    mutable std::mutex mutex_;
    std::unique_ptr<V4L2Device> dev_;
    int fd_ = -1;
    // Counts the streams opened, so a grab that waited unlocked can tell
    // that its stream was replaced meanwhile.
    std::uint64_t streams_ = 0;
    cv::Size size_;
    double fps_ = 0;
    std::uint32_t pixelFormat_ = 0;
    std::uint32_t bytesPerLine_ = 0;
    std::vector<Buffer> buffers_;
    std::string lastError_;
    // Identity of the open device, to find it again after an unplug.
    std::string card_;
    std::string busInfo_;
    std::atomic<bool> lost_{false};
    std::chrono::steady_clock::time_point nextReconnect_{};
    // Control values set since the open, re-applied when the device returns
    // (a re-plugged camera starts from its defaults).
    std::vector<std::pair<std::uint32_t, int>> applied_;
};

}  // namespace tovik
