// Accuracy of both calibrations at every camera mounting (sim pose), through
// the ideal camera and a cheap webcam's optics (sim optics=webcam), with the
// accuracy options off and on. A refused calibration is reported as such.
//
// Counters, all in screen pixels of a 1024 x 768 screen unless named:
//   calib_mean_px, calib_max_px: a 16-pixel grid over the whole screen carried
//     to the camera (pose and lens) and back through Tovik's mapping;
//   pointer_mean_px, pointer_max_px: the pen held at 48 points over the
//     screen, the mapped pointer after ten frames against the pen's position;
//   jitter_rms_px: the mapped pointer's RMS spread while the pen is held still
//     (five places, 60 frames each), before the Move dead band;
//   smoothing_lag_ms: how far the smoothed pointer trails the unsmoothed one
//     on a stroke at 600 px/s from its second frame on, as time (0 with
//     smoothing off).
// The path is the detection loop's own: SearchFrame, the lens correction,
// PointerMapper; frames come from the simulator on demand, 33 ms apart on a
// fake clock.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include <unistd.h>

#include "common/platform/Clock.h"
#include "common/platform/InputInjector.h"
#include "common/platform/KeyState.h"
#include "sim/PenKeyState.h"
#include "sim/SimCamera.h"
#include "tovik/calibration/Calibrator.h"
#include "tovik/calibration/CameraCalibrationDevice.h"
#include "tovik/calibration/FolderCalibrationFiles.h"
#include "tovik/calibration/HeadlessCanvas.h"
#include "tovik/tracking/DetectionLoop.h"
#include "tovik/tracking/FrameSearch.h"
#include "tovik/tracking/HomographyMap.h"
#include "tovik/tracking/PointerMapper.h"

#include "bench/CalibrationStandIns.h"

namespace {

using benchcal::NoCursor;
using benchcal::PenHand;
using benchcal::QuietHost;

constexpr common::ScreenSize kScreen{1024, 768};
constexpr auto kFrame = std::chrono::milliseconds(33);

// The procedure's waits let the camera settle; the simulated one needs one
// frame period (its exposure lag), so waits are cut to 40 ms of real time.
class ShortWaitClock final : public common::Clock {
public:
    time_point now() const override { return std::chrono::steady_clock::now(); }
    void sleepFor(std::chrono::milliseconds ms) override {
        std::this_thread::sleep_for(std::min(ms, std::chrono::milliseconds(40)));
    }
};

struct Result {
    bool completed = false;
    int refusal = 0;  // tovik::CalibrationFault when refused
    double calibMean = 0, calibMax = 0;
    double pointerMean = 0, pointerMax = 0;
    double jitter = 0;
    double lagMs = 0;
};

cv::Point2d mapPoint(const tovik::CalibrationState& c, cv::Point2f camera) {
    const cv::Point2f straight = c.Lens.undistort(camera);
    const cv::Vec3f v = tovik::ApplyHomography(c.Homography, straight.x, straight.y);
    return {v[0] / v[2], v[1] / v[2]};
}

Result measure(bool automatic, bool improved, const std::string& pose, bool webcam) {
    Result r;
    sim::SimOptions options;
    std::string error;
    options = *sim::parseSimOptions(
        std::string("optics=") + (webcam ? "webcam" : "ideal") + ",fps=0,penradius=5,pose=" + pose,
        error);
    options.sceneSize = {kScreen.width, kScreen.height};
    auto backend = std::make_unique<sim::SimCamera>(options);
    sim::SimCamera* camera = backend.get();
    tovik::CCameraDS ds;
    ds.setBackend(std::move(backend));
    if (!ds.OpenDevice(0, false, 640, 480)) {
        return r;
    }

    // Calibration.
    tovik::TrackingSettings settings;
    settings.RunExpoTime = -6;
    settings.LensCorrection = improved ? 1 : 0;
    settings.SubPixelSpot = improved ? 1 : 0;
    settings.PointerSmoothing = improved ? 1 : 0;
    tovik::CalibrationState state;
    {
        tovik::HeadlessCanvas canvas(kScreen, [camera](const cv::Mat& m) { camera->setScene(m); });
        tovik::CameraCalibrationDevice device(ds);
        PenHand hand(device, canvas, *camera);
        sim::PenKeyState keys(camera->sharedPen(), std::make_unique<common::ScriptedKeyState>());
        NoCursor cursor;
        ShortWaitClock clock;
        const std::string dir = (std::filesystem::temp_directory_path() /
                                 ("tk-bench-accuracy-" + std::to_string(::getpid())))
                                    .string();
        std::filesystem::create_directories(dir);
        tovik::FolderCalibrationFiles files(dir);
        QuietHost host;
        tovik::Calibrator calibrator({hand, device, canvas, keys, clock, cursor, files, host},
                                     settings, state, [] { return tovik::CalibParams{}; });
        r.completed = (automatic ? calibrator.OnAutoCalibrate() : calibrator.OnManualCalibrate()) ==
                      tovik::CalibrationOutcome::Completed;
        r.refusal = static_cast<int>(calibrator.lastFault());
        std::filesystem::remove_all(dir);
    }
    if (!r.completed) {
        return r;
    }
    int n = 0;
    for (int y = 0; y <= kScreen.height; y += 16) {
        for (int x = 0; x <= kScreen.width; x += 16) {
            cv::Point2d cam;
            camera->cameraPoint({double(x), double(y)}, cam);
            const double e = cv::norm(mapPoint(state, cv::Point2f(cam)) - cv::Point2d(x, y));
            r.calibMean += e;
            r.calibMax = std::max(r.calibMax, e);
            ++n;
        }
    }
    r.calibMean /= n;

    // Tracking: the detection loop's steps on a blank white screen at the
    // tracking exposure.
    camera->setScene(cv::Mat(kScreen.height, kScreen.width, CV_8UC3, cv::Scalar::all(255)));
    ds.SetExposure(settings.RunExpoTime, false);
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    common::FakeClock clock;
    common::RecordingInjector injector;
    tovik::DetectionStatus status;
    common::ScriptedKeyState keys;
    auto detector = std::make_unique<tovik::SpotDetector>();
    detector->window = state.Window;
    tovik::FrameSearchState searchState;
    tovik::FrameSearchSettings search;
    search.f13Trig = 0;
    search.autoTh = 1;
    search.autoThreshold = state.AutoThreshold;
    search.subPixel = settings.SubPixelSpot;
    tovik::PointerMapper mapper(injector, status, clock, kScreen, 20);
    tovik::PointerMapper plain(injector, status, clock, kScreen, 20);
    tovik::PointerMapper::FrameSettings pointer;
    pointer.move = 0;
    pointer.mouseLeft = 0;
    pointer.smoothing = settings.PointerSmoothing;
    tovik::PointerMapper::FrameSettings unsmoothed = pointer;
    unsmoothed.smoothing = 0;
    // One frame through both mappers; false when no spot was found.
    auto step = [&] {
        clock.advance(kFrame);
        cv::Mat* frame = ds.GrabFrame();
        if (frame == nullptr) {
            return false;
        }
        const tovik::FrameSearchResult found =
            tovik::SearchFrame(*detector, keys, *frame, state.BackgroundFrame, search, searchState);
        const cv::Point2f straight = state.Lens.undistort({found.cx, found.cy});
        mapper.onFrame(found.spot, straight.x, straight.y, state.Homography, pointer);
        plain.onFrame(found.spot, straight.x, straight.y, state.Homography, unsmoothed);
        return found.spot;
    };
    n = 0;
    for (int iy = 0; iy < 6; ++iy) {
        for (int ix = 0; ix < 8; ++ix) {
            const cv::Point2d at(30 + ix * (kScreen.width - 60) / 7.0,
                                 30 + iy * (kScreen.height - 60) / 5.0);
            camera->pen().setLit(false);
            step();
            camera->setPen(at, true);
            bool seen = false;
            for (int k = 0; k < 10; ++k) {
                seen = step();
            }
            const double e = seen ? cv::norm(mapper.mappedPoint() - at) : 1e3;
            r.pointerMean += e;
            r.pointerMax = std::max(r.pointerMax, e);
            ++n;
        }
    }
    r.pointerMean /= n;

    double sum = 0;
    int samples = 0;
    for (const cv::Point2d at :
         {cv::Point2d(512, 384), cv::Point2d(100, 100), cv::Point2d(900, 650),
          cv::Point2d(150, 680), cv::Point2d(880, 90)}) {
        camera->pen().setLit(false);
        step();
        camera->setPen(at, true);
        std::vector<cv::Point2d> held;
        for (int k = 0; k < 70; ++k) {
            if (step() && k >= 10) {
                held.push_back(mapper.mappedPoint());
            }
        }
        cv::Point2d mean(0, 0);
        for (const auto& p : held) {
            mean += p;
        }
        mean /= std::max<double>(1, held.size());
        for (const auto& p : held) {
            sum += (p - mean).dot(p - mean);
            ++samples;
        }
    }
    r.jitter = std::sqrt(sum / std::max(1, samples));

    // A stroke at 600 px/s; the frames are 33 ms apart on the fake clock.
    camera->pen().setLit(false);
    step();
    double lag = 0;
    int lagged = 0;
    for (int k = 0; k < 40; ++k) {
        camera->setPen({200 + 600 * 0.033 * k, 400}, true);
        // From the second frame of the stroke: the start, where the filter
        // has yet to see the speed, counts too.
        if (step() && k >= 1) {
            lag += plain.mappedPoint().x - mapper.mappedPoint().x;
            ++lagged;
        }
    }
    r.lagMs = lagged > 0 ? lag / lagged / 600.0 * 1000.0 : 0;
    return r;
}

void Accuracy(benchmark::State& state, bool automatic, bool improved, const std::string& pose,
              bool webcam) {
    Result r;
    for (auto _ : state) {
        r = measure(automatic, improved, pose, webcam);
    }
    state.counters["completed"] = r.completed ? 1 : 0;
    state.counters["refusal"] = r.refusal;
    state.counters["calib_mean_px"] = r.calibMean;
    state.counters["calib_max_px"] = r.calibMax;
    state.counters["pointer_mean_px"] = r.pointerMean;
    state.counters["pointer_max_px"] = r.pointerMax;
    state.counters["jitter_rms_px"] = r.jitter;
    state.counters["smoothing_lag_ms"] = r.lagMs;
    if (!r.completed) {
        // Tracking would keep the previous calibration: nothing to measure.
        std::printf("%-9s %-11s %-6s options %-3s  refused (fault %d)\n",
                    automatic ? "automatic" : "manual", pose.c_str(), webcam ? "webcam" : "ideal",
                    improved ? "on" : "off", r.refusal);
        return;
    }
    std::printf(
        "%-9s %-11s %-6s options %-3s  calibration mean %.2f max %.2f | pointer mean %.2f max "
        "%.2f | jitter %.3f px RMS | smoothing lag %.2f ms\n",
        automatic ? "automatic" : "manual", pose.c_str(), webcam ? "webcam" : "ideal",
        improved ? "on" : "off", r.calibMean, r.calibMax, r.pointerMean, r.pointerMax, r.jitter,
        r.lagMs);
}

int registerAll() {
    std::printf("Accuracy on a 1024 x 768 screen (screen pixels).\n");
    for (const bool automatic : {true, false}) {
        for (const char* pose : {"keystone", "upright", "mirrored", "upside-down", "rotated"}) {
            for (const bool webcam : {false, true}) {
                for (const bool improved : {false, true}) {
                    const std::string name = std::string(automatic ? "Auto/" : "Manual/") + pose +
                                             (webcam ? "/webcam" : "/ideal") +
                                             (improved ? "/options_on" : "/options_off");
                    benchmark::RegisterBenchmark(name.c_str(), Accuracy, automatic, improved,
                                                 std::string(pose), webcam)
                        ->Iterations(1)
                        ->UseRealTime()
                        ->Unit(benchmark::kMillisecond);
                }
            }
        }
    }
    return 0;
}

const int registered = registerAll();

}  // namespace

BENCHMARK_MAIN();
