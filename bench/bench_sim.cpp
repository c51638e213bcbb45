// Cost of one simulated camera frame at 640 x 480: from a drawn 1280 x 800
// scene, and from the live X screen (needs DISPLAY). A plain
// cv::warpPerspective of the same scene is the reference.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>

#include <opencv2/imgproc.hpp>

#include "sim/ScreenScene.h"
#include "sim/SimCamera.h"

namespace {

cv::Mat boardScene() {
    cv::Mat scene(800, 1280, CV_8UC3, cv::Scalar::all(255));
    const double cw = (1280 - 80) / 8.0, ch = (800 - 80) / 6.0;
    for (int r = 0; r < 6; ++r) {
        for (int c = 0; c < 8; ++c) {
            if ((r + c) % 2 == 0) {
                cv::rectangle(scene,
                              cv::Rect(static_cast<int>(40 + c * cw), static_cast<int>(40 + r * ch),
                                       static_cast<int>(cw), static_cast<int>(ch)),
                              cv::Scalar::all(0), cv::FILLED);
            }
        }
    }
    return scene;
}

void runCamera(benchmark::State& state, const std::string& spec, bool drawBoard) {
    std::string error;
    auto camera = sim::SimCamera::create(spec, error);
    if (!camera) {
        state.SkipWithError(error.c_str());
        return;
    }
    if (drawBoard) {
        (void)camera->setScene(boardScene());
    }
    if (!camera->open(0, {640, 480}) || !camera->setExposure(-6, false)) {
        state.SkipWithError("cannot open the simulated camera");
        return;
    }
    camera->setPen({400, 300}, true);
    cv::Mat frame;
    for (auto _ : state) {
        // On-demand camera (fps=0): each grab makes one frame.
        if (!camera->grab(frame, std::chrono::milliseconds(1000))) {
            state.SkipWithError("no frame");
            return;
        }
        benchmark::DoNotOptimize(frame.data);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_SimFrameFromDrawnScene(benchmark::State& state) {
    runCamera(state, "fps=0,scenesize=1280x800", true);
}
BENCHMARK(BM_SimFrameFromDrawnScene)->Unit(benchmark::kMillisecond);

void BM_SimFrameFromXScreen(benchmark::State& state) {
    if (std::getenv("DISPLAY") == nullptr) {
        state.SkipWithError("no DISPLAY");
        return;
    }
    runCamera(state, "fps=0,scene=screen", false);
}
BENCHMARK(BM_SimFrameFromXScreen)->Unit(benchmark::kMillisecond);

void BM_XScreenCaptureOnly(benchmark::State& state) {
    if (std::getenv("DISPLAY") == nullptr) {
        state.SkipWithError("no DISPLAY");
        return;
    }
    sim::ScreenScene scene("");
    cv::Mat image;
    for (auto _ : state) {
        if (!scene.capture(image)) {
            state.SkipWithError("capture failed");
            return;
        }
        benchmark::DoNotOptimize(image.data);
    }
    state.counters["shm"] = scene.usesSharedMemory() ? 1 : 0;
}
BENCHMARK(BM_XScreenCaptureOnly)->Unit(benchmark::kMillisecond);

// The reference: one perspective warp of the scene, nothing else.
void BM_WarpPerspectiveReference(benchmark::State& state) {
    const cv::Mat scene = boardScene();
    std::string error;
    const sim::SimOptions options = *sim::parseSimOptions("", error);
    const cv::Matx33d h = options.pose.homography(scene.size(), {640, 480});
    cv::Mat frame;
    for (auto _ : state) {
        cv::warpPerspective(scene, frame, cv::Mat(h), {640, 480}, cv::INTER_LINEAR,
                            cv::BORDER_CONSTANT, cv::Scalar::all(20));
        benchmark::DoNotOptimize(frame.data);
    }
}
BENCHMARK(BM_WarpPerspectiveReference)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
