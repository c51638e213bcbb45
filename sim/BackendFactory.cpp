#include "sim/BackendFactory.h"

#include "sim/SimCamera.h"
#ifdef _WIN32
#include "tovik/camera/win32/MsmfBackend.h"
#else
#include "tovik/camera/V4L2Backend.h"
#endif

namespace sim {

SimCamera* asSimulator(tovik::CaptureBackend* backend) {
    return dynamic_cast<SimCamera*>(backend);
}

}  // namespace sim

namespace tovik {

std::unique_ptr<CaptureBackend> makeCaptureBackend(const std::string& spec, std::string& error) {
#ifdef _WIN32
    if (spec.empty() || spec == "msmf") {
        return std::make_unique<MsmfBackend>();
    }
#else
    if (spec.empty() || spec == "v4l2") {
        return std::make_unique<V4L2Backend>();
    }
#endif
    if (spec == "sim" || spec.starts_with("sim:")) {
        const std::string options = spec.size() > 4 ? spec.substr(4) : std::string();
        std::optional<sim::SimOptions> parsed = sim::parseSimOptions(options, error);
        if (!parsed) {
            return nullptr;
        }
        return sim::SimCamera::create(*parsed, error);
    }
    error = "unknown camera '" + spec + "' (v4l2 or sim:option=value,...)";
    return nullptr;
}

}  // namespace tovik
