#pragma once
// The camera the program's composition root chose from --camera, with what
// only that choice knows: where the pen's button comes from and whether the
// device tells which frame a grab returned. The console sees a capture back
// end and a key state, never which kind of camera is behind them.

#include <functional>
#include <memory>

#include "common/platform/KeyState.h"
#include "tovik/camera/CaptureBackend.h"
#include "tovik/tracking/TrackingTrace.h"

namespace tovik {

struct CameraChoice {
    std::unique_ptr<CaptureBackend> backend;
    // Set when the camera brings the pen's button itself: wraps the
    // platform's key state, which answers every other key. Null when the
    // button is read from the input devices.
    std::function<std::unique_ptr<common::KeyState>(std::unique_ptr<common::KeyState>)> penKeys;
    // The device's number and capture time of the last frame grabbed, for
    // the trace; null when the device does not tell them.
    TrackingTrace::FrameQuery lastFrame;
};

}  // namespace tovik
