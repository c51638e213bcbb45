// Per-frame spot detection and the detection-window computation, each next
// to its reference: the plain library pipeline (subtract, grey conversion,
// scan of the grey image) and the per-pixel window definition.

#include <benchmark/benchmark.h>

#include <array>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "tovik/calibration/CalibrationState.h"
#include "tovik/tracking/SpotDetector.h"

namespace {

constexpr int kThreshold = 170;

// A dim camera view of the screen at the tracking exposure with sensor noise,
// and the same view with the pen's spot, a saturated disc of radius 8.
struct Scene {
    cv::Mat background = cv::Mat(480, 640, CV_8UC3);
    cv::Mat frame;
    tovik::DetectionWindow window{32, 608, 24, 456};  // 576 x 432, 81 % of the frame

    Scene() {
        cv::setRNGSeed(11);
        cv::randu(background, cv::Scalar::all(10), cv::Scalar::all(60));
        cv::Mat noise(background.size(), CV_8UC3);
        cv::randu(noise, cv::Scalar::all(0), cv::Scalar::all(12));
        cv::add(background, noise, frame);
        cv::circle(frame, {300, 200}, 8, cv::Scalar(255, 255, 255), cv::FILLED);
    }
};

const Scene& scene() {
    static const Scene s;
    return s;
}

void BM_DetectSpotInFrame(benchmark::State& state) {
    const Scene& s = scene();
    tovik::SpotDetector detector;
    detector.window = s.window;
    float cx = 0;
    float cy = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            detector.DetectSpotInFrame(s.frame, s.background, kThreshold, cx, cy));
        benchmark::DoNotOptimize(cx);
    }
}
BENCHMARK(BM_DetectSpotInFrame)->Unit(benchmark::kMicrosecond);

void BM_SubtractThenDetectSpot(benchmark::State& state) {
    const Scene& s = scene();
    tovik::SpotDetector detector;
    detector.window = s.window;
    cv::Mat difference;
    float cx = 0;
    float cy = 0;
    for (auto _ : state) {
        cv::subtract(s.frame, s.background, difference);
        benchmark::DoNotOptimize(detector.DetectSpot(difference, kThreshold, cx, cy));
        benchmark::DoNotOptimize(cx);
    }
}
BENCHMARK(BM_SubtractThenDetectSpot)->Unit(benchmark::kMicrosecond);

// The straightforward pipeline: whole-frame subtraction and grey conversion,
// then a scan of the window in the grey image.
void BM_LibraryPipeline(benchmark::State& state) {
    const Scene& s = scene();
    const tovik::DetectionWindow& w = s.window;
    cv::Mat difference;
    cv::Mat grey;
    std::vector<cv::Point2f> pixels(tovik::kMaxSpotPixels);
    for (auto _ : state) {
        cv::subtract(s.frame, s.background, difference);
        cv::cvtColor(difference, grey, cv::COLOR_BGR2GRAY);
        int count = 0;
        for (int y = w.top; y < w.bottom && count < tovik::kMaxSpotPixels; ++y) {
            const std::uint8_t* row = grey.ptr<std::uint8_t>(y);
            for (int x = w.left; x < w.right && count < tovik::kMaxSpotPixels; ++x) {
                if (row[x] >= kThreshold) {
                    pixels[static_cast<std::size_t>(count++)] =
                        cv::Point2f(static_cast<float>(x), static_cast<float>(y));
                }
            }
        }
        float sx = 0;
        float sy = 0;
        for (int i = 0; i < count; ++i) {
            sx += pixels[static_cast<std::size_t>(i)].x;
            sy += pixels[static_cast<std::size_t>(i)].y;
        }
        benchmark::DoNotOptimize(count);
        benchmark::DoNotOptimize(sx);
        benchmark::DoNotOptimize(sy);
    }
}
BENCHMARK(BM_LibraryPipeline)->Unit(benchmark::kMicrosecond);

// A keystoned, slightly rotated view of a 1920 x 1080 screen filling most of
// a 640 x 480 frame.
cv::Matx33f cameraToScreen() {
    const std::array<cv::Point2f, 4> camera = {
        cv::Point2f(58, 41), {597, 30}, {620, 452}, {35, 431}};
    const std::array<cv::Point2f, 4> screen = {
        cv::Point2f(0, 0), {1920, 0}, {1920, 1080}, {0, 1080}};
    const cv::Mat h = cv::getPerspectiveTransform(camera.data(), screen.data());
    cv::Matx33f out;
    for (int i = 0; i < 9; ++i) {
        out.val[i] = static_cast<float>(h.at<double>(i / 3, i % 3));
    }
    return out;
}

void BM_DetectionWindow(benchmark::State& state) {
    const cv::Matx33f h = cameraToScreen();
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            tovik::ComputeDetectionWindow(h, {640, 480}, common::ScreenSize{1920, 1080}));
    }
}
BENCHMARK(BM_DetectionWindow)->Unit(benchmark::kMicrosecond);

void BM_DetectionWindowNaive(benchmark::State& state) {
    const cv::Matx33f h = cameraToScreen();
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            tovik::ComputeDetectionWindowNaive(h, {640, 480}, common::ScreenSize{1920, 1080}));
    }
}
BENCHMARK(BM_DetectionWindowNaive)->Unit(benchmark::kMicrosecond);

// A pincushion lens: each pixel is straightened before the homography.
tovik::LensModel pincushion() {
    tovik::LensModel lens;
    lens.valid = true;
    lens.focal = 520;
    lens.centre = {322, 236};
    lens.k1 = 0.12;
    lens.k2 = 0.01;
    return lens;
}

void BM_DetectionWindowLens(benchmark::State& state) {
    const cv::Matx33f h = cameraToScreen();
    const tovik::LensModel lens = pincushion();
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            tovik::ComputeDetectionWindow(h, {640, 480}, common::ScreenSize{1920, 1080}, lens));
    }
}
BENCHMARK(BM_DetectionWindowLens)->Unit(benchmark::kMicrosecond);

void BM_DetectionWindowLensNaive(benchmark::State& state) {
    const cv::Matx33f h = cameraToScreen();
    const tovik::LensModel lens = pincushion();
    for (auto _ : state) {
        benchmark::DoNotOptimize(tovik::ComputeDetectionWindowNaive(
            h, {640, 480}, common::ScreenSize{1920, 1080}, lens));
    }
}
BENCHMARK(BM_DetectionWindowLensNaive)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    // One core for every contender: the library would otherwise spread its
    // conversions over worker threads.
    cv::setNumThreads(1);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
