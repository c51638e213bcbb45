#pragma once
// The one place that chooses the camera from --camera: "v4l2" (the default,
// also for an empty text; "msmf" on Windows) or "sim:opt=v,opt=v,...".

#include <string>

#include "tovik/console/CameraChoice.h"

namespace tovik {

// The back end with its pen-key source and frame query; a null back end with
// `error` set when the camera text is not understood.
[[nodiscard]] CameraChoice chooseCamera(const std::string& spec, std::string& error);

}  // namespace tovik
