#pragma once
// A capture back end for the console's tests: a few devices, frames of a
// flat screen with an optional bright spot, and a record of every request.

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "tovik/camera/CaptureBackend.h"

namespace tovik::testing {

class FakeCaptureBackend final : public CaptureBackend {
public:
    struct ExposureRequest {
        int value;
        bool automatic;
        bool operator==(const ExposureRequest&) const = default;
    };

    explicit FakeCaptureBackend(int devices = 1) : devices_(devices) {}

    std::atomic<bool> lost{false};  // reported as unplugged

    std::vector<DeviceInfo> enumerate() override {
        std::vector<DeviceInfo> list;
        for (int i = 0; i < devices_; ++i) {
            // The current format is listed first.
            std::vector<cv::Size> sizes{{640, 480}, {320, 240}};
            if (refuse640) {
                std::swap(sizes[0], sizes[1]);
            }
            list.push_back({"Fake camera " + std::to_string(i), sizes, {}, {}});
        }
        return list;
    }
    bool open(int index, cv::Size size) override {
        std::lock_guard lock(mutex_);
        opens.push_back({index, size});
        if (index < 0 || index >= devices_ || (refuse640 && size == cv::Size(640, 480)) ||
            refuseAll) {
            return false;
        }
        open_ = true;
        openIndex = index;
        size_ = size;
        return true;
    }
    void close() override {
        std::lock_guard lock(mutex_);
        open_ = false;
    }
    std::string lastError() const override { return refusal; }
    bool isOpen() const override {
        std::lock_guard lock(mutex_);
        return open_;
    }
    bool deviceLost() const override { return lost.load(); }
    cv::Size frameSize() const override {
        std::lock_guard lock(mutex_);
        return size_;
    }
    bool grab(cv::Mat& frame, std::chrono::milliseconds timeout) override {
        grabs.fetch_add(1);
        if (!delivering.load() || !isOpen()) {
            std::this_thread::sleep_for(timeout);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::lock_guard lock(mutex_);
        frame.create(size_, CV_8UC3);
        frame.setTo(cv::Scalar::all(40));
        if (spot) {
            cv::circle(frame, spotAt, 4, cv::Scalar::all(255), cv::FILLED);
        }
        return true;
    }
    bool hasExposureControl() override { return true; }
    bool setExposure(int log2Seconds, bool automatic) override {
        std::lock_guard lock(mutex_);
        exposures.push_back({log2Seconds, automatic});
        return true;
    }
    bool hasImageControls() override { return true; }
    bool setImageControl(ImageControl control, int value) override {
        std::lock_guard lock(mutex_);
        images.*kImageControlMembers[static_cast<int>(control)] = value;
        return true;
    }
    std::optional<int> getImageControl(ImageControl control) override {
        std::lock_guard lock(mutex_);
        return images.*kImageControlMembers[static_cast<int>(control)];
    }
    std::vector<ControlInfo> controls() override {
        if (!withControls) {
            return {};
        }
        // id, name, type, minimum, maximum, step, default, value, menu items.
        using T = ControlInfo::Type;
        const std::vector<std::pair<int, std::string>> frequencies{
            {0, "Off"}, {1, "50 Hz"}, {2, "60 Hz"}};
        return {{1, "Brightness", T::Integer, -64, 64, 1, 0, images.brightness, {}},
                {2, "White balance, automatic", T::Boolean, 0, 0, 1, 0, 0, {}},
                {3, "Power line frequency", T::Menu, 0, 0, 1, 0, 0, frequencies}};
    }
    bool setControl(unsigned id, int value) override {
        std::lock_guard lock(mutex_);
        controlSets.push_back({static_cast<int>(id), value});
        if (id == 1) {
            images.brightness = value;  // the properties dialog's brightness
        }
        return true;
    }

    void setSpot(bool on, cv::Point at = {320, 240}) {
        std::lock_guard lock(mutex_);
        spot = on;
        spotAt = at;
    }
    std::vector<ExposureRequest> exposureLog() const {
        std::lock_guard lock(mutex_);
        return exposures;
    }

    // Settings and records; lock-free fields are only touched between runs.
    int devices_;
    bool refuse640 = false;
    bool refuseAll = false;
    std::string refusal;  // the reason given for a refused open
    bool withControls = true;
    std::atomic<bool> delivering{true};
    std::atomic<int> grabs{0};
    int openIndex = -1;
    std::vector<std::pair<int, cv::Size>> opens;
    std::vector<ExposureRequest> exposures;
    ImageControls images{0, 0, 0, 0, 0, 0, 0, 0};  // what the device holds
    std::vector<std::pair<int, int>> controlSets;

private:
    mutable std::mutex mutex_;
    bool open_ = false;
    cv::Size size_{640, 480};
    bool spot = false;
    cv::Point spotAt{320, 240};
};

}  // namespace tovik::testing
