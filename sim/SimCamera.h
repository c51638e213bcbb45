#pragma once
// The simulated camera as a device: a capture back end with its devices and
// their controls, plugging, frame pacing and a driver queue. Its frames come
// from the sensor model (SensorModel), its pen is steered by the control side
// (PenControl). Tests and tools steer it directly; the console reaches it
// through CCameraDS like any camera.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include "sim/CameraPose.h"
#include "sim/LightPen.h"
#include "sim/SceneSource.h"
#include "sim/SensorModel.h"
#include "sim/SimOptions.h"
#include "tovik/camera/CaptureBackend.h"

namespace sim {

class DrawnScene;
class FrameLog;
class PenControl;

class SimCamera final : public tovik::CaptureBackend {
public:
    using Clock = std::chrono::steady_clock;

    // What the camera knew about a frame it made.
    struct FrameInfo {
        std::uint64_t number = 0;
        Clock::time_point captured;
        LightPen::State pen;
    };

    // Builds the scene, log, script and control channel the options name;
    // null with `error` set when one of them cannot be had.
    [[nodiscard]] static std::unique_ptr<SimCamera> create(const SimOptions& options,
                                                           std::string& error);
    // The same from the options text written after "sim:".
    [[nodiscard]] static std::unique_ptr<SimCamera> create(std::string_view options,
                                                           std::string& error);
    // A camera over the given scene (a drawn scene of the options' size when
    // null), without log, script or control channel.
    explicit SimCamera(const SimOptions& options, std::unique_ptr<SceneSource> scene = nullptr);
    ~SimCamera() override;
    SimCamera(const SimCamera&) = delete;
    SimCamera& operator=(const SimCamera&) = delete;

    // CaptureBackend
    [[nodiscard]] std::vector<tovik::DeviceInfo> enumerate() override;
    bool open(int index, cv::Size size) override;
    void close() override;
    [[nodiscard]] bool isOpen() const override;
    [[nodiscard]] cv::Size frameSize() const override;
    [[nodiscard]] double frameRate() const override;
    [[nodiscard]] bool deviceLost() const override;
    bool grab(cv::Mat& frame, std::chrono::milliseconds timeout) override;
    [[nodiscard]] bool hasExposureControl() override;
    bool setExposure(int log2Seconds, bool automatic) override;
    [[nodiscard]] bool hasImageControls() override;
    bool setImageControl(tovik::ImageControl control, int value) override;
    std::optional<int> getImageControl(tovik::ImageControl control) override;
    [[nodiscard]] std::vector<tovik::ControlInfo> controls() override;
    bool setControl(unsigned id, int value) override;

    // The pen, shared with PenKeyState.
    [[nodiscard]] LightPen& pen() { return *pen_; }
    [[nodiscard]] std::shared_ptr<LightPen> sharedPen() const { return pen_; }
    void setPen(cv::Point2d screenPosition, bool lit) { pen_->set(screenPosition, lit); }

    // The drawn scene; null when the camera films the X screen.
    [[nodiscard]] DrawnScene* drawnScene() { return drawn_; }
    // Shows this picture on the drawn scene; false for a screen scene or an
    // unusable image.
    bool setScene(const cv::Mat& image);
    [[nodiscard]] cv::Size sceneSize() const { return scene_->size(); }

    [[nodiscard]] CameraPose pose() const;
    void setPose(const CameraPose& pose);
    // Pen (X screen) pixels to camera pixels for the current scene and frame
    // sizes.
    [[nodiscard]] cv::Matx33d poseMatrix() const;
    // Where the frames show a screen point: the pose, then the lens. False
    // when the pose sends it to infinity.
    bool cameraPoint(cv::Point2d screen, cv::Point2d& camera) const;

    // The device stops (or resumes) delivering frames; it stays listed.
    void unplug();
    void plug();
    [[nodiscard]] bool plugged() const;

    // Makes one frame now and puts it into the driver queue (also when the
    // camera paces itself). False when no device is open or it is unplugged.
    bool renderFrame();
    [[nodiscard]] std::optional<FrameInfo> lastGrabbed() const;
    [[nodiscard]] std::uint64_t framesMade() const;

    // The exposure model's state for the open device (tests).
    [[nodiscard]] bool exposureAutomatic() const;
    [[nodiscard]] int exposureValue() const;
    // Grey level a screen value `v` gets with the current exposure and controls.
    [[nodiscard]] int modelLevel(int v) const;
    [[nodiscard]] const SimOptions& options() const { return options_; }

private:
    struct Device {
        bool exposureAuto = true;
        int exposure = SensorModel::kExposureDefault;
        // The exposure before the last change, in effect until the change
        // reaches the frames (with the exposure lag of the optics).
        bool previousAuto = true;
        int previousExposure = SensorModel::kExposureDefault;
        Clock::time_point changed{};
        std::map<tovik::ImageControl, int> controls;
    };
    struct QueuedFrame {
        cv::Mat image;
        FrameInfo info;
    };

    void produce(std::stop_token stop);
    // One frame period at the asked rate; zero for a camera paced by its grabs.
    [[nodiscard]] Clock::duration framePeriod() const;
    [[nodiscard]] bool refuses(const char* name) const;
    // The open device's settings in effect at `at` (the defaults when none
    // is open); the caller holds mutex_.
    [[nodiscard]] SensorModel::Settings settingsAt(Clock::time_point at) const;
    // The exposure in effect at `at` (automatic, value); caller holds mutex_.
    [[nodiscard]] std::pair<bool, int> exposureAt(const Device& d, Clock::time_point at) const;
    void noteExposureChange(Device& d);
    void stopProducer();

    SimOptions options_;
    std::unique_ptr<SceneSource> scene_;
    DrawnScene* drawn_ = nullptr;
    std::shared_ptr<LightPen> pen_;
    std::unique_ptr<FrameLog> log_;

    mutable std::mutex mutex_;  // everything below up to renderMutex_
    std::condition_variable_any frameReady_;
    std::vector<Device> devices_;
    CameraPose pose_;
    int openIndex_ = -1;
    cv::Size frameSize_;
    bool plugged_ = true;
    std::deque<QueuedFrame> queue_;
    std::vector<cv::Mat> spare_;  // buffers of consumed frames, reused
    std::uint64_t nextNumber_ = 0;
    std::optional<FrameInfo> lastGrabbed_;

    std::mutex renderMutex_;  // one frame is made at a time
    SensorModel sensor_;

    std::jthread producer_;
    std::unique_ptr<PenControl> control_;
};

}  // namespace sim
