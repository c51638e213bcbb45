#pragma once
// The records an end-to-end run leaves behind, and their readers: the
// simulated camera's frame log, Tovik's event log, Kalvo's document dump and
// the figure the pen was asked to draw.

#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <opencv2/core.hpp>

namespace e2e {

// One frame the simulated camera handed out: where the pen truly was.
struct SimFrame {
    std::uint64_t number = 0;
    std::int64_t captureUs = 0;
    cv::Point2d pen;
    bool lit = false;
    bool operator==(const SimFrame&) const = default;
};

// One frame Tovik's detection thread processed.
struct TraceFrame {
    std::uint64_t number = 0;
    std::int64_t captureUs = 0;
    std::int64_t processUs = 0;
};

// One pointer event Tovik injected; captureUs 0 when no frame was known.
struct TraceEvent {
    std::int64_t sendUs = 0;
    std::uint32_t flags = 0;
    std::int32_t dx = 0;
    std::int32_t dy = 0;
    std::uint64_t frame = 0;
    std::int64_t captureUs = 0;
    bool operator==(const TraceEvent&) const = default;
};

struct TraceCalibration {
    std::string kind;        // "auto" or "manual"
    cv::Matx33d homography;  // camera pixels to screen pixels
};

struct TovikTrace {
    std::vector<TraceFrame> frames;
    std::vector<TraceEvent> events;
    std::vector<TraceCalibration> calibrations;
};

// One segment Kalvo holds, in screen pixels; colour 0x00BBGGRR.
struct Segment {
    std::int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    std::uint32_t color = 0;
    std::int32_t width = 0;
    bool operator==(const Segment&) const = default;
};

// One stroke of the figure: a polyline in screen pixels drawn in one colour
// (0x00BBGGRR).
struct Stroke {
    std::uint32_t color = 0;
    std::vector<cv::Point2d> points;
    bool operator==(const Stroke&) const = default;
};

// The readers stop with `error` naming the bad line. A last line without its
// line end is what a writer killed mid-line leaves: it is ignored.
[[nodiscard]] std::optional<std::vector<SimFrame>> readSimFrames(std::istream& in,
                                                                 std::string& error);
[[nodiscard]] std::optional<TovikTrace> readTovikTrace(std::istream& in, std::string& error);
// The dump is the segments' stored form back to back, 24 bytes each.
[[nodiscard]] std::optional<std::vector<Segment>> readSegments(std::string_view bytes,
                                                               std::string& error);
// "stroke COLOR X Y X Y ..." per line, COLOR as six hex digits RRGGBB.
[[nodiscard]] std::optional<std::vector<Stroke>> readFigure(std::istream& in, std::string& error);
[[nodiscard]] std::string writeFigure(const std::vector<Stroke>& strokes);

}  // namespace e2e
