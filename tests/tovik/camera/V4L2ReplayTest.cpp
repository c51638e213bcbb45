// The V4L2 back end against replayed descriptions of real webcams.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <sstream>
#include <thread>
#include <tuple>

#include "ReplayDevice.h"
#include "tovik/camera/CameraDS.h"
#include "tovik/camera/ListCameras.h"
#include "tovik/camera/V4L2Backend.h"

namespace {

using tovik::testing::loadFixture;
using tovik::testing::ReplayDevice;

constexpr const char* kVx1000 = "uvc-microsoft-lifecam-vx1000.txt";
constexpr const char* kHd3000 = "uvc-microsoft-lifecam-hd3000.txt";
constexpr const char* kC922 = "uvc-logitech-c922.txt";
constexpr const char* kC270 = "uvc-logitech-c270.txt";

// A back end over a replay device; `device` stays usable to steer it. The
// fixtures named are plugged in as /dev/video0, 1, ...
struct ReplayRig {
    ReplayDevice* device = nullptr;
    tovik::V4L2Backend* backend = nullptr;
    tovik::CCameraDS camera;
    tovik::RecordingMessageSink sink;

    explicit ReplayRig(std::initializer_list<const char*> fixtures = {}) {
        auto replay = std::make_unique<ReplayDevice>();
        device = replay.get();
        auto v4l2 = std::make_unique<tovik::V4L2Backend>("/dev", std::move(replay));
        backend = v4l2.get();
        camera.setBackend(std::move(v4l2));
        camera.setMessageSink(&sink);
        int node = 0;
        for (const char* name : fixtures) {
            device->plug(node++, loadFixture(name));
        }
    }
};

double fpsOf(v4l2_fract f) {
    return static_cast<double>(f.denominator) / f.numerator;
}

TEST(V4L2Replay, EnumeratesWebcamsWithTheirSizesAndHighestRates) {
    ReplayRig rig;
    rig.device->plug(0, loadFixture(kVx1000));
    rig.device->plug(2, loadFixture(kHd3000));
    rig.device->plug(4, loadFixture(kC922));
    rig.device->plug(6, loadFixture(kC270));

    const auto devices = rig.camera.Devices();

    ASSERT_EQ(devices.size(), 4u);
    EXPECT_EQ(devices[0].name, "Microsoft LifeCam VX-1000");
    EXPECT_EQ(devices[2].name, "C922 Pro Stream Webcam");
    for (const auto& d : devices) {
        ASSERT_FALSE(d.frameSizes.empty()) << d.name;
        EXPECT_EQ(d.frameSizes[0], cv::Size(640, 480)) << d.name << ": the current size leads";
        ASSERT_EQ(d.frameRates.size(), d.frameSizes.size());
    }
    auto rateAt = [](const tovik::DeviceInfo& d, cv::Size s) {
        const auto i = std::find(d.frameSizes.begin(), d.frameSizes.end(), s);
        return i == d.frameSizes.end() ? -1.0 : d.frameRates[i - d.frameSizes.begin()];
    };
    EXPECT_EQ(rateAt(devices[0], {1280, 720}), -1.0);  // a VGA camera
    EXPECT_DOUBLE_EQ(rateAt(devices[1], {1280, 720}), 30.0);
    EXPECT_DOUBLE_EQ(rateAt(devices[2], {1280, 720}), 60.0);
    EXPECT_DOUBLE_EQ(rateAt(devices[3], {1280, 960}), 30.0);  // MJPEG, not YUYV's 7.5

    std::ostringstream out;
    tovik::ListCameras(out, rig.camera);
    EXPECT_NE(out.str().find("2\tC922 Pro Stream Webcam\t640x480@30,"), std::string::npos)
        << out.str();
    EXPECT_NE(out.str().find("1280x720@60"), std::string::npos) << out.str();
}

TEST(V4L2Replay, OpensEachSizeInTheFormatWithTheHighestRate) {
    // Fixture, size asked for, format streamed and frame rate.
    const std::tuple<const char*, cv::Size, std::uint32_t, double> cases[] = {
        {kVx1000, {640, 480}, V4L2_PIX_FMT_YUYV, 30},
        {kVx1000, {160, 120}, V4L2_PIX_FMT_YUYV, 30},
        {kHd3000, {640, 480}, V4L2_PIX_FMT_YUYV, 30},
        {kHd3000, {1280, 720}, V4L2_PIX_FMT_MJPEG, 30},  // larger sizes are MJPEG only
        {kC922, {640, 480}, V4L2_PIX_FMT_YUYV, 30},      // a tie keeps the uncompressed one
        {kC922, {1280, 720}, V4L2_PIX_FMT_MJPEG, 60},
        {kC270, {1280, 960}, V4L2_PIX_FMT_MJPEG, 30},
        {kC270, {800, 600}, V4L2_PIX_FMT_MJPEG, 30},
    };
    for (const auto& [fixture, size, fourcc, fps] : cases) {
        SCOPED_TRACE(std::string(fixture) + " " + std::to_string(size.width));
        ReplayRig rig({fixture});

        ASSERT_TRUE(rig.camera.OpenDevice(0, false, size.width, size.height))
            << rig.backend->lastError();
        const cv::Mat* frame = rig.camera.GrabFrame();

        EXPECT_EQ(rig.device->streamedFormat(0), fourcc);
        ASSERT_TRUE(rig.device->interval(0));
        EXPECT_DOUBLE_EQ(fpsOf(*rig.device->interval(0)), fps);
        EXPECT_DOUBLE_EQ(rig.backend->frameRate(), fps);
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(frame->size(), size);
        // Grey 90 as sent; YUYV goes through the limited-range conversion.
        EXPECT_NEAR(cv::mean(*frame)[1], 90, 6);
    }

    ReplayRig vga({kVx1000});
    EXPECT_FALSE(vga.camera.OpenDevice(0, false, 1280, 720));
    EXPECT_NE(vga.camera.lastError().find("does not deliver 1280x720"), std::string::npos)
        << vga.camera.lastError();
    EXPECT_EQ(vga.device->openDescriptors(), 0);
}

TEST(V4L2Replay, ExposureAndImageControlsOfRealControlSets) {
    ReplayRig rig({kC270, kVx1000});
    ASSERT_TRUE(rig.camera.OpenDevice(0, false, 640, 480));

    EXPECT_TRUE(rig.camera.SetExposure(-6, false));
    EXPECT_EQ(rig.device->controlValue(0, V4L2_CID_EXPOSURE_AUTO), V4L2_EXPOSURE_MANUAL);
    EXPECT_EQ(rig.device->controlValue(0, V4L2_CID_EXPOSURE_ABSOLUTE), 156);
    EXPECT_TRUE(rig.camera.SetExposure(0, true));
    EXPECT_EQ(rig.device->controlValue(0, V4L2_CID_EXPOSURE_AUTO), V4L2_EXPOSURE_APERTURE_PRIORITY);
    // The settings' defaults: this camera has no hue (not checked) and no gamma.
    EXPECT_FALSE(rig.camera.SetImageControls({0, 10, 0, 0, 4, 130, 1, 0}));
    EXPECT_EQ(rig.sink.messages(), std::vector<std::string>{"Set Gamma Param Failed"});
    EXPECT_EQ(rig.device->controlValue(0, V4L2_CID_SHARPNESS), 4);

    const auto controls = rig.backend->controls();
    const auto mode = std::find_if(controls.begin(), controls.end(),
                                   [](const auto& c) { return c.id == V4L2_CID_EXPOSURE_AUTO; });
    ASSERT_NE(mode, controls.end());
    EXPECT_EQ(mode->type, tovik::ControlInfo::Type::Menu);
    EXPECT_EQ(mode->menuItems.size(), 2u);
    EXPECT_EQ(mode->menuItems[1], std::make_pair(3, std::string("Aperture Priority Mode")));

    rig.sink.clear();
    ASSERT_TRUE(rig.camera.OpenDevice(1, false, 640, 480));
    EXPECT_FALSE(rig.camera.SetExposure(-6, false));
    EXPECT_EQ(rig.sink.messages(), std::vector<std::string>{"QueryInterface Failed"});
}

TEST(V4L2Replay, AbsurdControlRangesAreBoundedOrLeftOut) {
    ReplayRig rig({"synthetic-absurd-ranges.txt"});
    ASSERT_TRUE(rig.camera.OpenDevice(0, false, 640, 480));

    const auto controls = rig.backend->controls();

    EXPECT_LE(rig.device->calls(VIDIOC_QUERYMENU), 2 * 256);
    std::vector<std::string> names;
    for (const auto& c : controls) {
        names.push_back(c.name);
    }
    // Contrast's range is upside down; the broken menu has no entries.
    EXPECT_EQ(names, (std::vector<std::string>{"Brightness", "Power Line Frequency"}));
    EXPECT_EQ(controls[0].step, 1);
    EXPECT_EQ(controls[0].defaultValue, 255);
    EXPECT_EQ(controls[1].menuItems.size(), 2u);
}

TEST(V4L2Replay, BusyAndForbiddenDevicesFailWithAReason) {
    ReplayRig rig({kC922, kC270});
    rig.device->setBusy(0, true);
    rig.device->setOpenError(1, EACCES);

    const auto devices = rig.camera.Devices();
    const bool busyOpened = rig.camera.OpenDevice(0, false, 640, 480);
    const std::string busy = rig.camera.lastError();
    const bool forbiddenOpened = rig.camera.OpenDevice(1, false, 640, 480);
    const std::string forbidden = rig.camera.lastError();

    EXPECT_FALSE(busyOpened);
    EXPECT_NE(busy.find("C922 Pro Stream Webcam (/dev/video0) is busy: another program"),
              std::string::npos)
        << busy;
    EXPECT_FALSE(forbiddenOpened);
    EXPECT_NE(forbidden.find("permission denied for /dev/video1"), std::string::npos) << forbidden;
    EXPECT_NE(forbidden.find("'video' group"), std::string::npos) << forbidden;
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_TRUE(devices[0].problem.empty());
    EXPECT_EQ(devices[1].problem, forbidden);
    std::ostringstream out;
    tovik::ListCameras(out, rig.camera);
    EXPECT_NE(out.str().find("1\t/dev/video1\t\t" + forbidden), std::string::npos) << out.str();
    EXPECT_EQ(rig.device->openDescriptors(), 0);
}

TEST(V4L2Replay, UnpluggedCameraIsReportedAndResumesWhenItReturns) {
    ReplayRig rig({kC922});
    ASSERT_TRUE(rig.camera.OpenDevice(0, false, 640, 480));
    ASSERT_TRUE(rig.camera.SetExposure(-6, false));
    ASSERT_NE(rig.camera.GrabFrame(), nullptr);

    rig.device->unplug(0);
    const bool grabbedGone = rig.camera.GrabFrame() != nullptr;
    const bool lost = rig.backend->deviceLost();
    const bool stillAbsent = rig.camera.GrabFrame() != nullptr;
    // It comes back under another node number, with its defaults.
    rig.device->plug(3, loadFixture(kC922));
    std::this_thread::sleep_for(tovik::V4L2Backend::kReconnectPeriod +
                                std::chrono::milliseconds(50));
    const cv::Mat* back = rig.camera.GrabFrame();

    EXPECT_FALSE(grabbedGone);
    EXPECT_TRUE(lost);
    EXPECT_FALSE(stillAbsent);
    EXPECT_TRUE(rig.camera.connected());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->size(), cv::Size(640, 480));
    EXPECT_FALSE(rig.backend->deviceLost());
    // The tracking exposure is set again on the returned device.
    EXPECT_EQ(rig.device->controlValue(3, V4L2_CID_EXPOSURE_AUTO), V4L2_EXPOSURE_MANUAL);
    EXPECT_EQ(rig.device->controlValue(3, V4L2_CID_EXPOSURE_ABSOLUTE), 156);

    rig.camera.CloseDevice();
    EXPECT_EQ(rig.device->openDescriptors(), 0);
}

// The detection thread grabs, and reconnects after an unplug, while the
// console sets the exposure; also run under ThreadSanitizer (tsan preset).
TEST(V4L2Replay, ExposureSetDuringUnplugAndReconnectIsSafeAndStaysOnTheDevice) {
    ReplayRig rig({kC922});
    ASSERT_TRUE(rig.camera.OpenDevice(0, false, 640, 480));
    std::atomic<bool> stop{false};
    std::atomic<int> frames{0};
    std::thread detection([&] {
        for (cv::Mat frame; !stop.load();) {
            frames += rig.backend->grab(frame, std::chrono::milliseconds(2)) ? 1 : 0;
        }
    });
    const auto setExposureUntil = [&](auto done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!done() && std::chrono::steady_clock::now() < end) {
            (void)rig.camera.SetExposure(-6, false);
        }
        return done();
    };

    for (int round = 0; round < 2; ++round) {
        rig.device->unplug(0);
        EXPECT_TRUE(setExposureUntil([&] { return rig.backend->deviceLost(); }));
        rig.device->plug(0, loadFixture(kC922));  // at its defaults
        EXPECT_TRUE(setExposureUntil([&] { return !rig.backend->deviceLost(); }));
    }
    const int before = frames.load();
    EXPECT_TRUE(setExposureUntil([&] { return frames.load() > before + 2; }));
    stop = true;
    detection.join();

    EXPECT_EQ(rig.device->controlValue(0, V4L2_CID_EXPOSURE_ABSOLUTE), 156);
    EXPECT_EQ(rig.device->openDescriptors(), 1);
}

}  // namespace
