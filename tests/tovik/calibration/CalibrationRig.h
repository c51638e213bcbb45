#pragma once
// A closed loop for the calibration procedures without a display: the
// headless canvas draws the screen, the simulated camera films it through a
// known pose, a fake clock skips the waits, and a pen operator played by the
// test touches the dots.

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "common/TempDir.h"
#include "common/platform/Clock.h"
#include "common/platform/KeyState.h"
#include "sim/PenKeyState.h"
#include "sim/SimCamera.h"
#include "tests/support/PenOnDots.h"
#include "tovik/calibration/CalibrationGeometry.h"
#include "tovik/calibration/Calibrator.h"
#include "tovik/calibration/CameraCalibrationDevice.h"
#include "tovik/calibration/FolderCalibrationFiles.h"
#include "tovik/calibration/HeadlessCanvas.h"
#include "tovik/camera/CameraDS.h"

namespace tktest {

using Strings = std::vector<std::string>;

// Mean and largest distance between screen points on a `step`-pixel grid and
// their round trip through the camera (pose and lens) and the computed lens
// correction and homography, carried as tracking carries them.
inline std::pair<double, double> screenError(const sim::SimCamera& sim,
                                             const tovik::CalibrationState& state,
                                             common::ScreenSize screen, int step) {
    std::vector<cv::Point2f> camera, shown;
    for (int y = 0; y <= screen.height; y += step) {
        for (int x = 0; x <= screen.width; x += step) {
            cv::Point2d seen;
            sim.cameraPoint({double(x), double(y)}, seen);
            camera.push_back(state.Lens.undistort(cv::Point2f(seen)));
            shown.emplace_back(x, y);
        }
    }
    const tovik::CalibrationReport r = tovik::MeasureReprojection(
        state.Homography, camera, shown, tovik::CalibrationReport::Kind::Manual);
    return {r.meanError, r.maxError};
}

class RecordingHost final : public tovik::CalibrationHost {
public:
    void StopPreview() override { calls.push_back("StopPreview"); }
    void StartPreview() override { calls.push_back("StartPreview"); }
    void ShowAutoThreshold(int threshold) override {
        calls.push_back("ShowAutoThreshold");
        shownThreshold = threshold;
    }
    void ShowCalibrationReport(const tovik::CalibrationReport& r) override {
        calls.push_back("Report");
        report = r;
    }
    void ShowCalibrationRefused(tovik::CalibrationFault f) override {
        calls.push_back("Refused");
        refusal = f;
    }
    bool RunCountDown(int seconds) override {
        calls.push_back("CountDown" + std::to_string(seconds));
        return countDownAccepts;
    }
    bool ThreadStarted() override { return threadStarted; }
    void OnRun() override { calls.push_back("OnRun"); }
    void OnPause() override { calls.push_back("OnPause"); }

    [[nodiscard]] int count(const std::string& call) const {
        return static_cast<int>(std::count(calls.begin(), calls.end(), call));
    }

    std::vector<std::string> calls;
    int shownThreshold = -1;
    tovik::CalibrationReport report;
    tovik::CalibrationFault refusal = tovik::CalibrationFault::None;
    bool countDownAccepts = true;
    bool threadStarted = false;
};

class RecordingCursor final : public tovik::CursorControl {
public:
    void ShowCursor(bool show) override { changes.push_back(show); }
    std::vector<bool> changes;
};

// Records every exposure request before passing it on.
class RecordingExposure final : public tovik::ExposureControl {
public:
    explicit RecordingExposure(tovik::ExposureControl& inner) : inner_(inner) {}
    bool SetExposure(int value, bool automatic) override {
        requests.push_back(automatic ? std::string("auto") : std::to_string(value));
        return inner_.SetExposure(value, automatic);
    }
    std::vector<std::string> requests;

private:
    tovik::ExposureControl& inner_;
};

// Runs a hook before each grab: the test's hands on the pen and the keys.
class HookedGrabber final : public tovik::FrameGrabber {
public:
    explicit HookedGrabber(tovik::FrameGrabber& inner) : inner_(inner) {}
    cv::Mat* GrabFrame() override {
        ++grabs;
        if (beforeGrab) {
            beforeGrab();
        }
        return inner_.GrabFrame();
    }
    cv::Size FrameSize() override { return inner_.FrameSize(); }
    std::function<void()> beforeGrab;
    int grabs = 0;

private:
    tovik::FrameGrabber& inner_;
};

struct RigOptions {
    std::string pose = "upright";
    common::ScreenSize screen{1024, 768};
    double noise = 2;
    bool webcam = false;  // the simulator's webcam optics
    // Turns the canvas picture into what the screen shows (a projector).
    std::function<cv::Mat(const cv::Mat&)> projector = {};
    std::set<std::string> missing = {};  // controls the camera lacks
    bool pen = false;                    // the pen operator on every grab from the start
};

class CalibrationRig {
public:
    explicit CalibrationRig(const RigOptions& o = {})
        : screen(o.screen),
          projector(o.projector),
          canvas(o.screen, [this](const cv::Mat& picture) { show(picture); }),
          device(camera),
          grabber(device),
          exposure(device),
          files(dir.path()) {
        sim::SimOptions options;
        options.sceneSize = {o.screen.width, o.screen.height};
        options.fps = 0;
        options.noise = o.noise;
        options.missing = o.missing;
        if (o.webcam) {
            options.optics = sim::webcamOptics();
        }
        std::string error;
        options.pose = *sim::CameraPose::parse(o.pose, error);
        auto backend = std::make_unique<sim::SimCamera>(options);
        sim = backend.get();
        camera.setBackend(std::move(backend));
        camera.setMessageSink(&messages);
        opened = camera.OpenDevice(0, false, 640, 480);
        auto scripted = std::make_unique<common::ScriptedKeyState>();
        otherKeys = scripted.get();
        keys = std::make_unique<sim::PenKeyState>(sim->sharedPen(), std::move(scripted));
        settings.Amp = 77;
        settings.RunExpoTime = -6;
        settings.F13Trig = 1;
        calibrator = std::make_unique<tovik::Calibrator>(
            tovik::CalibrationServices{grabber, exposure, canvas, *keys, clock, cursor, files,
                                       host},
            settings, state, [this] {
                ++paramReads;
                return params;
            });
        if (o.pen) {
            touchDotsWithPen();
        }
    }

    void show(const cv::Mat& picture) { sim->setScene(projector ? projector(picture) : picture); }

    [[nodiscard]] std::pair<double, double> screenError() const {
        return tktest::screenError(*sim, state, screen, 16);
    }

    // Where a screen point appears in the camera, through the simulated pose.
    [[nodiscard]] cv::Point2d cameraOf(cv::Point2d screenPoint) const {
        cv::Point2d cam;
        sim::projectPoint(sim->poseMatrix(), screenPoint, cam);
        return cam;
    }

    // The pen operator (PenOnDots) on every grab from now on.
    void touchDotsWithPen(bool pressF13 = true, int holdGrabs = 0, bool darkWhileHeld = false) {
        grabber.beforeGrab =
            PenOnDots(canvas, *sim, {pressF13, holdGrabs, darkWhileHeld, &dotsTouched});
    }

    // `hook` on every grab from now on, before what ran there so far.
    void beforeEachGrab(std::function<void()> hook) {
        grabber.beforeGrab = [hook = std::move(hook), next = grabber.beforeGrab] {
            hook();
            if (next) {
                next();
            }
        };
    }

    // Esc is tapped just before grab `n`.
    void escAtGrab(int n) {
        beforeEachGrab([this, n] {
            if (grabber.grabs == n) {
                otherKeys->tap(common::VK_ESCAPE_KEY);
            }
        });
    }

    [[nodiscard]] bool fileExists(const std::string& name) const {
        return std::filesystem::exists(dir.file(name));
    }

    TempDir dir;
    common::ScreenSize screen;
    std::function<cv::Mat(const cv::Mat&)> projector;
    tovik::HeadlessCanvas canvas;
    tovik::CCameraDS camera;
    sim::SimCamera* sim = nullptr;
    tovik::RecordingMessageSink messages;
    bool opened = false;
    tovik::CameraCalibrationDevice device;
    HookedGrabber grabber;
    RecordingExposure exposure;
    common::ScriptedKeyState* otherKeys = nullptr;
    std::unique_ptr<common::KeyState> keys;
    common::FakeClock clock;
    RecordingCursor cursor;
    tovik::FolderCalibrationFiles files;
    RecordingHost host;
    tovik::TrackingSettings settings;
    tovik::CalibrationState state;
    tovik::CalibParams params;
    int paramReads = 0;
    std::set<int> dotsTouched;
    std::unique_ptr<tovik::Calibrator> calibrator;
};

}  // namespace tktest
