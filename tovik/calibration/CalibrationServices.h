#pragma once
// What the calibration procedures need from the outside: the camera, a
// full-screen canvas, the cursor, a place for their files and the console.
// The console binds them to Qt and the real camera; tests bind them to the
// simulator and a canvas that draws into an image.

#include <optional>
#include <string>

#include <opencv2/core.hpp>

#include "common/platform/ScreenInfo.h"
#include "tovik/calibration/CalibrationCheck.h"

namespace tovik {

// Frames on request. The returned image belongs to the source and is
// overwritten by the next grab; null when no frame came (the caller skips).
class FrameGrabber {
public:
    virtual ~FrameGrabber() = default;
    [[nodiscard]] virtual cv::Mat* GrabFrame() = 0;
    // The frame size of the open device (0 x 0 when none is open).
    [[nodiscard]] virtual cv::Size FrameSize() = 0;
};

// The camera's exposure: a fixed value in log2 seconds, or automatic. A
// failure is reported to the user by the implementation; callers go on.
class ExposureControl {
public:
    virtual ~ExposureControl() = default;
    virtual bool SetExposure(int value, bool automatic) = 0;
};

enum class DotColour { Red, Green };

// The full-screen white calibration window. Drawing stays in the window
// until it is destroyed; Flush() returns only once everything drawn so far
// is on the screen, so a camera grab after it sees the drawing.
class CalibrationCanvas {
public:
    virtual ~CalibrationCanvas() = default;
    // Creates the window over the whole primary screen, white, top-most.
    // With acceptsEscape false an Esc key leaves the window alone.
    virtual void Show(bool acceptsEscape) = 0;
    [[nodiscard]] virtual common::ScreenSize ScreenSize() = 0;
    // Black text on an opaque white background, top-left corner at (x, y).
    virtual void Text(int x, int y, const std::string& utf8) = 0;
    // A black square: columns left..right-1, rows top..bottom-1.
    virtual void Rectangle(int left, int top, int right, int bottom) = 0;
    // A filled circle in the square (cx-8, cy-8)..(cx+8, cy+8), black outline.
    virtual void Dot(int cx, int cy, DotColour colour) = 0;
    virtual void Flush() = 0;
    // White all over again, the window staying.
    virtual void Clear() = 0;
    // Destroys the window; harmless when there is none.
    virtual void Destroy() = 0;
    // True when the user closed the window with Esc since Show().
    [[nodiscard]] virtual bool ClosedByUser() = 0;
};

class CursorControl {
public:
    virtual ~CursorControl() = default;
    virtual void ShowCursor(bool visible) = 0;
};

// Where the calibration pictures and the matrix file go. Failures are
// returned but never stop a calibration.
class CalibrationFiles {
public:
    virtual ~CalibrationFiles() = default;
    virtual bool SaveImage(const std::string& name, const cv::Mat& image) = 0;
    // YAML text with the matrix under `objectName`.
    virtual bool SaveMatrix(const std::string& name, const std::string& objectName,
                            const cv::Matx33f& matrix) = 0;
};

// How well the new homography carries the calibration points to their
// screen targets, in screen pixels.
struct CalibrationReport {
    enum class Kind { Automatic, Manual };
    Kind kind = Kind::Automatic;
    int points = 0;
    double meanError = 0.0;
    double maxError = 0.0;
    // The largest distance between the check points shown after the
    // calibration and where the camera saw them; empty when skipped.
    std::optional<double> checkedError;

    // Beyond this largest error the user is told to calibrate again.
    static constexpr double kRecalibrateAbovePx = 10.0;
    [[nodiscard]] bool suggestsRecalibration() const { return maxError > kRecalibrateAbovePx; }
};

// The console's side: its preview timer, the hidden threshold control, the
// count-down dialog and the run and pause commands.
class CalibrationHost {
public:
    virtual ~CalibrationHost() = default;
    virtual void StopPreview() = 0;
    virtual void StartPreview() = 0;
    // Control 1032.
    virtual void ShowAutoThreshold(int threshold) = 0;
    virtual void ShowCalibrationReport(const CalibrationReport& report) = 0;
    // A calibration that failed a check and was not taken; the previous one
    // stays in use.
    virtual void ShowCalibrationRefused(CalibrationFault fault) = 0;
    // The modal count-down dialog; true when it ended with IDOK.
    virtual bool RunCountDown(int seconds) = 0;
    [[nodiscard]] virtual bool ThreadStarted() = 0;
    virtual void OnRun() = 0;
    virtual void OnPause() = 0;
};

}  // namespace tovik
