#pragma once
// The process camera as the calibrations' frame source and exposure control.

#include "tovik/calibration/CalibrationServices.h"
#include "tovik/camera/CameraDS.h"

namespace tovik {

class CameraCalibrationDevice final : public FrameGrabber, public ExposureControl {
public:
    explicit CameraCalibrationDevice(CCameraDS& camera) : camera_(camera) {}

    cv::Mat* GrabFrame() override { return camera_.GrabFrame(); }
    cv::Size FrameSize() override { return {camera_.frameWidth(), camera_.frameHeight()}; }
    // The camera reports a failure through its message sink.
    bool SetExposure(int value, bool automatic) override {
        return camera_.SetExposure(value, automatic);
    }

private:
    CCameraDS& camera_;
};

}  // namespace tovik
