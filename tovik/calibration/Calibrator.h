#pragma once
// The automatic chessboard calibration and the manual nine-point calibration,
// with the background capture that opens them and the finish that closes
// them. Written against the calibration services only, so the whole
// procedure runs in a unit test against the simulated camera.

#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "common/platform/Clock.h"
#include "common/platform/KeyState.h"
#include "tovik/calibration/CalibrationServices.h"
#include "tovik/calibration/CalibrationState.h"
#include "tovik/tracking/SettingsFile.h"
#include "tovik/tracking/SpotDetector.h"
#include "tovik/tracking/TrackingSettings.h"

namespace tovik {

enum class CalibrationOutcome {
    Completed,  // a new homography; FinishCalibration ran
    Aborted,    // Esc during the manual calibration
    Refused,    // the new calibration failed a check; the previous one stays
};

struct CalibrationServices {
    FrameGrabber& frames;
    ExposureControl& exposure;
    CalibrationCanvas& canvas;
    common::KeyState& keys;
    common::Clock& clock;
    CursorControl& cursor;
    CalibrationFiles& files;
    CalibrationHost& host;
};

class Calibrator {
public:
    // `calibParams` reads section "CalibParams" afresh at each call.
    Calibrator(CalibrationServices services, TrackingSettings& settings, CalibrationState& state,
               std::function<CalibParams()> calibParams);

    // Chessboard at exposures 0 (automatic), -1 .. -6; hands over to the
    // manual calibration when the board is never found. Cannot be interrupted.
    CalibrationOutcome OnAutoCalibrate();
    // Nine dots touched with the pen; Esc aborts.
    CalibrationOutcome OnManualCalibrate();

    // Grabs the empty screen as BackgroundFrame, derives AutoThreshold, shows
    // it and saves "Gg.bmp". False, and nothing replaced, when no frame came.
    bool CaptureBackground();
    // Preview back on, Calibrated = 1, count-down, then run or resume.
    void FinishCalibration();

    // The 35 or 9 point pairs of the last completed calibration and how well
    // the homography fits them.
    [[nodiscard]] const std::optional<CalibrationReport>& lastReport() const { return report_; }
    [[nodiscard]] const std::vector<cv::Point2f>& cameraPoints() const { return cameraPoints_; }
    [[nodiscard]] const std::vector<cv::Point2f>& screenPoints() const { return screenPoints_; }
    // The layout the board's corner list was read in (1..8), 0 before any.
    [[nodiscard]] int boardLayout() const { return layout_; }
    // Why the last calibration was refused; None when it was not.
    [[nodiscard]] CalibrationFault lastFault() const { return fault_; }

    // Sees the point pairs (camera points as seen, screen targets) just before
    // the homography is estimated from them, and may change them: where a
    // test puts a wrong pairing to see it refused.
    using PointSeam =
        std::function<void(std::vector<cv::Point2f>& camera, std::vector<cv::Point2f>& screen)>;
    void setPointSeam(PointSeam seam) { seam_ = std::move(seam); }

private:
    // One pass of a manual wait: a frame grabbed, subtracted and searched
    // when the F13 rule allows. False when Esc asks to abort.
    enum class Wait { Touch, Lift };
    bool waitPass(Wait wait, int threshold, int& count, float& cx, float& cy);
    [[nodiscard]] bool escapePressed();
    // What tracking maps with; put back when a calibration is refused.
    struct Mapping {
        cv::Matx33f homography;
        LensModel lens;
        DetectionWindow window;
    };
    [[nodiscard]] Mapping mapping() const {
        return {state_.Homography, state_.Lens, state_.Window};
    }
    // Estimates the lens (when corrected) and the homography from the point
    // pairs and checks them; on success they are in the state and the
    // camera points straightened. `anchors` index the pattern's top-left,
    // top-right and bottom-left points as the picture placed them.
    [[nodiscard]] CalibrationFault estimate(cv::Size frame, common::ScreenSize screen,
                                            std::array<size_t, 3> anchors, bool touches);
    // The check points on the canvas, found in a camera frame: the largest
    // distance in screen pixels, or empty when Esc skipped them.
    struct Check {
        CalibrationFault fault = CalibrationFault::None;
        std::optional<double> error;
    };
    [[nodiscard]] Check checkOnScreen(common::ScreenSize screen);
    // The check in one camera picture; empty while some mark is not seen.
    [[nodiscard]] std::optional<Check> measureCheckMarks(
        const cv::Mat& grey, const std::array<cv::Point, 5>& marks) const;
    CalibrationOutcome refuse(CalibrationFault fault, const Mapping& previous);
    void report(CalibrationReport::Kind kind, std::optional<double> checkedError);

    CalibrationServices s_;
    TrackingSettings& settings_;
    CalibrationState& state_;
    std::function<CalibParams()> calibParams_;
    SpotDetector detector_;
    cv::Mat difference_;
    std::vector<cv::Point2f> cameraPoints_;
    std::vector<cv::Point2f> screenPoints_;
    std::optional<CalibrationReport> report_;
    int layout_ = 0;
    CalibrationFault fault_ = CalibrationFault::None;
    PointSeam seam_;
};

}  // namespace tovik
