// The V4L2 back end shared as the console shares it: the detection thread
// grabs, and reconnects a camera that was unplugged, while the console thread
// sets the exposure. The tsan preset builds this test with ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "ReplayDevice.h"
#include "tovik/camera/V4L2Backend.h"

namespace {

using tovik::testing::loadFixture;
using Clock = std::chrono::steady_clock;

TEST(V4L2Race, ExposureSetDuringUnplugAndReconnectIsSafeAndStaysOnTheDevice) {
    auto replay = std::make_unique<tovik::testing::ReplayDevice>();
    tovik::testing::ReplayDevice& device = *replay;
    device.plug(0, loadFixture("uvc-logitech-c922.txt"));
    tovik::V4L2Backend backend("/dev", std::move(replay));
    ASSERT_TRUE(backend.open(0, {640, 480}));
    std::atomic<bool> stop{false};
    std::atomic<int> frames{0};
    std::thread detection([&] {
        cv::Mat frame;
        while (!stop.load()) {
            frames += backend.grab(frame, std::chrono::milliseconds(2)) ? 1 : 0;
        }
    });
    // The console's requests go on while the device leaves and returns.
    const auto setUntil = [&](auto done) {
        const auto end = Clock::now() + std::chrono::seconds(5);
        while (!done() && Clock::now() < end) {
            (void)backend.setExposure(-6, false);
        }
        return done();
    };

    for (int round = 0; round < 2; ++round) {
        const int before = frames.load();
        ASSERT_TRUE(setUntil([&] { return frames.load() > before + 2; }));
        device.unplug(0);
        ASSERT_TRUE(setUntil([&] { return backend.deviceLost(); }));
        device.plug(0, loadFixture("uvc-logitech-c922.txt"));  // at its defaults
        ASSERT_TRUE(setUntil([&] { return !backend.deviceLost(); }));
    }
    stop = true;
    detection.join();

    EXPECT_EQ(device.controlValue(0, V4L2_CID_EXPOSURE_AUTO), V4L2_EXPOSURE_MANUAL);
    EXPECT_EQ(device.controlValue(0, V4L2_CID_EXPOSURE_ABSOLUTE), 156);
    backend.close();
    EXPECT_EQ(device.openDescriptors(), 0);
}

}  // namespace
