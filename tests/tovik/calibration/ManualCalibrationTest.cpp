#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "CalibrationRig.h"

namespace tktest {
namespace {

using tovik::CalibrationOutcome;

std::string touchName(int i, int j) {
    return "calibTouch" + std::to_string(i) + std::to_string(j) + ".bmp";
}

TEST(ManualCalibration, PenOnTheNineDotsGivesAMappingWithinTwoPixels) {
    for (const char* pose : {"keystone", "mirrored", "rotated"}) {
        CalibrationRig rig({.pose = pose, .pen = true});

        ASSERT_EQ(rig.calibrator->OnManualCalibrate(), CalibrationOutcome::Completed) << pose;

        EXPECT_LT(rig.screenError().first, 2.0) << pose;
        EXPECT_EQ(rig.dotsTouched.size(), 9u);
        EXPECT_EQ(rig.host.report.points, 9);
        EXPECT_LT(rig.host.report.maxError, 2.0);
    }
}

// Touches at one place twice, out of order, or turned half round (a fit that
// only the check points can catch), and a camera seeing part of the screen.
TEST(ManualCalibration, ABadCalibrationIsRefusedAndThePreviousOneStays) {
    using Points = std::vector<cv::Point2f>;
    using tovik::CalibrationFault;
    CalibrationRig rig({.pen = true});
    ASSERT_EQ(rig.calibrator->OnManualCalibrate(), CalibrationOutcome::Completed);
    const cv::Matx33f good = rig.state.Homography;
    const tovik::DetectionWindow window = rig.state.Window;
    const std::vector<std::pair<tovik::Calibrator::PointSeam, CalibrationFault>> cases{
        {[](Points& c, Points&) { c[4] = c[3] + cv::Point2f(1, 1); },
         CalibrationFault::DotTouchedTwice},
        {[](Points& c, Points&) { std::swap(c[1], c[3]); }, CalibrationFault::DotOrder},
        {[](Points& c, Points&) { std::reverse(c.begin(), c.end()); },
         CalibrationFault::CheckPointsOff}};
    for (const auto& [seam, fault] : cases) {
        rig.host.calls.clear();
        rig.calibrator->setPointSeam(seam);
        EXPECT_EQ(rig.calibrator->OnManualCalibrate(), CalibrationOutcome::Refused);
        EXPECT_EQ(rig.host.refusal, fault);
        EXPECT_EQ(rig.host.count("CountDown5"), 0);
        EXPECT_EQ(rig.state.Homography, good);
        EXPECT_EQ(rig.state.Window, window);
        EXPECT_EQ(rig.settings.Amp, 77);
        EXPECT_FALSE(rig.canvas.shown());
    }
    CalibrationRig partial({.pose = "h:1.06,0,-0.03,0,1.06,-0.03,0,0,1", .pen = true});
    EXPECT_EQ(partial.calibrator->OnManualCalibrate(), CalibrationOutcome::Refused);
    EXPECT_EQ(partial.host.refusal, CalibrationFault::ScreenNotInView);
    EXPECT_EQ(partial.state.Calibrated, 0);
}

TEST(ManualCalibration, RunsTheStepsInOrderAndLeavesItsFiles) {
    CalibrationRig rig({.pen = true});
    std::vector<int> ampSeen;
    std::vector<tovik::DetectionWindow> windowSeen;
    rig.beforeEachGrab([&] {
        ampSeen.push_back(rig.settings.Amp);
        windowSeen.push_back(rig.state.Window);
    });
    rig.params.ManCalibAmpThd = 200;
    const auto started = rig.clock.now();

    ASSERT_EQ(rig.calibrator->OnManualCalibrate(), CalibrationOutcome::Completed);

    EXPECT_EQ(rig.host.calls, (Strings{"StopPreview", "ShowAutoThreshold", "Report", "StartPreview",
                                       "CountDown5", "OnRun"}));
    EXPECT_EQ(rig.exposure.requests, Strings{"-6"});
    EXPECT_TRUE(rig.cursor.changes.empty());  // the cursor stays visible
    EXPECT_EQ(rig.settings.Amp, 77);
    ASSERT_GT(ampSeen.size(), 20u);
    EXPECT_EQ(ampSeen[1], 200);
    EXPECT_EQ(windowSeen[1], (tovik::DetectionWindow{0, 640, 0, 480}));
    EXPECT_NE(rig.state.Window, (tovik::DetectionWindow{0, 640, 0, 480}));
    // Only the two 200 ms waits and the 500 ms of the check points: the
    // touch and lift waits poll without pause.
    EXPECT_EQ(rig.clock.now() - started, std::chrono::milliseconds(900));
    EXPECT_EQ(rig.state.Calibrated, 1);
    EXPECT_FALSE(rig.canvas.shown());

    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            const cv::Mat touch = cv::imread(rig.dir.file(touchName(i, j)));
            ASSERT_FALSE(touch.empty()) << touchName(i, j);
            // A difference image: a bright spot on black.
            double peak = 0;
            cv::minMaxLoc(touch.reshape(1), nullptr, &peak);
            EXPECT_GT(peak, 200);
            EXPECT_LT(cv::mean(touch)[1], 5.0);
        }
    }
    const cv::Mat picture = cv::imread(rig.dir.file("ManCalib.bmp"));
    ASSERT_EQ(picture.size(), cv::Size(640, 480));
    const tovik::DetectionWindow& w = rig.state.Window;
    EXPECT_EQ(picture.at<cv::Vec3b>(w.top, (w.left + w.right) / 2), cv::Vec3b(0, 0, 255));
    const cv::Point2d firstDot = rig.cameraOf({58, 58});
    EXPECT_EQ(picture.at<cv::Vec3b>(int(firstDot.y), int(firstDot.x) + 10),
              cv::Vec3b(255, 255, 255));
    const std::string yaml = readBytes(rig.dir.file("HomographyMat.txt"));
    EXPECT_NE(yaml.find("HomographyMat: !!opencv-matrix"), std::string::npos);
    cv::FileStorage fs(rig.dir.file("HomographyMat.txt"), cv::FileStorage::READ);
    cv::Mat saved;
    fs["HomographyMat"] >> saved;
    ASSERT_EQ(saved.type(), CV_32F);
    EXPECT_EQ(cv::norm(saved, cv::Mat(rig.state.Homography), cv::NORM_INF), 0.0);
}

TEST(ManualCalibration, TouchesCountOnlyWhileF13IsDownUnlessF13TrigIsOff) {
    CalibrationRig gated;
    gated.touchDotsWithPen(/*pressF13=*/false);
    gated.escAtGrab(60);
    CalibrationRig ungated;
    ungated.settings.F13Trig = 0;
    ungated.touchDotsWithPen(/*pressF13=*/false);

    EXPECT_EQ(gated.calibrator->OnManualCalibrate(), CalibrationOutcome::Aborted);
    EXPECT_EQ(ungated.calibrator->OnManualCalibrate(), CalibrationOutcome::Completed);

    // The lit pen sat on the first dot for 60 frames without counting.
    EXPECT_GE(gated.grabber.grabs, 60);
    EXPECT_EQ(gated.canvas.lastDot()->colour, tovik::DotColour::Red);
    EXPECT_FALSE(gated.fileExists(touchName(0, 0)));
    EXPECT_EQ(gated.state.Calibrated, 0);
    EXPECT_LT(ungated.screenError().first, 2.0);
}

TEST(ManualCalibration, EscDuringTheFourthDotKeepsTheFirstRowAndChangesNothingElse) {
    CalibrationRig rig({.pen = true});
    auto pen = rig.grabber.beforeGrab;
    rig.grabber.beforeGrab = [&] {
        const auto dot = rig.canvas.lastDot();
        if (dot && dot->centre == cv::Point(58, 384)) {
            rig.otherKeys->tap(common::VK_ESCAPE_KEY);
            return;  // the pen never reaches the fourth dot
        }
        pen();
    };
    const cv::Matx33f before(3, 0, 1, 0, 3, 2, 0, 0, 1);
    rig.state.Homography = before;

    ASSERT_EQ(rig.calibrator->OnManualCalibrate(), CalibrationOutcome::Aborted);

    EXPECT_TRUE(rig.fileExists(touchName(0, 0)));
    EXPECT_TRUE(rig.fileExists(touchName(0, 1)));
    EXPECT_TRUE(rig.fileExists(touchName(0, 2)));
    EXPECT_FALSE(rig.fileExists(touchName(1, 0)));
    EXPECT_FALSE(rig.fileExists("HomographyMat.txt"));
    EXPECT_FALSE(rig.fileExists("ManCalib.bmp"));
    EXPECT_TRUE(rig.fileExists("Gg.bmp"));
    EXPECT_EQ(rig.state.Calibrated, 0);
    EXPECT_EQ(rig.state.Homography, before);
    EXPECT_EQ(rig.state.Window, (tovik::DetectionWindow{0, 640, 0, 480}));
    EXPECT_EQ(rig.settings.Amp, 77);
    EXPECT_FALSE(rig.canvas.shown());
    EXPECT_EQ(rig.host.calls, (Strings{"StopPreview", "ShowAutoThreshold", "StartPreview"}));
}

TEST(ManualCalibration, EscPressedBeforeTheDotsAppearDoesNotAbort) {
    CalibrationRig rig({.pen = true});
    rig.otherKeys->tap(common::VK_ESCAPE_KEY);

    EXPECT_EQ(rig.calibrator->OnManualCalibrate(), CalibrationOutcome::Completed);
}

TEST(ManualCalibration, ClosingTheWindowWithEscAbortsToo) {
    CalibrationRig rig({.pen = true});
    rig.beforeEachGrab([&] {
        if (rig.canvas.lastDot() && rig.canvas.lastDot()->centre == cv::Point(512, 58)) {
            rig.canvas.pressEscape();
        }
    });

    EXPECT_EQ(rig.calibrator->OnManualCalibrate(), CalibrationOutcome::Aborted);
    EXPECT_TRUE(rig.fileExists(touchName(0, 0)));
    EXPECT_FALSE(rig.fileExists(touchName(0, 1)));
    EXPECT_EQ(rig.settings.Amp, 77);
}

TEST(ManualCalibration, HeldPenOrHeldF13KeepsTheNextDotAwayUntilItLifts) {
    // The lit pen held on the dot, then the light gone but F13 still down.
    for (const bool dark : {false, true}) {
        SCOPED_TRACE(dark);
        CalibrationRig rig;
        rig.touchDotsWithPen(true, /*holdGrabs=*/25, dark);
        int greenGrabsOnFirst = 0;
        rig.beforeEachGrab([&] {
            const auto dot = rig.canvas.lastDot();
            if (dot && dot->centre == cv::Point(58, 58) && dot->colour == tovik::DotColour::Green) {
                ++greenGrabsOnFirst;
            }
        });

        ASSERT_EQ(rig.calibrator->OnManualCalibrate(), CalibrationOutcome::Completed);

        EXPECT_GE(greenGrabsOnFirst, 26);
        EXPECT_LT(rig.screenError().first, 2.0);
    }
}

TEST(ManualCalibration, TouchNeedsTheConfiguredNumberOfPixels) {
    // Without noise, the pen touching without F13 and F13Trig off.
    const auto rigNeeding = [](int area) {
        auto rig = std::make_unique<CalibrationRig>(RigOptions{.noise = 0});
        rig->settings.F13Trig = 0;
        rig->params.ManCalibAreaThd = area;
        rig->touchDotsWithPen(false);
        return rig;
    };
    // Measure how many pixels the pen's spot has.
    const auto probe = rigNeeding(tovik::CalibParams{}.ManCalibAreaThd);
    ASSERT_EQ(probe->calibrator->OnManualCalibrate(), CalibrationOutcome::Completed);
    cv::Mat grey;
    cv::cvtColor(cv::imread(probe->dir.file(touchName(0, 0))), grey, cv::COLOR_BGR2GRAY);
    const int spot = cv::countNonZero(grey >= 180);
    ASSERT_GT(spot, 20);

    const auto exact = rigNeeding(spot);
    const auto tooMany = rigNeeding(spot + 1);
    tooMany->escAtGrab(40);

    EXPECT_EQ(exact->calibrator->OnManualCalibrate(), CalibrationOutcome::Completed);
    EXPECT_EQ(tooMany->calibrator->OnManualCalibrate(), CalibrationOutcome::Aborted);
    EXPECT_FALSE(tooMany->fileExists(touchName(0, 0)));
}

TEST(ManualCalibration, AreaBelowOneStillWaitsForARealTouch) {
    CalibrationRig rig;
    rig.params.ManCalibAreaThd = 0;
    rig.escAtGrab(30);

    EXPECT_EQ(rig.calibrator->OnManualCalibrate(), CalibrationOutcome::Aborted);
    EXPECT_FALSE(rig.fileExists(touchName(0, 0)));
}

TEST(ManualCalibration, EscStillWorksWhenTheCameraStopsDelivering) {
    CalibrationRig rig;
    rig.beforeEachGrab([&] {
        if (rig.grabber.grabs == 4) {
            rig.sim->unplug();
        }
    });
    rig.escAtGrab(5);

    EXPECT_EQ(rig.calibrator->OnManualCalibrate(), CalibrationOutcome::Aborted);
    EXPECT_EQ(rig.grabber.grabs, 5);
}

// Grabs from a closed camera fail at once; the wait for a touch pauses
// between them rather than spinning until Esc.
TEST(ManualCalibration, WaitPausesBetweenGrabsThatBringNothing) {
    CalibrationRig rig;
    common::Clock::time_point at10;
    rig.grabber.beforeGrab = [&] {
        if (rig.grabber.grabs == 4) {
            rig.camera.CloseDevice();
        }
        if (rig.grabber.grabs == 10) {
            at10 = rig.clock.now();
        }
    };
    rig.escAtGrab(30);

    EXPECT_EQ(rig.calibrator->OnManualCalibrate(), CalibrationOutcome::Aborted);
    EXPECT_GE(rig.clock.now() - at10, std::chrono::milliseconds(20 * 5));
}

TEST(CaptureBackground, ReplacesTheBackgroundOnlyWhenAFrameComes) {
    CalibrationRig rig;

    ASSERT_TRUE(rig.calibrator->CaptureBackground());
    const cv::Mat first = rig.state.BackgroundFrame;
    rig.sim->unplug();
    EXPECT_FALSE(rig.calibrator->CaptureBackground());

    EXPECT_EQ(rig.state.BackgroundFrame.data, first.data);
    EXPECT_EQ(rig.host.count("ShowAutoThreshold"), 1);
    const cv::Mat saved = cv::imread(rig.dir.file("Gg.bmp"));
    ASSERT_EQ(saved.size(), first.size());
    EXPECT_EQ(cv::norm(saved, first, cv::NORM_INF), 0.0);
}

}  // namespace
}  // namespace tktest
