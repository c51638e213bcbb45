#include "tovik/calibration/Calibrator.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include <opencv2/calib3d.hpp>
#include <opencv2/imgproc.hpp>

#include "tovik/calibration/CalibrationGeometry.h"
#include "tovik/calibration/LensEstimate.h"
#include "tovik/tracking/HomographyMap.h"

namespace tovik {

namespace {

using std::chrono::milliseconds;

constexpr int kAttempts = 7;  // exposures 0 (automatic), -1 .. -6
constexpr int kCountDownSeconds = 5;
// How long the check points stay up before the camera's first look, how
// often Esc is read meanwhile, and how long the camera goes on looking while
// some mark is missing: a compositing window manager may drop the picture
// of the marks, which are then drawn again.
constexpr int kCheckWaitMs = 500;
constexpr int kCheckPollMs = 50;
constexpr int kCheckLookMs = 3000;
// String 159 of the console's table.
constexpr const char* kManualPrompt = "手动标定：请用交互笔点击屏幕上的红点。退出请按Esc键";

bool sameShape(const cv::Mat& a, const cv::Mat& b) {
    return !a.empty() && a.size() == b.size() && a.type() == b.type();
}

// Puts Amp back however the manual calibration ends.
class AmpRestore {
public:
    AmpRestore(SharedInt& amp, std::int32_t replacement) : amp_(amp), saved_(amp.get()) {
        amp_ = replacement;
    }
    ~AmpRestore() { restore(); }
    AmpRestore(const AmpRestore&) = delete;
    AmpRestore& operator=(const AmpRestore&) = delete;
    void restore() { amp_ = saved_; }

private:
    SharedInt& amp_;
    std::int32_t saved_;
};

// The corners where the board's outer squares meet the margin, found in the
// picture near where the inner corners and their lens put them. With them
// the lens is measured out to the board's edge rather than extrapolated
// there, which is where a wide-angle lens bends most.
void addBoardEdge(const cv::Mat& grey, BoardCell cell, cv::Size frame,
                  std::vector<cv::Point2f>& camera, std::vector<cv::Point2f>& screen) {
    const LensModel lens = EstimateLens(camera, screen, frame).value_or(LensModel{});
    cv::Mat toCamera;
    try {
        toCamera = cv::findHomography(screen, lens.undistort(camera), 0);
    } catch (const cv::Exception&) {
        return;
    }
    if (toCamera.rows != 3 || toCamera.cols != 3) {
        return;
    }
    const cv::Matx33d h(toCamera);
    std::vector<cv::Point2f> targets;
    std::vector<cv::Point2f> predicted;
    for (int r = -1; r <= 5; ++r) {
        for (int c = -1; c <= 7; ++c) {
            const bool edge = c == -1 || c == 7 || r == -1 || r == 5;
            // The top-right and bottom-left corners touch only white squares.
            const bool blank = (c == 7 && r == -1) || (c == -1 && r == 5);
            if (!edge || blank) {
                continue;
            }
            const cv::Point2f s = DrawnCornerPosition(c, r, cell);
            const cv::Vec3d p = h * cv::Vec3d(s.x, s.y, 1.0);
            targets.push_back(s);
            predicted.push_back(lens.distort(
                cv::Point2f(static_cast<float>(p[0] / p[2]), static_cast<float>(p[1] / p[2]))));
        }
    }
    const cv::Rect inside(6, 6, grey.cols - 12, grey.rows - 12);
    std::vector<cv::Point2f> refined;
    for (const cv::Point2f& p : predicted) {
        if (inside.contains(p)) {
            refined.push_back(p);
        }
    }
    if (refined.size() != predicted.size()) {
        return;  // part of the board's edge out of view: the inner corners only
    }
    try {
        cv::cornerSubPix(
            grey, refined, cv::Size(5, 5), cv::Size(-1, -1),
            cv::TermCriteria(cv::TermCriteria::EPS | cv::TermCriteria::COUNT, 30, 0.01));
    } catch (const cv::Exception&) {
        return;
    }
    for (size_t k = 0; k < refined.size(); ++k) {
        // A corner that wandered off is something else; it is left out.
        if (cv::norm(refined[k] - predicted[k]) < 2.0) {
            camera.push_back(refined[k]);
            screen.push_back(targets[k]);
        }
    }
}

}  // namespace

Calibrator::Calibrator(CalibrationServices services, TrackingSettings& settings,
                       CalibrationState& state, std::function<CalibParams()> calibParams)
    : s_(services), settings_(settings), state_(state), calibParams_(std::move(calibParams)) {
    if (!calibParams_) {
        calibParams_ = [] { return CalibParams{}; };
    }
}

bool Calibrator::CaptureBackground() {
    cv::Mat* frame = s_.frames.GrabFrame();
    if (frame == nullptr || frame->empty()) {
        return false;
    }
    state_.BackgroundFrame = frame->clone();
    state_.AutoThreshold = ComputeAutoThreshold(state_.BackgroundFrame);
    s_.host.ShowAutoThreshold(state_.AutoThreshold);
    (void)s_.files.SaveImage("Gg.bmp", state_.BackgroundFrame);
    return true;
}

void Calibrator::FinishCalibration() {
    s_.host.StartPreview();
    state_.Calibrated = 1;
    if (!s_.host.RunCountDown(kCountDownSeconds)) {
        return;
    }
    // The calibration commands are offered only while tracking never started
    // or is paused, so a started thread is parked here and Pause resumes it.
    if (s_.host.ThreadStarted()) {
        s_.host.OnPause();
    } else {
        s_.host.OnRun();
    }
}

CalibrationFault Calibrator::estimate(cv::Size frame, common::ScreenSize screen,
                                      std::array<size_t, 3> anchors, bool touches) {
    // The board's anchors are where the picture put them; the touches have
    // no other witness than themselves.
    CalibrationCandidate candidate;
    const auto takeAnchors = [&] {
        for (size_t k = 0; k < 3; ++k) {
            candidate.anchorCamera[k] = cameraPoints_.at(anchors[k]);
            candidate.anchorScreen[k] = screenPoints_.at(anchors[k]);
        }
    };
    if (!touches) {
        takeAnchors();
    }
    if (seam_) {
        seam_(cameraPoints_, screenPoints_);
    }
    if (cameraPoints_.size() < 4 || cameraPoints_.size() != screenPoints_.size()) {
        return CalibrationFault::PoorFit;
    }
    if (touches) {
        takeAnchors();
    }
    // Lens correction (an option): the points straightened before the
    // homography, and tracking straightens each spot the same way.
    LensModel lens;
    if (settings_.LensCorrection != 0) {
        lens = EstimateLens(cameraPoints_, screenPoints_, frame).value_or(LensModel{});
    }
    const std::vector<cv::Point2f> straight = lens.undistort(cameraPoints_);
    cv::Mat h;
    try {
        h = cv::findHomography(straight, screenPoints_, 0);
    } catch (const cv::Exception&) {
        h.release();
    }
    if (h.rows != 3 || h.cols != 3) {
        return CalibrationFault::PoorFit;
    }
    h.convertTo(h, CV_32F);
    candidate.homography = cv::Matx33f(h);
    candidate.lens = lens;
    candidate.camera = cameraPoints_;
    candidate.screen = screenPoints_;
    candidate.frame = frame;
    candidate.screenSize = screen;
    candidate.touches = touches;
    const CalibrationFault fault = CheckCalibration(candidate);
    if (fault == CalibrationFault::None) {
        state_.Homography = candidate.homography;
        state_.Lens = lens;
        cameraPoints_ = straight;
    }
    return fault;
}

Calibrator::Check Calibrator::checkOnScreen(common::ScreenSize screen) {
    // Only an Esc pressed while the check points are up skips them.
    (void)s_.keys.asyncKeyState(common::VK_ESCAPE_KEY);
    s_.canvas.Clear();
    const std::array<cv::Point, 5> marks = CheckMarkOrigins(screen);
    for (const cv::Point& o : marks) {
        s_.canvas.Rectangle(o.x, o.y, o.x + kCheckMarkSize, o.y + kCheckMarkSize);
    }
    s_.canvas.Flush();
    const auto wait = [this](int ms) {
        for (int waited = 0; waited < ms; waited += kCheckPollMs) {
            s_.clock.sleepFor(milliseconds(kCheckPollMs));
            if (escapePressed()) {
                return false;
            }
        }
        return true;
    };
    if (!wait(kCheckWaitMs)) {
        return {};
    }
    for (int looked = 0;; looked += kCheckPollMs) {
        cv::Mat* frame = s_.frames.GrabFrame();
        if (frame == nullptr || frame->empty()) {
            return {};
        }
        cv::Mat grey;
        if (frame->channels() == 3) {
            cv::cvtColor(*frame, grey, cv::COLOR_BGR2GRAY);
        } else {
            grey = *frame;
        }
        std::optional<Check> check = measureCheckMarks(grey, marks);
        if (check) {
            return *check;
        }
        if (looked >= kCheckLookMs) {
            return {CalibrationFault::CheckPointsOff, {}};
        }
        // Drawn again: a compositor may have dropped the first picture.
        s_.canvas.Flush();
        if (!wait(kCheckPollMs)) {
            return {};
        }
    }
}

std::optional<Calibrator::Check> Calibrator::measureCheckMarks(
    const cv::Mat& grey, const std::array<cv::Point, 5>& marks) const {
    Check check;
    check.error = 0.0;
    const auto half = static_cast<float>(kCheckMarkSize) / 2.0f;
    for (const cv::Point& o : marks) {
        const cv::Point2f centre = CheckMarkCentre(o);
        const auto expected = CameraOfScreen(state_.Homography, state_.Lens, centre);
        const auto across =
            CameraOfScreen(state_.Homography, state_.Lens, centre + cv::Point2f(half, 0));
        const auto down =
            CameraOfScreen(state_.Homography, state_.Lens, centre + cv::Point2f(0, half));
        if (!expected || !across || !down) {
            return Check{CalibrationFault::CheckPointsOff, {}};
        }
        // Twice the mark's size in the picture: room for the blob and a
        // little error, not for the screen's border.
        const double size = std::max(cv::norm(*across - *expected), cv::norm(*down - *expected));
        const auto seen = FindCheckMark(grey, *expected, 2.0 * size + 4.0);
        if (!seen) {
            return std::nullopt;  // not on the screen yet, or not where expected
        }
        const cv::Point2f straight = state_.Lens.undistort(*seen);
        const cv::Vec3f m = ApplyHomography(state_.Homography, straight.x, straight.y);
        const double error = m[2] != 0.0f
                                 ? std::hypot(m[0] / m[2] - centre.x, m[1] / m[2] - centre.y)
                                 : std::numeric_limits<double>::infinity();
        check.error = std::max(*check.error, error);
    }
    if (!(*check.error <= kMaxCheckPointPx)) {
        check.fault = CalibrationFault::CheckPointsOff;
    }
    return check;
}

CalibrationOutcome Calibrator::refuse(CalibrationFault fault, const Mapping& previous) {
    state_.Homography = previous.homography;
    state_.Lens = previous.lens;
    state_.Window = previous.window;
    fault_ = fault;
    s_.host.StartPreview();
    s_.host.ShowCalibrationRefused(fault);
    return CalibrationOutcome::Refused;
}

void Calibrator::report(CalibrationReport::Kind kind, std::optional<double> checkedError) {
    report_ = MeasureReprojection(state_.Homography, cameraPoints_, screenPoints_, kind);
    report_->checkedError = checkedError;
    s_.host.ShowCalibrationReport(*report_);
}

CalibrationOutcome Calibrator::OnAutoCalibrate() {
    const Mapping previous = mapping();
    s_.host.StopPreview();
    s_.canvas.Show(false);  // Esc cannot interrupt this calibration
    const common::ScreenSize screen = s_.canvas.ScreenSize();
    const BoardCell cell = BoardCellFor(screen);

    // Two grabs flush frames queued before the window appeared.
    (void)s_.frames.GrabFrame();
    (void)s_.frames.GrabFrame();
    s_.exposure.SetExposure(settings_.RunExpoTime, false);
    s_.canvas.Flush();
    s_.clock.sleepFor(milliseconds(500));
    (void)CaptureBackground();
    s_.cursor.ShowCursor(false);

    std::vector<cv::Point2f> corners;
    cv::Mat smoothed;
    cv::Size frameSize;
    bool found = false;
    for (int n = 0; n < kAttempts && !found; ++n) {
        const int e = -n;
        if (e == 0) {
            s_.exposure.SetExposure(0, true);
        } else {
            s_.exposure.SetExposure(e, false);
        }
        s_.canvas.Text(0, 0, std::to_string(e));
        DrawBoard(s_.canvas, cell);
        DrawOrientationMark(s_.canvas, cell, screen);
        s_.canvas.Flush();
        s_.clock.sleepFor(milliseconds(1000));

        cv::Mat* frame = s_.frames.GrabFrame();
        if (frame == nullptr || frame->empty()) {
            continue;
        }
        // A window below one pixel would be refused by the filter: it then
        // means no smoothing.
        const int len = std::max(calibParams_().SmoothWndLen, 1);
        try {
            cv::blur(*frame, smoothed, cv::Size(len, len));
            found = cv::findChessboardCorners(smoothed, kBoardPattern, corners,
                                              cv::CALIB_CB_ADAPTIVE_THRESH);
        } catch (const cv::Exception&) {
            found = false;
        }
        found = found && corners.size() == static_cast<size_t>(kBoardCorners);
        frameSize = frame->size();
    }

    const auto closeBoard = [this] {
        s_.cursor.ShowCursor(true);
        s_.canvas.Destroy();
    };
    if (!found) {
        closeBoard();
        return OnManualCalibrate();
    }

    // With lens correction on, the corners are refined to sub-pixel
    // positions first: the distortion is estimated from their small bends.
    cv::Mat grey;
    cv::cvtColor(smoothed, grey, cv::COLOR_BGR2GRAY);
    if (settings_.LensCorrection != 0) {
        try {
            cv::cornerSubPix(
                grey, corners, cv::Size(5, 5), cv::Size(-1, -1),
                cv::TermCriteria(cv::TermCriteria::EPS | cv::TermCriteria::COUNT, 30, 0.01));
        } catch (const cv::Exception&) {
        }
    }
    std::vector<cv::Point2f> targets;
    layout_ = AssignBoardTargets(corners, cell, targets);
    // The listed layouts assume a camera that sees the screen upright; the
    // picture tells the board's real orientation, and when it cannot, the
    // calibration is refused rather than guessed. Targets sit on the edges
    // as drawn, not on the untruncated cell multiples.
    BoardOrientation orientation = OrientBoardTargets(grey, corners, cell, screen);
    if (orientation.targets.empty()) {
        closeBoard();
        return refuse(orientation.screenInView ? CalibrationFault::BoardOrientation
                                               : CalibrationFault::ScreenNotInView,
                      previous);
    }
    screenPoints_ = std::move(orientation.targets);
    cameraPoints_ = corners;
    std::array<size_t, 3> anchors{};
    const std::array<cv::Point2f, 3> anchorTargets{DrawnCornerPosition(0, 0, cell),
                                                   DrawnCornerPosition(6, 0, cell),
                                                   DrawnCornerPosition(0, 4, cell)};
    for (size_t a = 0; a < 3; ++a) {
        anchors[a] = static_cast<size_t>(
            std::find(screenPoints_.begin(), screenPoints_.end(), anchorTargets[a]) -
            screenPoints_.begin());
    }
    if (settings_.LensCorrection != 0) {
        addBoardEdge(grey, cell, frameSize, cameraPoints_, screenPoints_);
    }
    if (const CalibrationFault fault = estimate(frameSize, screen, anchors, false);
        fault != CalibrationFault::None) {
        closeBoard();
        return refuse(fault, previous);
    }
    const Check check = checkOnScreen(screen);
    closeBoard();
    if (check.fault != CalibrationFault::None) {
        return refuse(check.fault, previous);
    }
    // The exposure stays at that of the successful attempt until tracking
    // sets its own.
    state_.Window = ComputeDetectionWindow(state_.Homography, frameSize, screen, state_.Lens);
    report(CalibrationReport::Kind::Automatic, check.error);
    FinishCalibration();
    return CalibrationOutcome::Completed;
}

bool Calibrator::escapePressed() {
    // Both are read every pass, so a latched Esc press is consumed here.
    const bool key = s_.keys.asyncKeyState(common::VK_ESCAPE_KEY) != 0;
    const bool closed = s_.canvas.ClosedByUser();
    return key || closed;
}

bool Calibrator::waitPass(Wait wait, int threshold, int& count, float& cx, float& cy) {
    const bool f13 = s_.keys.asyncKeyState(common::VK_F13_KEY) != 0;
    cv::Mat* frame = s_.frames.GrabFrame();
    if (frame == nullptr) {
        // A closed or vanished camera answers at once: without a pause the
        // wait would spin a core until Esc.
        s_.clock.sleepFor(milliseconds(10));
    }
    // A missing frame, or one the background cannot be subtracted from, is
    // skipped; the Esc test still runs so the user can always leave.
    if (frame != nullptr && sameShape(*frame, state_.BackgroundFrame)) {
        cv::subtract(*frame, state_.BackgroundFrame, difference_);
        const bool ungated = settings_.F13Trig == 0;
        const bool examine = wait == Wait::Touch ? (f13 || ungated) : (!f13 || ungated);
        if (examine) {
            count = detector_.DetectSpot(difference_, threshold, cx, cy);
        }
    }
    return !escapePressed();
}

CalibrationOutcome Calibrator::OnManualCalibrate() {
    const Mapping previous = mapping();
    s_.host.StopPreview();
    s_.exposure.SetExposure(settings_.RunExpoTime, false);
    s_.clock.sleepFor(milliseconds(200));
    s_.canvas.Show(true);
    const common::ScreenSize screen = s_.canvas.ScreenSize();
    const std::array<cv::Point, 9> centres = DotCentres(screen);

    const CalibParams params = calibParams_();
    const int threshold = params.ManCalibAmpThd;
    // Below one pixel the touch test would pass before any frame was seen.
    const int area = std::max(params.ManCalibAreaThd, 1);
    AmpRestore amp(settings_.Amp, threshold);

    cv::Size frameSize = s_.frames.FrameSize();
    state_.Window = {0, frameSize.width, 0, frameSize.height};

    // Only an Esc pressed while the dots are up aborts: a press latched
    // earlier (on the console, or during the chessboard) is dropped here.
    (void)s_.keys.asyncKeyState(common::VK_ESCAPE_KEY);
    s_.canvas.Text(0, 0, kManualPrompt);
    s_.canvas.Flush();
    s_.clock.sleepFor(milliseconds(200));
    (void)CaptureBackground();
    if (frameSize.empty() && !state_.BackgroundFrame.empty()) {
        frameSize = state_.BackgroundFrame.size();
        state_.Window = {0, frameSize.width, 0, frameSize.height};
    }
    detector_.window = state_.Window;
    detector_.weighted = settings_.SubPixelSpot != 0;

    std::vector<cv::Point2f> camera(9);
    std::vector<cv::Point2f> targets(9);
    int count = 0;
    float cx = 0.0f;
    float cy = 0.0f;
    const auto abort = [&] {
        amp.restore();
        s_.host.StartPreview();
        // The Esc that ended the calibration closes its window.
        s_.canvas.Destroy();
        return CalibrationOutcome::Aborted;
    };
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            const auto k = static_cast<size_t>(3 * i + j);
            const cv::Point c = centres[k];
            s_.canvas.Dot(c.x, c.y, DotColour::Red);
            s_.canvas.Flush();
            targets[k] = cv::Point2f(static_cast<float>(c.x), static_cast<float>(c.y));

            while (count < area) {
                if (!waitPass(Wait::Touch, threshold, count, cx, cy)) {
                    return abort();
                }
            }
            char name[32];
            std::snprintf(name, sizeof name, "calibTouch%d%d.bmp", i, j);
            (void)s_.files.SaveImage(name, difference_);
            camera[k] = cv::Point2f(cx, cy);

            s_.canvas.Dot(c.x, c.y, DotColour::Green);
            s_.canvas.Flush();
            while (count > 0) {
                if (!waitPass(Wait::Lift, threshold, count, cx, cy)) {
                    return abort();
                }
            }
        }
    }

    cameraPoints_ = camera;
    screenPoints_ = targets;
    layout_ = 0;
    // The first dot is the top-left one, the third the top-right, the
    // seventh the bottom-left.
    CalibrationFault fault = estimate(frameSize, screen, {0, 2, 6}, true);
    Check check;
    if (fault == CalibrationFault::None) {
        check = checkOnScreen(screen);
        fault = check.fault;
    }
    s_.canvas.Destroy();
    if (fault != CalibrationFault::None) {
        amp.restore();
        return refuse(fault, previous);
    }
    (void)s_.files.SaveMatrix("HomographyMat.txt", "HomographyMat", state_.Homography);

    cv::Mat* frame = s_.frames.GrabFrame();
    if (frame != nullptr && !frame->empty()) {
        frameSize = frame->size();
    }
    state_.Window = ComputeDetectionWindow(state_.Homography, frameSize, screen, state_.Lens);
    if (frame != nullptr && !frame->empty()) {
        cv::Mat picture = frame->clone();
        const DetectionWindow& w = state_.Window;
        cv::rectangle(picture, cv::Point(w.left, w.top), cv::Point(w.right, w.bottom),
                      cv::Scalar(0, 0, 255), 1, cv::LINE_8);
        for (const cv::Point2f& p : camera) {
            cv::circle(picture, cv::Point(static_cast<int>(p.x), static_cast<int>(p.y)), 10,
                       cv::Scalar(255, 255, 255), 2, cv::LINE_8);
        }
        (void)s_.files.SaveImage("ManCalib.bmp", picture);
    }
    amp.restore();
    report(CalibrationReport::Kind::Manual, check.error);
    FinishCalibration();
    return CalibrationOutcome::Completed;
}

}  // namespace tovik
