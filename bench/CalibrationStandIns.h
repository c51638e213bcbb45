#pragma once
// The calibration stand-ins both calibration benchmarks use: a host that
// shows nothing, no cursor, and a hand that touches each red dot with the
// simulated pen.

#include "sim/SimCamera.h"
#include "tests/support/PenOnDots.h"
#include "tovik/calibration/Calibrator.h"
#include "tovik/calibration/HeadlessCanvas.h"

namespace benchcal {

class QuietHost final : public tovik::CalibrationHost {
public:
    void StopPreview() override {}
    void StartPreview() override {}
    void ShowAutoThreshold(int) override {}
    void ShowCalibrationReport(const tovik::CalibrationReport&) override {}
    void ShowCalibrationRefused(tovik::CalibrationFault) override {}
    bool RunCountDown(int) override { return false; }
    bool ThreadStarted() override { return false; }
    void OnRun() override {}
    void OnPause() override {}
};

class NoCursor final : public tovik::CursorControl {
public:
    void ShowCursor(bool) override {}
};

// Touches each red dot with the lit pen and F13, lets go on green.
class PenHand final : public tovik::FrameGrabber {
public:
    PenHand(tovik::FrameGrabber& inner, tovik::HeadlessCanvas& canvas, sim::SimCamera& camera)
        : inner_(inner), pen_(canvas, camera) {}
    cv::Mat* GrabFrame() override {
        pen_();
        return inner_.GrabFrame();
    }
    cv::Size FrameSize() override { return inner_.FrameSize(); }

private:
    tovik::FrameGrabber& inner_;
    tktest::PenOnDots pen_;
};

}  // namespace benchcal
