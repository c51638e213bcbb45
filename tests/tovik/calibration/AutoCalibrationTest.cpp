#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "CalibrationRig.h"

namespace tktest {
namespace {

using tovik::CalibrationOutcome;
using tovik::Calibrator;

class AutoCalibrationPose : public ::testing::TestWithParam<const char*> {};

TEST_P(AutoCalibrationPose, RecoversTheScreenMappingToWithinOnePixel) {
    CalibrationRig rig({.pose = GetParam()});
    ASSERT_TRUE(rig.opened);
    const auto started = rig.clock.now();

    const CalibrationOutcome outcome = rig.calibrator->OnAutoCalibrate();

    ASSERT_EQ(outcome, CalibrationOutcome::Completed);
    const auto [mean, worst] = rig.screenError();
    EXPECT_LT(mean, 1.0) << GetParam();
    EXPECT_LT(worst, 3.0) << GetParam();
    EXPECT_EQ(rig.state.Calibrated, 1);
    // Found at the first attempt: the 500 ms before the background, the
    // 1000 ms before the grab and the 500 ms of the check points are the only
    // waits.
    EXPECT_EQ(rig.canvas.texts(), Strings{"0"});
    EXPECT_EQ(rig.clock.now() - started, std::chrono::milliseconds(2000));
    // The check points, found in the camera image, confirm the mapping.
    ASSERT_TRUE(rig.host.report.checkedError.has_value());
    EXPECT_LT(*rig.host.report.checkedError, 2.0);
    // The report measures the fit of the 35 corners.
    ASSERT_TRUE(rig.calibrator->lastReport().has_value());
    EXPECT_EQ(rig.host.report.points, 35);
    EXPECT_LT(rig.host.report.meanError, 1.0);
    EXPECT_GE(rig.host.report.maxError, rig.host.report.meanError);
    // The detection window is the bounding box of the screen's camera image.
    std::vector<cv::Point2f> quad;
    for (const cv::Point2d s :
         {cv::Point2d(1, 1), cv::Point2d(1023, 1), cv::Point2d(1023, 767), cv::Point2d(1, 767)}) {
        quad.push_back(cv::Point2f(rig.cameraOf(s)));
    }
    const cv::Rect box = cv::boundingRect(quad);
    const tovik::DetectionWindow& w = rig.state.Window;
    EXPECT_NEAR(w.left, box.x, 3);
    EXPECT_NEAR(w.top, box.y, 3);
    EXPECT_NEAR(w.right, box.x + box.width, 3);
    EXPECT_NEAR(w.bottom, box.y + box.height, 3);
}

INSTANTIATE_TEST_SUITE_P(Poses, AutoCalibrationPose,
                         ::testing::Values("upright", "mirrored", "upside-down", "rotated",
                                           "keystone"),
                         [](const auto& param) {
                             std::string name = param.param;
                             std::erase(name, '-');
                             return name;
                         });

// Through a cheap webcam's lens (blur, noise, distortion, room light), with
// the accuracy options on, at every mounting and at an arbitrary angle.
TEST(AutoCalibration, WebcamOpticsAtEveryMountingFindsTheOrientation) {
    for (const char* pose : {"keystone", "upright", "mirrored", "upside-down", "rotated",
                             "h:-0.63147,0.17238,0.72955,-0.30645,-0.63147,0.96896,0,0,1"}) {
        CalibrationRig rig({.pose = pose, .webcam = true});
        rig.settings.LensCorrection = 1;
        rig.settings.SubPixelSpot = 1;
        ASSERT_EQ(rig.calibrator->OnAutoCalibrate(), CalibrationOutcome::Completed)
            << pose << " refused: " << static_cast<int>(rig.calibrator->lastFault());
        const auto [mean, worst] = rig.screenError();
        EXPECT_LT(mean, 1.0) << pose;
        EXPECT_LT(worst, 3.0) << pose;
    }
}

// Pairings made wrong behind the picture's back, and a camera that sees only
// part of the screen, are refused; the calibration in use (or none) stays.
TEST(AutoCalibration, ABadCalibrationIsRefusedAndThePreviousOneStays) {
    using Points = std::vector<cv::Point2f>;
    using tovik::CalibrationFault;
    CalibrationRig rig;
    ASSERT_EQ(rig.calibrator->OnAutoCalibrate(), CalibrationOutcome::Completed);
    const cv::Matx33f good = rig.state.Homography;
    const tovik::DetectionWindow window = rig.state.Window;
    const std::vector<std::pair<Calibrator::PointSeam, CalibrationFault>> cases{
        {[](Points&, Points& s) { std::reverse(s.begin(), s.end()); },
         CalibrationFault::WrongOrientation},
        {[](Points&, Points& s) { std::swap_ranges(s.begin(), s.begin() + 7, s.begin() + 7); },
         CalibrationFault::PoorFit},
        {[](Points& c, Points&) { c[17] += cv::Point2f(16, 0); }, CalibrationFault::PoorFit}};
    for (const auto& [seam, fault] : cases) {
        rig.host.calls.clear();
        rig.calibrator->setPointSeam(seam);
        EXPECT_EQ(rig.calibrator->OnAutoCalibrate(), CalibrationOutcome::Refused);
        EXPECT_EQ(rig.host.refusal, fault);
        EXPECT_EQ(rig.host.calls,
                  (Strings{"StopPreview", "ShowAutoThreshold", "StartPreview", "Refused"}));
        EXPECT_EQ(rig.state.Homography, good);
        EXPECT_EQ(rig.state.Window, window);
    }
    // The screen's corners just beyond the frame, the board inside it.
    CalibrationRig partial({.pose = "h:1.06,0,-0.03,0,1.06,-0.03,0,0,1"});
    EXPECT_EQ(partial.calibrator->OnAutoCalibrate(), CalibrationOutcome::Refused);
    EXPECT_EQ(partial.host.refusal, CalibrationFault::ScreenNotInView);
    EXPECT_EQ(partial.state.Calibrated, 0);
    EXPECT_EQ(partial.host.count("OnRun") + partial.host.count("CountDown5"), 0);
}

TEST(AutoCalibration, EscSkipsTheCheckPointsAtOnce) {
    CalibrationRig rig;
    rig.otherKeys->setDown(common::VK_ESCAPE_KEY, true);
    const auto started = rig.clock.now();

    ASSERT_EQ(rig.calibrator->OnAutoCalibrate(), CalibrationOutcome::Completed);

    EXPECT_FALSE(rig.host.report.checkedError.has_value());
    EXPECT_EQ(rig.clock.now() - started, std::chrono::milliseconds(1550));
    EXPECT_EQ(rig.host.count("OnRun"), 1);
}

TEST(AutoCalibration, RunsTheStepsInOrderAndEndsInTracking) {
    CalibrationRig rig;
    rig.settings.RunExpoTime = -9;

    ASSERT_EQ(rig.calibrator->OnAutoCalibrate(), CalibrationOutcome::Completed);

    EXPECT_EQ(rig.host.calls, (Strings{"StopPreview", "ShowAutoThreshold", "Report", "StartPreview",
                                       "CountDown5", "OnRun"}));
    EXPECT_EQ(rig.exposure.requests, (Strings{"-9", "auto"}));
    EXPECT_EQ(rig.cursor.changes, (std::vector<bool>{false, true}));
    EXPECT_EQ(rig.canvas.showCount(), 1);
    EXPECT_FALSE(rig.canvas.shown());
    // Two discarded grabs, the background, the board, the check points.
    EXPECT_EQ(rig.grabber.grabs, 5);
    // The background is the white window at the tracking exposure.
    ASSERT_FALSE(rig.state.BackgroundFrame.empty());
    EXPECT_EQ(rig.state.AutoThreshold, tovik::ComputeAutoThreshold(rig.state.BackgroundFrame));
    EXPECT_EQ(rig.host.shownThreshold, rig.state.AutoThreshold);
    EXPECT_TRUE(rig.fileExists("Gg.bmp"));
    EXPECT_FALSE(rig.fileExists("HomographyMat.txt"));
    // The exposure of the successful attempt stays.
    EXPECT_TRUE(rig.sim->exposureAutomatic());
}

TEST(AutoCalibration, PausedTrackingResumesAndADeclinedCountDownLeavesItAlone) {
    CalibrationRig paused;
    paused.host.threadStarted = true;
    CalibrationRig later;
    later.host.countDownAccepts = false;

    ASSERT_EQ(paused.calibrator->OnAutoCalibrate(), CalibrationOutcome::Completed);
    ASSERT_EQ(later.calibrator->OnAutoCalibrate(), CalibrationOutcome::Completed);

    EXPECT_EQ(paused.host.count("OnPause"), 1);
    EXPECT_EQ(paused.host.count("OnRun"), 0);
    EXPECT_EQ(later.host.count("OnPause") + later.host.count("OnRun"), 0);
    EXPECT_EQ(later.state.Calibrated, 1);
}

// A projector in a bright room: black shows as grey 200. With the camera's
// gain up, every exposure but the darkest saturates both colours.
cv::Mat washedOut(const cv::Mat& picture) {
    cv::Mat out;
    picture.convertTo(out, CV_8U, 55.0 / 255.0, 200.0);
    return out;
}

TEST(AutoCalibration, BoardVisibleOnlyAtTheDarkestExposureStillCompletes) {
    CalibrationRig rig({.projector = washedOut});
    ASSERT_TRUE(rig.sim->setImageControl(tovik::ImageControl::Gain, 100));
    rig.params.SmoothWndLen = 3;

    ASSERT_EQ(rig.calibrator->OnAutoCalibrate(), CalibrationOutcome::Completed);

    EXPECT_EQ(rig.canvas.texts(), (Strings{"0", "-1", "-2", "-3", "-4", "-5", "-6"}));
    EXPECT_EQ(rig.exposure.requests, (Strings{"-6", "auto", "-1", "-2", "-3", "-4", "-5", "-6"}));
    EXPECT_EQ(rig.paramReads, 7);  // the smoothing window is read at each attempt
    EXPECT_EQ(rig.sim->exposureValue(), -6);
    EXPECT_LT(rig.screenError().first, 1.0);
    EXPECT_EQ(rig.host.count("OnRun"), 1);
}

TEST(AutoCalibration, BoardNeverFoundHandsOverToTheManualCalibration) {
    CalibrationRig rig({.pen = true});
    // The projector shows nothing of the board (black in its top-left
    // square): a blank white screen.
    rig.projector = [](const cv::Mat& picture) {
        return picture.at<cv::Vec3b>(100, 100)[0] == 0
                   ? cv::Mat(picture.size(), CV_8UC3, cv::Scalar::all(255))
                   : picture;
    };
    const auto started = rig.clock.now();

    ASSERT_EQ(rig.calibrator->OnAutoCalibrate(), CalibrationOutcome::Completed);

    const std::vector<std::string> texts = rig.canvas.texts();
    ASSERT_EQ(texts.size(), 8u);
    EXPECT_EQ(texts[6], "-6");
    EXPECT_EQ(texts[7], "手动标定：请用交互笔点击屏幕上的红点。退出请按Esc键");
    EXPECT_EQ(rig.canvas.showCount(), 2);  // the manual calibration opens its own window
    EXPECT_EQ(rig.cursor.changes, (std::vector<bool>{false, true}));
    EXPECT_EQ(rig.dotsTouched.size(), 9u);
    EXPECT_TRUE(rig.fileExists("HomographyMat.txt"));
    EXPECT_EQ(rig.host.report.kind, tovik::CalibrationReport::Kind::Manual);
    EXPECT_EQ(rig.host.count("CountDown5"), 1);
    // 500 + 7 x 1000 of the board, 200 + 200 of the manual start, 500 of the
    // check points.
    EXPECT_EQ(rig.clock.now() - started, std::chrono::milliseconds(8400));
}

TEST(AutoCalibration, SmoothingWindowReachesTheBoxFilter) {
    // A window wider than the board's squares blurs the board away at every
    // exposure: the search fails and the manual calibration takes over.
    CalibrationRig rig({.pen = true});
    rig.params.SmoothWndLen = 151;

    ASSERT_EQ(rig.calibrator->OnAutoCalibrate(), CalibrationOutcome::Completed);

    EXPECT_EQ(rig.host.report.kind, tovik::CalibrationReport::Kind::Manual);
    EXPECT_EQ(rig.canvas.texts().size(), 8u);
}

TEST(AutoCalibration, CameraWithoutExposureControlReportsAndGoesOn) {
    CalibrationRig rig({.missing = {"exposure"}});
    ASSERT_TRUE(rig.opened);

    ASSERT_EQ(rig.calibrator->OnAutoCalibrate(), CalibrationOutcome::Completed);

    const auto messages = rig.messages.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], "QueryInterface Failed");
    EXPECT_LT(rig.screenError().first, 1.0);
}

}  // namespace
}  // namespace tktest
