#include "tovik/tracking/TrackingTrace.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tovik {

namespace {

long long micros(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::microseconds>(t.time_since_epoch()).count();
}

}  // namespace

std::unique_ptr<TrackingTrace> TrackingTrace::fromEnvironment() {
    const char* path = std::getenv(kVariable);
    if (path == nullptr || path[0] == '\0') {
        return nullptr;
    }
    std::string error;
    std::unique_ptr<TrackingTrace> trace = open(path, error);
    if (!trace) {
        std::fprintf(stderr, "tovik: %s: %s\n", kVariable, error.c_str());
    }
    return trace;
}

std::unique_ptr<TrackingTrace> TrackingTrace::open(const std::string& path, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) {
        error = path + ": " + std::strerror(errno);
        return nullptr;
    }
    std::unique_ptr<TrackingTrace> trace(new TrackingTrace(file));
    trace->writeLine(
        "# frame NUMBER CAPTURE_US PROCESS_US | event SEND_US FLAGS DX DY FRAME CAPTURE_US | "
        "calibration KIND H00..H22\n");
    return trace;
}

TrackingTrace::~TrackingTrace() {
    std::fclose(file_);
}

void TrackingTrace::setFrameQuery(FrameQuery query) {
    std::lock_guard lock(mutex_);
    query_ = std::move(query);
}

void TrackingTrace::writeLine(const char* text) {
    std::fputs(text, file_);
    std::fflush(file_);
}

void TrackingTrace::frameGrabbed() {
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(mutex_);
    ++grabs_;
    current_ = query_ ? query_() : std::nullopt;
    if (!current_) {
        current_ = FrameStamp{grabs_, now};
    }
    grabbedAt_ = now;
}

void TrackingTrace::frameProcessed() {
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(mutex_);
    if (!current_) {
        return;
    }
    char line[128];
    std::snprintf(
        line, sizeof line, "frame %llu %lld %lld\n",
        static_cast<unsigned long long>(current_->number), micros(current_->captured),
        static_cast<long long>(
            std::chrono::duration_cast<std::chrono::microseconds>(now - grabbedAt_).count()));
    writeLine(line);
}

void TrackingTrace::pointerEvent(std::uint32_t flags, std::int32_t dx, std::int32_t dy) {
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(mutex_);
    // An event outside tracking (none is expected) names frame 0 at time 0.
    const FrameStamp stamp = current_.value_or(FrameStamp{});
    char line[160];
    std::snprintf(line, sizeof line, "event %lld %u %d %d %llu %lld\n", micros(now), flags, dx, dy,
                  static_cast<unsigned long long>(stamp.number),
                  current_ ? micros(stamp.captured) : 0LL);
    writeLine(line);
}

void TrackingTrace::calibrationCompleted(std::string_view kind, const cv::Matx33f& homography) {
    std::string line = "calibration " + std::string(kind);
    char number[32];
    for (int i = 0; i < 9; ++i) {
        std::snprintf(number, sizeof number, " %.9g", static_cast<double>(homography.val[i]));
        line += number;
    }
    line += '\n';
    std::lock_guard lock(mutex_);
    writeLine(line.c_str());
}

}  // namespace tovik
