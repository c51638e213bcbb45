#pragma once
// The checks a new calibration passes before it replaces the one in use, and
// the check points shown afterwards to measure it against the camera image.

#include <array>
#include <optional>
#include <vector>

#include <opencv2/core.hpp>

#include "common/platform/ScreenInfo.h"
#include "tovik/tracking/LensModel.h"

namespace tovik {

// Why a calibration was refused; None when it passed.
enum class CalibrationFault {
    None,
    BoardOrientation,  // the picture does not tell which way up the board is
    IllConditioned,    // the camera sees the screen at too steep an angle
    ScreenNotInView,   // a screen corner lies outside the camera image
    WrongOrientation,  // the screen's corners come out twisted or turned
    PoorFit,           // the points do not lie on one flat screen
    PoorPrediction,    // points left out of the fit are not where it puts them
    DotTouchedTwice,   // two touches at one place
    DotOrder,          // touches in another order than the dots were shown
    CheckPointsOff,    // the check points were not found where expected
};

// A calibration about to be used.
struct CalibrationCandidate {
    cv::Matx33f homography;  // straightened camera point to screen point
    LensModel lens;
    std::vector<cv::Point2f> camera;  // as the camera saw them (before the lens)
    std::vector<cv::Point2f> screen;
    // Three points of the pattern where the picture put them, as the camera
    // saw them, and where they are on the screen: top-left, top-right and
    // bottom-left. The calibration must keep that orientation.
    std::array<cv::Point2f, 3> anchorCamera;
    std::array<cv::Point2f, 3> anchorScreen;
    cv::Size frame;
    common::ScreenSize screenSize;
    bool touches = false;  // the nine touched dots of the manual calibration
};

// Bounds, in screen pixels and as a ratio.
inline constexpr double kMaxCondition = 40.0;    // of the normalised homography
inline constexpr double kMaxFitErrorPx = 8.0;    // any point against the fit
inline constexpr double kMaxHeldOutPx = 12.0;    // a point predicted by the others
inline constexpr double kMaxCheckPointPx = 5.0;  // a check point measured afterwards

// The first check the candidate fails, in this order: touches (twice, then
// order), fit, held-out points, conditioning, screen corners in view,
// orientation.
[[nodiscard]] CalibrationFault CheckCalibration(const CalibrationCandidate& candidate);

// Where a screen point appears in the camera image under a calibration; empty
// when it lies behind the camera.
[[nodiscard]] std::optional<cv::Point2f> CameraOfScreen(const cv::Matx33f& homography,
                                                        const LensModel& lens, cv::Point2f screen);

// The check points: filled black squares of kCheckMarkSize pixels near the
// four corners and at the centre, as left/top corners; and their centres in
// the pixel-centre convention.
inline constexpr int kCheckMarkSize = 24;
[[nodiscard]] std::array<cv::Point, 5> CheckMarkOrigins(common::ScreenSize screen);
[[nodiscard]] cv::Point2f CheckMarkCentre(cv::Point origin);

// Finds the check mark that should lie near `expected` in `grey` (the
// camera's picture of the marks on the white screen) and returns the centre
// of its dark blob; empty when no clear dark blob is there.
[[nodiscard]] std::optional<cv::Point2f> FindCheckMark(const cv::Mat& grey, cv::Point2f expected,
                                                       double searchRadius);

}  // namespace tovik
