#include "sim/FrameLog.h"

namespace sim {

FrameLog::FrameLog(const std::string& path) : file_(std::fopen(path.c_str(), "w")) {
    if (file_ != nullptr) {
        std::fputs("# frame capture_us pen_x pen_y lit\n", file_);
        std::fflush(file_);
    }
}

FrameLog::~FrameLog() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

void FrameLog::write(std::uint64_t frame, std::chrono::steady_clock::time_point captured,
                     const LightPen::State& pen) {
    std::lock_guard lock(mutex_);
    if (file_ == nullptr) {
        return;
    }
    const long long us =
        std::chrono::duration_cast<std::chrono::microseconds>(captured.time_since_epoch()).count();
    std::fprintf(file_, "%llu %lld %.2f %.2f %d\n", static_cast<unsigned long long>(frame), us,
                 pen.position.x, pen.position.y, pen.lit ? 1 : 0);
    // A reader follows the file while the run goes on; at 30 lines a second a
    // flush per line costs nothing worth saving.
    std::fflush(file_);
}

}  // namespace sim
