#pragma once
// What an end-to-end run achieved, computed from its records: calibration
// accuracy against the simulator's known pose, pointer accuracy and latency
// frame by frame, button balance, tracking rate, and whether Kalvo's ink
// follows the figure the pen drew. Written as report.json and a few lines of
// text.

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "RunLogs.h"

namespace e2e {

struct RunRecords {
    cv::Size screen;
    // The monitor the camera films and Tovik targets, in X screen pixels;
    // empty: the whole screen.
    cv::Rect monitor;
    // The simulator's: monitor pixels (from its top-left corner) to camera pixels.
    cv::Matx33d pose = cv::Matx33d::eye();
    std::vector<SimFrame> simFrames;
    TovikTrace trace;
    // Kalvo's segments, in desktop (X screen) pixels whichever monitor its
    // surface covers (on a scaled desktop its dump converts them to device
    // pixels). Empty: no dump.
    std::optional<std::vector<Segment>> segments;
    std::vector<Stroke> figure;
    cv::Mat screenshot;                  // 8-bit BGR of the whole X screen; empty: none taken
    cv::Mat savedPicture;                // Kalvo's saved picture of the monitor; empty: none
    int leftoverProcesses = -1;          // processes alive after teardown; -1: not checked
    std::vector<double> inkLatenciesMs;  // frame capture to ink on the screen
};

// What a run must reach. Latencies are reported, not limited: they follow the
// machine's load (./run bench measures the hot paths).
struct Limits {
    std::string calibration = "auto";  // the calibration that must have completed
    double calibrationErrorPx = 3;     // mean error any accepted calibration may have
    double pointerMeanPx = 3;
    double pointerMaxPx = 6;
    double holdJitterPx = 0.3;  // RMS, while the pen is held still
    double inkTolerancePx = 8;  // how far ink may lie from the figure
    double minCoverage = 0.9;   // share of the figure with ink of its colour nearby
    double minOnFigure = 0.9;   // share of Kalvo's segments lying along the figure
    double minScreenInk = 0.8;  // share of the figure with ink pixels in the screenshot
    int rightClicks = -1;       // right clicks the scenario made; -1: not checked
};

struct Report {
    static constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

    std::string calibration;  // empty: none completed
    double calibrationErrorPx = kNone;
    double pointerErrorMeanPx = kNone;
    double pointerErrorMaxPx = kNone;
    int pressCount = 0;
    int releaseCount = 0;
    int rightClickCount = 0;  // right presses, each followed by its release
    std::uint64_t frames = 0;
    double fps = kNone;
    double detectMsMean = kNone;
    double latencyMsP95 = kNone;
    // RMS spread of the pointer while the pen is held lit and still (runs of
    // at least 20 frames, the first 10 of each left to settle); NaN: no hold.
    double holdJitterPxRms = kNone;
    // Camera capture to the ink on the screen; NaN when not measured.
    double inkLatencyMsP95 = kNone;
    int segments = -1;  // -1: no dump
    bool ok = false;

    // Details for the printed report.
    int moveEvents = 0;
    double figureCoverage = kNone;
    double segmentsOnFigure = kNone;
    double screenInk = kNone;
    std::vector<std::string> failures;  // each check that did not pass
};

// Mean distance over a grid of monitor points between each point and the
// point it comes back as after the pose (monitor to camera) and Tovik's
// homography (camera to its target monitor).
[[nodiscard]] double calibrationError(const cv::Matx33d& pose, const cv::Matx33d& tovik,
                                      cv::Size screen);

// Nearest-rank percentile of `values` (0 < p <= 100); NaN when empty.
[[nodiscard]] double percentile(std::vector<double> values, double p);

[[nodiscard]] Report computeReport(const RunRecords& run, const Limits& limits = {});

// report.json: exactly the report's keys; unknown values are null.
[[nodiscard]] std::string reportJson(const Report& report);
// A few lines for the terminal.
[[nodiscard]] std::string reportText(const Report& report);

}  // namespace e2e
