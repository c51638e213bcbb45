#include "tovik/app/CameraFactory.h"

#include "sim/PenKeyState.h"
#include "sim/SimCamera.h"
#ifdef _WIN32
#include "tovik/camera/win32/MsmfBackend.h"
#else
#include "tovik/camera/V4L2Backend.h"
#endif

namespace tovik {

CameraChoice chooseCamera(const std::string& spec, std::string& error) {
    CameraChoice choice;
#ifdef _WIN32
    if (spec.empty() || spec == "msmf") {
        choice.backend = std::make_unique<MsmfBackend>();
        return choice;
    }
#else
    if (spec.empty() || spec == "v4l2") {
        choice.backend = std::make_unique<V4L2Backend>();
        return choice;
    }
#endif
    if (spec == "sim" || spec.starts_with("sim:")) {
        const std::string_view options =
            spec.size() > 4 ? std::string_view(spec).substr(4) : std::string_view();
        std::unique_ptr<sim::SimCamera> camera = sim::SimCamera::create(options, error);
        if (!camera) {
            return choice;
        }
        // The simulated pen's button is F13; the camera numbers its frames.
        choice.penKeys = [pen = camera->sharedPen()](std::unique_ptr<common::KeyState> keys) {
            return std::unique_ptr<common::KeyState>(
                std::make_unique<sim::PenKeyState>(pen, std::move(keys)));
        };
        choice.lastFrame = [simulator = camera.get()]() -> std::optional<FrameStamp> {
            const std::optional<sim::SimCamera::FrameInfo> info = simulator->lastGrabbed();
            if (!info) {
                return std::nullopt;
            }
            return FrameStamp{info->number, info->captured};
        };
        choice.backend = std::move(camera);
        return choice;
    }
    error = "unknown camera '" + spec + "' (v4l2 or sim:option=value,...)";
    return choice;
}

}  // namespace tovik
