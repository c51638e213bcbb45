// Calibration accuracy and duration against the simulated camera.
//
// For each camera pose, the automatic and the manual calibration run once
// through the headless canvas and the simulator. Counters: mean_px and max_px
// are the screen error over a 16-pixel grid of the whole screen (screen point
// -> camera through the pose -> screen through the new homography).
// Benchmarks named ".../real_waits" sleep the procedure's real waits (500 ms
// and 1000 ms per board attempt, 2 x 200 ms for the manual one), so their time
// is what a user waits; ".../fake_clock" skip the waits and time the work.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include <unistd.h>

#include "common/platform/Clock.h"
#include "common/platform/KeyState.h"
#include "sim/PenKeyState.h"
#include "sim/SimCamera.h"
#include "tovik/calibration/Calibrator.h"
#include "tovik/calibration/CameraCalibrationDevice.h"
#include "tovik/calibration/FolderCalibrationFiles.h"
#include "tovik/calibration/HeadlessCanvas.h"

#include "bench/CalibrationStandIns.h"

namespace {

using benchcal::NoCursor;
using benchcal::PenHand;
using benchcal::QuietHost;

struct Result {
    bool completed = false;
    double mean = 0;
    double max = 0;
};

Result calibrate(const std::string& poseName, bool automatic, common::Clock& clock) {
    const common::ScreenSize screen{1024, 768};
    sim::SimOptions options;
    options.sceneSize = {screen.width, screen.height};
    options.fps = 0;
    std::string error;
    options.pose = *sim::CameraPose::parse(poseName, error);
    auto backend = std::make_unique<sim::SimCamera>(options);
    sim::SimCamera* camera = backend.get();
    tovik::CCameraDS ds;
    ds.setBackend(std::move(backend));
    if (!ds.OpenDevice(0, false, 640, 480)) {
        return {};
    }
    tovik::HeadlessCanvas canvas(screen, [camera](const cv::Mat& m) { camera->setScene(m); });
    tovik::CameraCalibrationDevice device(ds);
    PenHand hand(device, canvas, *camera);
    sim::PenKeyState keys(camera->sharedPen(), std::make_unique<common::ScriptedKeyState>());
    NoCursor cursor;
    const std::string dir =
        (std::filesystem::temp_directory_path() / ("tk-bench-calib-" + std::to_string(::getpid())))
            .string();
    std::filesystem::create_directories(dir);
    tovik::FolderCalibrationFiles files(dir);
    QuietHost host;
    tovik::TrackingSettings settings;
    settings.RunExpoTime = -6;
    tovik::CalibrationState state;
    tovik::Calibrator calibrator({hand, device, canvas, keys, clock, cursor, files, host}, settings,
                                 state, [] { return tovik::CalibParams{}; });
    const tovik::CalibrationOutcome outcome =
        automatic ? calibrator.OnAutoCalibrate() : calibrator.OnManualCalibrate();
    std::filesystem::remove_all(dir);

    Result r;
    r.completed = outcome == tovik::CalibrationOutcome::Completed;
    const cv::Matx33d pose = camera->poseMatrix();
    const cv::Matx33d h(state.Homography);
    int n = 0;
    for (int y = 0; y <= screen.height; y += 16) {
        for (int x = 0; x <= screen.width; x += 16) {
            cv::Point2d cam;
            sim::projectPoint(pose, {double(x), double(y)}, cam);
            const cv::Vec3d back = h * cv::Vec3d(cam.x, cam.y, 1.0);
            const double e = std::hypot(back[0] / back[2] - x, back[1] / back[2] - y);
            r.mean += e;
            r.max = std::max(r.max, e);
            ++n;
        }
    }
    r.mean /= n;
    return r;
}

void Calibration(benchmark::State& state, std::string pose, bool automatic, bool realWaits) {
    common::SystemClock realClock;
    common::FakeClock fakeClock;
    common::Clock& clock = realWaits ? static_cast<common::Clock&>(realClock) : fakeClock;
    Result r;
    for (auto _ : state) {
        r = calibrate(pose, automatic, clock);
    }
    state.counters["mean_px"] = r.mean;
    state.counters["max_px"] = r.max;
    state.counters["completed"] = r.completed ? 1 : 0;
    std::printf("%-10s %-12s %-10s completed %d  mean %.3f px  max %.3f px\n",
                automatic ? "automatic" : "manual", pose.c_str(),
                realWaits ? "real_waits" : "fake_clock", r.completed ? 1 : 0, r.mean, r.max);
}

const char* const kPoses[] = {"upright", "mirrored", "upside-down", "rotated", "keystone"};

int registerAll() {
    std::printf(
        "Calibration accuracy: screen error (px) over the whole 1024 x 768 screen.\n"
        "Times of '.../real_waits' include the procedure's real waits; '.../fake_clock' skip "
        "them.\n");
    for (const bool realWaits : {false, true}) {
        for (const bool automatic : {true, false}) {
            for (const char* pose : kPoses) {
                const std::string name =
                    std::string(automatic ? "AutoCalibration/" : "ManualCalibration/") + pose +
                    (realWaits ? "/real_waits" : "/fake_clock");
                benchmark::RegisterBenchmark(name.c_str(), Calibration, std::string(pose),
                                             automatic, realWaits)
                    ->Iterations(1)
                    ->UseRealTime()
                    ->Unit(benchmark::kMillisecond);
            }
        }
    }
    return 0;
}

const int registered = registerAll();

}  // namespace

BENCHMARK_MAIN();
