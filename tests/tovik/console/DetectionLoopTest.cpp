// The detection thread: status published, pause at a safe point, a fresh
// calibration on resume, and stopping while the camera delivers nothing.
#include <gtest/gtest.h>

#include <pthread.h>
#include <algorithm>
#include <array>
#include <chrono>
#include <mutex>
#include <thread>

#include "FakeCaptureBackend.h"
#include "tests/support/Wait.h"
#include "tovik/tracking/DetectionLoop.h"

namespace tovik {
namespace {

using namespace std::chrono_literals;

// Real time, but every sleep request is remembered (and cut to 1 ms).
class RecordingClock final : public common::Clock {
public:
    time_point now() const override { return std::chrono::steady_clock::now(); }
    void sleepFor(std::chrono::milliseconds ms) override {
        {
            std::lock_guard lock(mutex_);
            sleeps_.push_back(static_cast<int>(ms.count()));
        }
        std::this_thread::sleep_for(1ms);
    }
    std::vector<int> sleeps() const {
        std::lock_guard lock(mutex_);
        return sleeps_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<int> sleeps_;
};

using tktest::waitUntil;

class DetectionLoopTest : public ::testing::Test {
protected:
    DetectionLoopTest() {
        settings.Amp = 100;
        settings.AutoTh = 0;
        settings.Area = 5;
        settings.AreaUp = 1000;
        settings.Move = 0;
        settings.F13Trig = 0;
        settings.MouseLeft = 1;
        settings.SamplingInterval = 3;
        calibration.background = cv::Mat(480, 640, CV_8UC3, cv::Scalar::all(40));
        calibration.window = {0, 640, 0, 480};
        // Camera 640x480 onto a 1280x960 screen.
        calibration.homography = cv::Matx33f(2, 0, 0, 0, 2, 0, 0, 0, 1);
        calibration.target = screen;
        camera.open(0, {640, 480});
    }

    // A loop over the fixture's camera, settings and calibration, started.
    std::unique_ptr<DetectionLoop> startLoop(std::chrono::milliseconds grabTimeout = 50ms) {
        auto grab = [this](cv::Mat& f, std::chrono::milliseconds t) {
            pthread_getname_np(pthread_self(), grabbingThread.data(), grabbingThread.size());
            return camera.grab(f, t);
        };
        auto snapshot = [this] {
            std::lock_guard lock(calibrationMutex);
            return calibration;
        };
        DetectionLoop::Services s{grab, settings, snapshot, keys, injector, clock, status, display};
        auto loop = std::make_unique<DetectionLoop>(std::move(s), grabTimeout);
        loop->start();
        return loop;
    }

    bool hasPress() const {
        return std::ranges::any_of(injector.events(), [](const auto& e) {
            return (e.flags & common::MouseFlags::LeftDown) != 0;
        });
    }

    // Frames of a flat grey screen, with a bright disc while the pen is lit.
    testing::FakeCaptureBackend camera;
    std::array<char, 16> grabbingThread{};  // as top -H shows it
    TrackingSettings settings;
    std::mutex calibrationMutex;
    TrackingCalibration calibration;
    common::ScriptedKeyState keys;
    common::RecordingInjector injector;
    RecordingClock clock;
    // A projector right of a 1024-wide primary monitor.
    common::ScreenRect screen{1024, 0, 1280, 960};
    DetectionStatus status;
    FrameSlot display;
};

TEST_F(DetectionLoopTest, SpotFramesPublishStatusAndPressTheButton) {
    camera.setSpot(true);

    auto loop = startLoop();
    ASSERT_TRUE(waitUntil([&] { return status.read().frames >= 3 && hasPress(); }));
    loop->stop();

    const DetectionStatus::Values v = status.read();
    EXPECT_EQ(v.button, DetectionStatus::Button::Down);
    EXPECT_GT(v.spotCount, 5);
    ASSERT_TRUE(v.hasPosition);
    EXPECT_EQ(v.x, 640);  // centroid 320 mapped by 2
    EXPECT_EQ(v.yFromBottom, 960 - 480);
    EXPECT_TRUE(loop->finished());
    EXPECT_STREQ(grabbingThread.data(), "tovik-detect");
    // The injector spans the target monitor the mapper scaled to.
    EXPECT_EQ(injector.targetArea(), screen);
}

TEST_F(DetectionLoopTest, PenLeavingReleasesTheButton) {
    camera.setSpot(true);
    auto loop = startLoop();
    ASSERT_TRUE(waitUntil([&] { return status.read().button == DetectionStatus::Button::Down; }));

    camera.setSpot(false);

    ASSERT_TRUE(waitUntil([&] { return status.read().button == DetectionStatus::Button::Up; }));
    loop->stop();
    const auto events = injector.events();
    ASSERT_FALSE(events.empty());
    EXPECT_TRUE(events.back().flags & common::MouseFlags::LeftUp);
}

TEST_F(DetectionLoopTest, PauseParksBetweenFramesAndResumeGoesOn) {
    auto loop = startLoop();
    ASSERT_TRUE(waitUntil([&] { return status.read().frames >= 2; }));

    ASSERT_TRUE(loop->pause());
    EXPECT_TRUE(loop->parked());
    const auto framesParked = status.read().frames;
    const int grabsParked = camera.grabs.load();
    std::this_thread::sleep_for(60ms);

    // Parked: no grab and no frame while paused.
    EXPECT_EQ(status.read().frames, framesParked);
    EXPECT_EQ(camera.grabs.load(), grabsParked);

    loop->resume();
    EXPECT_TRUE(waitUntil([&] { return status.read().frames >= framesParked + 3; }));
    EXPECT_FALSE(loop->parked());
}

TEST_F(DetectionLoopTest, PauseWithThePenDownLeavesTheButtonPressed) {
    camera.setSpot(true);
    auto loop = startLoop();
    ASSERT_TRUE(waitUntil([&] { return hasPress(); }));

    ASSERT_TRUE(loop->pause());
    camera.setSpot(false);
    std::this_thread::sleep_for(40ms);

    for (const auto& e : injector.events()) {
        EXPECT_FALSE(e.flags & common::MouseFlags::LeftUp);
    }
    loop->resume();
    EXPECT_TRUE(waitUntil([&] { return status.read().button == DetectionStatus::Button::Up; }));
}

TEST_F(DetectionLoopTest, ResumeTakesTheCalibrationReplacedWhileParked) {
    calibration.window = {};  // nothing scanned: no spot
    camera.setSpot(true);
    auto loop = startLoop();
    ASSERT_TRUE(waitUntil([&] { return status.read().frames >= 3; }));
    EXPECT_FALSE(hasPress());
    ASSERT_TRUE(loop->pause());

    {
        std::lock_guard lock(calibrationMutex);
        calibration.window = {0, 640, 0, 480};
    }
    loop->resume();

    EXPECT_TRUE(waitUntil([&] { return hasPress(); }));
}

TEST_F(DetectionLoopTest, StopEndsTheThreadWhileTheCameraDeliversNothing) {
    camera.delivering = false;
    auto loop = startLoop(200ms);
    ASSERT_TRUE(waitUntil([&] { return camera.grabs.load() >= 2; }));

    loop->stop();

    EXPECT_TRUE(loop->finished());
    EXPECT_FALSE(loop->started());
    EXPECT_EQ(status.read().frames, 0u);  // a missing frame is not counted
}

TEST_F(DetectionLoopTest, PauseParksEvenWhenNoFramesCome) {
    camera.delivering = false;
    auto loop = startLoop(100ms);
    ASSERT_TRUE(waitUntil([&] { return camera.grabs.load() >= 1; }));

    EXPECT_TRUE(loop->pause());

    loop->stop();  // stopping a parked loop
    EXPECT_TRUE(loop->finished());
}

TEST_F(DetectionLoopTest, TheSleepFollowsTheIntervalFromTheNextFrameOn) {
    settings.SamplingInterval = 7;
    auto loop = startLoop();
    ASSERT_TRUE(waitUntil([&] { return clock.sleeps().size() >= 2; }));

    settings.SamplingInterval = 45;
    const size_t before = clock.sleeps().size();
    ASSERT_TRUE(waitUntil([&] { return clock.sleeps().size() >= before + 3; }));
    loop->stop();

    const auto sleeps = clock.sleeps();
    EXPECT_EQ(sleeps.front(), 7);
    EXPECT_EQ(sleeps.back(), 45);
}

TEST_F(DetectionLoopTest, ShownPictureCarriesTheSpotMarker) {
    camera.setSpot(true);
    auto loop = startLoop();
    ASSERT_TRUE(waitUntil([&] { return status.read().frames >= 2; }));
    EXPECT_EQ(display.published(), 0u);  // nothing offered while the picture is off

    loop->setShowPicture(true);
    cv::Mat shown;
    std::uint64_t seen = 0;
    ASSERT_TRUE(waitUntil([&] { return display.takeIfNewer(shown, seen); }));
    loop->stop();

    ASSERT_EQ(shown.size(), cv::Size(640, 480));
    // The circle of radius 15 around the centroid; the screen is 40 there.
    EXPECT_EQ(shown.at<cv::Vec3b>(240, 320 + 15), cv::Vec3b(255, 255, 255));
    EXPECT_EQ(shown.at<cv::Vec3b>(240, 320 + 25), cv::Vec3b(40, 40, 40));
}

TEST_F(DetectionLoopTest, WithF13GatingAnUnpressedKeyIgnoresTheSpot) {
    settings.F13Trig = 1;
    camera.setSpot(true);
    auto loop = startLoop();
    ASSERT_TRUE(waitUntil([&] { return status.read().frames >= 5; }));
    EXPECT_FALSE(hasPress());
    EXPECT_EQ(status.read().spotCount, 0);

    keys.setDown(common::VK_F13_KEY, true);

    EXPECT_TRUE(waitUntil([&] { return hasPress(); }));
}

TEST(FrameSlotTest, TakesOnlyNewerFrames) {
    FrameSlot slot;
    cv::Mat out;
    std::uint64_t seen = 0;
    EXPECT_FALSE(slot.takeIfNewer(out, seen));

    ASSERT_TRUE(slot.publish(cv::Mat(4, 4, CV_8UC3, cv::Scalar::all(9))));
    ASSERT_TRUE(slot.takeIfNewer(out, seen));
    EXPECT_EQ(out.at<cv::Vec3b>(0, 0), cv::Vec3b(9, 9, 9));
    EXPECT_FALSE(slot.takeIfNewer(out, seen));

    ASSERT_TRUE(slot.publish(cv::Mat(4, 4, CV_8UC3, cv::Scalar::all(7))));
    EXPECT_TRUE(slot.takeIfNewer(out, seen));
    EXPECT_EQ(out.at<cv::Vec3b>(0, 0), cv::Vec3b(7, 7, 7));
}

}  // namespace
}  // namespace tovik
