#pragma once
// A client of the simulated pen's control socket (sim:...,control=PATH): one
// command line, one reply line.

#include <chrono>
#include <string>

namespace tktest {

class PenChannel {
public:
    PenChannel() = default;
    PenChannel(const PenChannel&) = delete;
    PenChannel& operator=(const PenChannel&) = delete;
    ~PenChannel();

    // Tries until `limit`: the socket appears when the camera opens.
    bool connect(const std::string& path, std::chrono::milliseconds limit);
    // Sends text as it is; false when it could not be written whole.
    bool send(const std::string& text) const;
    // The next reply line; false when none came within `limit`.
    bool reply(std::string& line, std::chrono::milliseconds limit);
    // One command and its reply ("ok", "error: ..."); empty when none came.
    std::string command(const std::string& line,
                        std::chrono::milliseconds limit = std::chrono::seconds(5));
    void close();

private:
    int fd_ = -1;
    std::string pending_;
};

}  // namespace tktest
