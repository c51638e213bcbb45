#pragma once
// One line per frame the simulated camera delivers, for the end-to-end
// report: "FRAME CAPTURE_US PEN_X PEN_Y LIT". CAPTURE_US is the steady clock
// (CLOCK_MONOTONIC, shared by all processes) in microseconds.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#include "sim/LightPen.h"

namespace sim {

class FrameLog {
public:
    // Check isOpen(); an existing file is replaced.
    explicit FrameLog(const std::string& path);
    ~FrameLog();
    FrameLog(const FrameLog&) = delete;
    FrameLog& operator=(const FrameLog&) = delete;

    [[nodiscard]] bool isOpen() const { return file_ != nullptr; }
    void write(std::uint64_t frame, std::chrono::steady_clock::time_point captured,
               const LightPen::State& pen);

private:
    std::mutex mutex_;
    std::FILE* file_ = nullptr;
};

}  // namespace sim
