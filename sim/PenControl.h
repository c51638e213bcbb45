#pragma once
// The simulated camera's control side: carries out the pen's control language
// on it, from a script file on a thread of its own and from the lines of the
// live control channel.

#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "sim/PenCommand.h"

namespace sim {

class ControlChannel;
class SimCamera;

class PenControl {
public:
    // The commands of the script file at `path`; empty with `error` set when
    // it cannot be read or has a bad line.
    [[nodiscard]] static std::optional<std::vector<PenCommand>> readScript(const std::string& path,
                                                                           std::string& error);
    // Opens the control channel at `channel` (none when empty), then runs
    // `script`; null with `error` set when the channel cannot be opened.
    [[nodiscard]] static std::unique_ptr<PenControl> start(SimCamera& camera,
                                                           std::vector<PenCommand> script,
                                                           const std::string& channel,
                                                           std::string& error);
    // Stops the script, then the channel.
    ~PenControl();
    PenControl(const PenControl&) = delete;
    PenControl& operator=(const PenControl&) = delete;

    // Carries out one command; waits are cut short when `stop` is requested.
    static void execute(SimCamera& camera, const PenCommand& command, std::stop_token stop = {});

private:
    PenControl() = default;

    std::unique_ptr<ControlChannel> channel_;
    std::jthread script_;  // declared last: stops first
};

}  // namespace sim
