#pragma once
// The one place that chooses the camera back end from --camera:
//   "v4l2" (the default, also for an empty spec) or "sim:opt=v,opt=v,...".

#include <memory>
#include <string>

#include "tovik/camera/CaptureBackend.h"

namespace sim {
class SimCamera;
// The simulator behind a back end; null for a real camera.
[[nodiscard]] SimCamera* asSimulator(tovik::CaptureBackend* backend);
}  // namespace sim

namespace tovik {
// Null with `error` set when the camera text is not understood.
[[nodiscard]] std::unique_ptr<CaptureBackend> makeCaptureBackend(const std::string& spec,
                                                                 std::string& error);
}  // namespace tovik
