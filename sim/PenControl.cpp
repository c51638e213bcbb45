#include "sim/PenControl.h"

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

#include "common/platform/ThreadName.h"
#include "sim/ControlChannel.h"
#include "sim/SimCamera.h"

namespace sim {

std::optional<std::vector<PenCommand>> PenControl::readScript(const std::string& path,
                                                              std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "sim script=" + path + ": cannot read the file";
        return std::nullopt;
    }
    std::stringstream text;
    text << in.rdbuf();
    std::string scriptError;
    auto parsed = parsePenScript(text.str(), scriptError);
    if (!parsed) {
        error = "sim script=" + path + ": " + scriptError;
        return std::nullopt;
    }
    return parsed;
}

std::unique_ptr<PenControl> PenControl::start(SimCamera& camera, std::vector<PenCommand> script,
                                              const std::string& channel, std::string& error) {
    std::unique_ptr<PenControl> control(new PenControl());
    if (!channel.empty()) {
        control->channel_ = ControlChannel::open(
            channel,
            [&camera](std::string_view line, std::stop_token stop) -> std::string {
                std::string lineError;
                const std::optional<PenCommand> c = parsePenCommand(line, lineError);
                if (!c) {
                    return "error: " + lineError;
                }
                execute(camera, *c, stop);
                return "ok";
            },
            error);
        if (!control->channel_) {
            return nullptr;
        }
    }
    if (!script.empty()) {
        control->script_ =
            std::jthread([&camera, script = std::move(script)](std::stop_token stop) {
                common::nameThisThread("sim-script");
                for (const PenCommand& c : script) {
                    if (stop.stop_requested()) {
                        return;
                    }
                    execute(camera, c, stop);
                }
            });
    }
    return control;
}

PenControl::~PenControl() = default;

namespace {

void sleepFor(std::stop_token stop, int ms) {
    std::mutex m;
    std::condition_variable_any cv;
    std::unique_lock lock(m);
    cv.wait_for(lock, stop, std::chrono::milliseconds(ms), [] { return false; });
}

// Waits until `done` holds, for at most 2 s more and never while no frames
// come (the camera closed or unplugged).
template <typename Done>
void waitForFrames(const SimCamera& camera, std::stop_token stop, Done done) {
    for (int i = 0;
         i < 400 && !stop.stop_requested() && camera.isOpen() && camera.plugged() && !done(); ++i) {
        sleepFor(stop, 5);
    }
}

}  // namespace

void PenControl::execute(SimCamera& camera, const PenCommand& c, std::stop_token stop) {
    LightPen& pen = camera.pen();
    switch (c.kind) {
        case PenCommand::Kind::Nothing:
            break;
        case PenCommand::Kind::Move:
            pen.moveTo({c.x1, c.y1});
            break;
        case PenCommand::Kind::Lit:
            pen.setLit(c.on);
            break;
        case PenCommand::Kind::F13:
            pen.setButton(c.on);
            break;
        case PenCommand::Kind::Path:
            // The glide runs on the camera's time (see LightPen::sample): it
            // ends once a frame has seen its end.
            pen.glide({c.x1, c.y1}, {c.x2, c.y2}, std::chrono::milliseconds(c.ms));
            sleepFor(stop, c.ms);
            waitForFrames(camera, stop, [&pen] { return pen.glideSeen(); });
            break;
        case PenCommand::Kind::Wait: {
            // The pen keeps the camera's time too: a wait also spans the frames
            // its milliseconds make at the camera's rate, so that a camera
            // stalled by a busy machine does not cut a tap short.
            const std::uint64_t first = camera.framesMade();
            const auto frames = static_cast<std::uint64_t>(c.ms * camera.frameRate() / 1000);
            sleepFor(stop, c.ms);
            waitForFrames(camera, stop, [&] { return camera.framesMade() - first >= frames; });
            break;
        }
        case PenCommand::Kind::Unplug:
            camera.unplug();
            break;
        case PenCommand::Kind::Plug:
            camera.plug();
            break;
        case PenCommand::Kind::Await: {
            // The path is UTF-8, on Windows too.
            const std::filesystem::path file(std::u8string(c.path.begin(), c.path.end()));
            std::error_code ec;
            while (!stop.stop_requested() && !std::filesystem::exists(file, ec)) {
                sleepFor(stop, 50);
            }
            break;
        }
    }
}

}  // namespace sim
