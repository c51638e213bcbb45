#pragma once
// Grabbing a frame for the UI thread's previews: a short bounded wait, so a
// camera that stopped delivering never freezes the window.

#include <chrono>

#include <opencv2/core.hpp>

#include "tovik/camera/CameraDS.h"

namespace tovik {

inline constexpr std::chrono::milliseconds kPreviewGrabTimeout{30};

// True when a frame came within `timeout`.
[[nodiscard]] inline bool GrabForDisplay(CCameraDS& camera, cv::Mat& frame,
                                         std::chrono::milliseconds timeout = kPreviewGrabTimeout) {
    CaptureBackend* backend = camera.backend();
    if (backend == nullptr || !camera.connected() || !backend->isOpen()) {
        return false;
    }
    return backend->grab(frame, timeout) && !frame.empty();
}

}  // namespace tovik
