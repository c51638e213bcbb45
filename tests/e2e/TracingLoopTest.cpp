// The detection loop with the trace attached: every processed frame is
// recorded under the camera's own number, and every pointer event names the
// frame that caused it.

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>

#include <opencv2/imgproc.hpp>

#include "RunLogs.h"
#include "common/TempDir.h"
#include "common/platform/InputInjector.h"
#include "common/platform/KeyState.h"
#include "tests/support/Wait.h"
#include "tovik/tracking/DetectionLoop.h"
#include "tovik/tracking/TrackingTrace.h"

namespace e2e {
namespace {

using common::MouseFlags::Absolute;
using common::MouseFlags::LeftDown;
using common::MouseFlags::LeftUp;
using common::MouseFlags::Move;

constexpr int kFrames = 12;
constexpr int kFirstSpot = 3;
constexpr int kLastSpot = 8;
const cv::Size kFrame(320, 240);

TEST(TracingLoop, FramesAndEventsCarryTheCameraFrameThatCausedThem) {
    tktest::TempDir dir;
    const std::string path = dir.path() + "/events.log";
    std::string error;
    std::unique_ptr<tovik::TrackingTrace> trace = tovik::TrackingTrace::open(path, error);
    ASSERT_TRUE(trace) << error;
    // The camera numbers its frames from 500 and stamps them 1 ms apart.
    std::atomic<int> delivered{0};
    const auto stamp = [](int i) {
        return tovik::FrameStamp{500u + static_cast<unsigned>(i),
                                 std::chrono::steady_clock::time_point(std::chrono::seconds(7)) +
                                     std::chrono::milliseconds(i)};
    };
    trace->setFrameQuery(
        [&] { return std::optional<tovik::FrameStamp>(stamp(delivered.load() - 1)); });
    tovik::FrameSource frames = [&](cv::Mat& frame, std::chrono::milliseconds) {
        const int i = delivered.load();
        if (i >= kFrames) {
            return false;
        }
        frame = cv::Mat::zeros(kFrame, CV_8UC3);
        if (i >= kFirstSpot && i <= kLastSpot) {
            cv::circle(frame, {100 + 10 * i, 50}, 4, cv::Scalar::all(255), cv::FILLED);
        }
        delivered.store(i + 1);
        return true;
    };
    tovik::TrackingSettings settings;
    settings.Area = 5;
    settings.AreaUp = 1000;
    settings.F13Trig = 0;
    settings.SamplingInterval = 0;
    tovik::TrackingCalibration calibration;
    calibration.background = cv::Mat::zeros(kFrame, CV_8UC3);
    calibration.autoThreshold = 100;
    calibration.window = {0, kFrame.width, 0, kFrame.height};
    calibration.target = {0, 0, kFrame.width, kFrame.height};
    common::ScriptedKeyState keys;
    common::RecordingInjector recorder;
    tovik::TracingInjector injector(recorder, *trace);
    common::SystemClock clock;
    tovik::DetectionStatus status;
    tovik::FrameSlot display;
    tovik::DetectionLoop loop(
        {frames, settings, [&] { return calibration; }, keys, injector, clock, status, display});
    loop.setTrace(trace.get());

    loop.start();
    tktest::waitUntil([&] { return status.read().frames >= kFrames; }, std::chrono::seconds(2),
                      std::chrono::milliseconds(5));
    loop.stop();
    trace.reset();
    std::ifstream in(path);
    const auto records = readTovikTrace(in, error);

    ASSERT_TRUE(records) << error;
    ASSERT_EQ(records->frames.size(), static_cast<size_t>(kFrames));
    for (int i = 0; i < kFrames; ++i) {
        const TraceFrame& f = records->frames[static_cast<size_t>(i)];
        EXPECT_EQ(f.number, 500u + static_cast<unsigned>(i));
        EXPECT_EQ(f.captureUs, 7'000'000 + 1000 * i);
        EXPECT_GE(f.processUs, 0);
    }
    ASSERT_EQ(records->events.size(), recorder.events().size());
    int presses = 0, releases = 0, moves = 0;
    for (const TraceEvent& e : records->events) {
        if ((e.flags & LeftDown) != 0) {
            ++presses;
            EXPECT_EQ(e.frame, 500u + kFirstSpot);
        }
        if ((e.flags & LeftUp) != 0) {
            ++releases;
            EXPECT_EQ(e.frame, 500u + kLastSpot + 1);  // the first frame without the spot
        }
        if ((e.flags & (Move | Absolute)) == (Move | Absolute)) {
            ++moves;
            // The spot moves 10 px a frame: the event's position says which
            // frame it came from.
            const int i = static_cast<int>(e.frame) - 500;
            EXPECT_NEAR(e.dx * kFrame.width / 65536.0, 100 + 10 * i, 1.0);
            EXPECT_EQ(e.captureUs, 7'000'000 + 1000 * i);
        }
        EXPECT_GE(e.sendUs, 0);
    }
    EXPECT_EQ(presses, 1);
    EXPECT_EQ(releases, 1);
    EXPECT_EQ(moves, kLastSpot - kFirstSpot + 1);
}

}  // namespace
}  // namespace e2e
