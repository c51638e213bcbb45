#include "RunReport.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <sstream>

#include "common/platform/AbsoluteMapping.h"
#include "common/platform/InputInjector.h"
#include "sim/CameraPose.h"

namespace e2e {

namespace {

using common::MouseFlags::Absolute;
using common::MouseFlags::LeftDown;
using common::MouseFlags::LeftUp;
using common::MouseFlags::Move;
using common::MouseFlags::RightDown;
using common::MouseFlags::RightUp;

cv::Point2d toPoint(int x, int y) {
    return {static_cast<double>(x), static_cast<double>(y)};
}

// Points every `step` pixels along each stroke, with the colour of their stroke.
struct Sample {
    cv::Point2d p;
    std::uint32_t color;
    std::size_t stroke;  // index in the figure
};

std::vector<Sample> samplesAlong(const std::vector<Stroke>& figure, double step) {
    std::vector<Sample> out;
    for (std::size_t j = 0; j < figure.size(); ++j) {
        const Stroke& s = figure[j];
        for (size_t i = 0; i + 1 < s.points.size(); ++i) {
            const cv::Point2d a = s.points[i], b = s.points[i + 1];
            const double length = cv::norm(b - a);
            const int n = std::max(1, static_cast<int>(std::ceil(length / step)));
            for (int k = 0; k < n; ++k) {
                out.push_back({a + (b - a) * (static_cast<double>(k) / n), s.color, j});
            }
        }
        if (!s.points.empty()) {
            out.push_back({s.points.back(), s.color, j});
        }
    }
    return out;
}

// Shortest distance from `p` to the segment a-b.
double distanceToSegment(cv::Point2d p, cv::Point2d a, cv::Point2d b) {
    const cv::Point2d ab = b - a;
    const double length2 = ab.dot(ab);
    if (length2 <= 0) {
        return cv::norm(p - a);
    }
    const double t = std::clamp((p - a).dot(ab) / length2, 0.0, 1.0);
    return cv::norm(p - (a + ab * t));
}

double distanceToFigure(cv::Point2d p, const std::vector<Stroke>& figure) {
    double best = std::numeric_limits<double>::infinity();
    for (const Stroke& s : figure) {
        for (size_t i = 0; i + 1 < s.points.size(); ++i) {
            best = std::min(best, distanceToSegment(p, s.points[i], s.points[i + 1]));
        }
    }
    return best;
}

// A screenshot pixel counts as ink of `color` (0x00BBGGRR) when every channel
// is within a margin of it.
bool inkPixel(const cv::Vec3b& bgr, std::uint32_t color) {
    constexpr int kMargin = 48;
    const int r = static_cast<int>(color & 0xFF), g = static_cast<int>((color >> 8) & 0xFF),
              b = static_cast<int>((color >> 16) & 0xFF);
    return std::abs(bgr[0] - b) <= kMargin && std::abs(bgr[1] - g) <= kMargin &&
           std::abs(bgr[2] - r) <= kMargin;
}

// Share of the samples with an ink pixel of their colour within tol, the
// image's pixel (0, 0) lying at -offset.
double inkShare(const cv::Mat& image, const std::vector<Sample>& samples, cv::Point2d offset,
                double tol) {
    const int reach = static_cast<int>(std::ceil(tol));
    int inked = 0;
    for (const Sample& s : samples) {
        const int cx = static_cast<int>(std::lround(s.p.x + offset.x)),
                  cy = static_cast<int>(std::lround(s.p.y + offset.y));
        bool found = false;
        for (int y = std::max(0, cy - reach); !found && y <= std::min(image.rows - 1, cy + reach);
             ++y) {
            for (int x = std::max(0, cx - reach);
                 !found && x <= std::min(image.cols - 1, cx + reach); ++x) {
                found = inkPixel(image.at<cv::Vec3b>(y, x), s.color);
            }
        }
        inked += found;
    }
    return static_cast<double>(inked) / static_cast<double>(samples.size());
}

std::string fixed(double v, int decimals) {
    if (!std::isfinite(v)) {
        return "null";
    }
    std::ostringstream out;
    out.setf(std::ios::fixed);
    out.precision(decimals);
    out << v;
    return out.str();
}

}  // namespace

double calibrationError(const cv::Matx33d& pose, const cv::Matx33d& tovik, cv::Size screen) {
    constexpr int kColumns = 16, kRows = 10;
    double sum = 0;
    for (int j = 0; j < kRows; ++j) {
        for (int i = 0; i < kColumns; ++i) {
            const cv::Point2d s((i + 0.5) * screen.width / kColumns,
                                (j + 0.5) * screen.height / kRows);
            cv::Point2d camera, back;
            if (!sim::projectPoint(pose, s, camera) || !sim::projectPoint(tovik, camera, back)) {
                return std::numeric_limits<double>::infinity();
            }
            sum += cv::norm(back - s);
        }
    }
    return sum / (kColumns * kRows);
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return Report::kNone;
    }
    std::sort(values.begin(), values.end());
    const double rank = std::ceil(p / 100.0 * static_cast<double>(values.size()));
    const size_t index = static_cast<size_t>(std::clamp(rank, 1.0, double(values.size()))) - 1;
    return values[index];
}

Report computeReport(const RunRecords& run, const Limits& limits) {
    Report r;
    // A check: `why` is its failure unless `ok`.
    auto need = [&r](bool ok, std::string why) {
        if (!ok) {
            r.failures.push_back(std::move(why));
        }
    };
    const cv::Rect target = run.monitor.empty() ? cv::Rect({}, run.screen) : run.monitor;
    // Where the X server put the pointer for an event: absolute coordinates
    // span the target monitor.
    const auto pointerAt = [&target](const TraceEvent& e) {
        const common::PixelPoint at =
            common::absoluteToPixel(e.dx, e.dy, {target.x, target.y, target.width, target.height});
        return toPoint(at.x, at.y);
    };

    // Calibration: the last one that completed.
    if (!run.trace.calibrations.empty()) {
        const TraceCalibration& c = run.trace.calibrations.back();
        r.calibration = c.kind;
        r.calibrationErrorPx = calibrationError(run.pose, c.homography, target.size());
    }
    // Every calibration Tovik accepted, not only the last, is held to the pose.
    for (const TraceCalibration& c : run.trace.calibrations) {
        const double error = calibrationError(run.pose, c.homography, target.size());
        need(error <= limits.calibrationErrorPx,
             "an accepted " + c.kind + " calibration is " + fixed(error, 1) +
                 " px off over the screen (limit " + fixed(limits.calibrationErrorPx, 1) + ")");
    }
    need(r.calibration == limits.calibration,
         "the " + limits.calibration + " calibration did not complete" +
             (r.calibration.empty() ? std::string() : " (" + r.calibration + " did)"));

    // Tracking rate and per-frame work.
    r.frames = run.trace.frames.size();
    if (!run.trace.frames.empty()) {
        const double work = std::accumulate(
            run.trace.frames.begin(), run.trace.frames.end(), 0.0,
            [](double sum, const TraceFrame& f) { return sum + static_cast<double>(f.processUs); });
        r.detectMsMean = work / 1000.0 / static_cast<double>(r.frames);
        const double spanS = static_cast<double>(run.trace.frames.back().captureUs -
                                                 run.trace.frames.front().captureUs) /
                             1e6;
        if (r.frames > 1 && spanS > 0) {
            r.fps = static_cast<double>(r.frames - 1) / spanS;
        }
    }
    need(r.frames > 0, "tracking processed no frame");

    // Pointer events against the pen's true position in their own frame.
    std::map<std::uint64_t, const SimFrame*> byNumber;
    for (const SimFrame& f : run.simFrames) {
        byNumber[f.number] = &f;
    }
    std::vector<double> errors, latencies;
    int unknownFrames = 0, unbalanced = 0, rightUnbalanced = 0;
    bool down = false, rightDown = false;
    for (const TraceEvent& e : run.trace.events) {
        if (e.captureUs == 0) {
            ++unknownFrames;
        } else {
            latencies.push_back(static_cast<double>(e.sendUs - e.captureUs) / 1000.0);
        }
        // A plain absolute move: the tap snapping moves (with a button) go to
        // the first press point on purpose and are not measured.
        if ((e.flags & (Move | Absolute)) == (Move | Absolute) &&
            (e.flags & (LeftDown | LeftUp)) == 0) {
            ++r.moveEvents;
            const auto it = byNumber.find(e.frame);
            if (e.captureUs == 0 || it == byNumber.end() || it->second->captureUs != e.captureUs) {
                ++unknownFrames;
                continue;
            }
            errors.push_back(cv::norm(pointerAt(e) - it->second->pen));
        }
        if ((e.flags & LeftDown) != 0) {
            ++r.pressCount;
            unbalanced += down ? 1 : 0;
            down = true;
        }
        if ((e.flags & LeftUp) != 0) {
            ++r.releaseCount;
            unbalanced += down ? 0 : 1;
            down = false;
        }
        // A right click comes after the left button's release.
        if ((e.flags & RightDown) != 0) {
            rightUnbalanced += (rightDown || down) ? 1 : 0;
            rightDown = true;
        }
        if ((e.flags & RightUp) != 0) {
            r.rightClickCount += rightDown ? 1 : 0;
            rightUnbalanced += rightDown ? 0 : 1;
            rightDown = false;
        }
    }
    if (!errors.empty()) {
        r.pointerErrorMeanPx =
            std::accumulate(errors.begin(), errors.end(), 0.0) / static_cast<double>(errors.size());
        r.pointerErrorMaxPx = *std::max_element(errors.begin(), errors.end());
    }
    r.latencyMsP95 = percentile(latencies, 95);
    r.inkLatencyMsP95 = percentile(run.inkLatenciesMs, 95);
    if (errors.empty()) {
        need(false, "no pointer move to measure");
    } else {
        need(r.pointerErrorMeanPx < limits.pointerMeanPx,
             "mean pointer error " + fixed(r.pointerErrorMeanPx, 2) + " px");
        need(r.pointerErrorMaxPx < limits.pointerMaxPx,
             "largest pointer error " + fixed(r.pointerErrorMaxPx, 2) + " px");
    }
    need(unknownFrames == 0,
         std::to_string(unknownFrames) + " pointer events without a known camera frame");

    // The pointer while the pen is held still: its position at each frame of
    // a hold is that of the last absolute move caused by a frame up to it.
    {
        std::map<std::uint64_t, cv::Point2d> moveAt;  // by causing frame
        for (const TraceEvent& e : run.trace.events) {
            if ((e.flags & (Move | Absolute)) == (Move | Absolute)) {
                moveAt[e.frame] = pointerAt(e);
            }
        }
        double sum = 0;
        int samples = 0;
        // Runs of frames with the pen lit at one place; those of 20 frames
        // or more count, from their 10th frame on.
        const std::vector<SimFrame>& f = run.simFrames;
        for (size_t begin = 0, i = 1; i <= f.size(); ++i) {
            if (i < f.size() && f[i].lit && f[begin].lit && f[i].pen == f[begin].pen) {
                continue;
            }
            std::vector<cv::Point2d> held;
            for (size_t j = begin + 10; i - begin >= 20 && j < i; ++j) {
                const auto it = moveAt.upper_bound(f[j].number);
                if (it != moveAt.begin()) {
                    held.push_back(std::prev(it)->second);
                }
            }
            begin = i;
            const cv::Point2d mean = std::accumulate(held.begin(), held.end(), cv::Point2d()) /
                                     std::max<double>(1, held.size());
            for (const cv::Point2d& p : held) {
                sum += (p - mean).dot(p - mean);
                ++samples;
            }
        }
        if (samples > 0) {
            r.holdJitterPxRms = std::sqrt(sum / samples);
            need(r.holdJitterPxRms < limits.holdJitterPx,
                 "pointer jitter while held " + fixed(r.holdJitterPxRms, 2) + " px RMS");
        }
    }
    need(r.pressCount > 0, "no button press");
    need(unbalanced == 0 && !down && r.pressCount == r.releaseCount,
         "presses and releases do not pair up (" + std::to_string(r.pressCount) + " / " +
             std::to_string(r.releaseCount) + ")");

    need(rightUnbalanced == 0 && !rightDown, "right presses and releases do not pair up");
    need(limits.rightClicks < 0 || r.rightClickCount == limits.rightClicks,
         std::to_string(r.rightClickCount) + " right clicks, " +
             std::to_string(limits.rightClicks) + " expected");

    // Kalvo's ink against the figure.
    const std::vector<Sample> samples = samplesAlong(run.figure, 3.0);
    const double tol = limits.inkTolerancePx;
    if (run.segments) {
        // Kalvo keeps its segments in desktop pixels, as the figure is.
        const std::vector<Segment>& segs = *run.segments;
        r.segments = static_cast<int>(segs.size());
        if (!samples.empty()) {
            int covered = 0;
            // Per stroke: samples, and those with ink nearby.
            std::vector<std::pair<int, int>> strokes(run.figure.size());
            for (const Sample& s : samples) {
                const bool inked = std::any_of(segs.begin(), segs.end(), [&](const Segment& g) {
                    return g.color == s.color &&
                           distanceToSegment(s.p, toPoint(g.x1, g.y1), toPoint(g.x2, g.y2)) <= tol;
                });
                covered += inked;
                strokes[s.stroke].first += 1;
                strokes[s.stroke].second += inked;
            }
            r.figureCoverage = static_cast<double>(covered) / static_cast<double>(samples.size());
            // A stroke lost whole (an undo too many, a wiped board) hides in
            // the total of a large figure.
            for (std::size_t j = 0; j < strokes.size(); ++j) {
                const auto [all, inked] = strokes[j];
                need(inked * 2 >= all,
                     "stroke " + std::to_string(j + 1) + " of the figure has no ink along " +
                         std::to_string(100 - inked * 100 / std::max(all, 1)) + " % of it");
            }
        }
        if (!segs.empty()) {
            int along = 0;
            for (const Segment& g : segs) {
                along += distanceToFigure(toPoint(g.x1, g.y1), run.figure) <= tol &&
                         distanceToFigure(toPoint(g.x2, g.y2), run.figure) <= tol;
            }
            r.segmentsOnFigure = static_cast<double>(along) / static_cast<double>(segs.size());
        }
    }
    if (run.figure.empty() || !run.segments) {
        need(false, run.figure.empty() ? "no figure to compare the ink with"
                                       : "Kalvo left no document dump");
    } else {
        need(r.figureCoverage >= limits.minCoverage,
             "Kalvo's segments cover " + fixed(r.figureCoverage * 100, 0) + " % of the figure");
        need(r.segmentsOnFigure >= limits.minOnFigure,
             fixed(r.segmentsOnFigure * 100, 0) + " % of Kalvo's segments lie on the figure");
    }
    if (!run.screenshot.empty() && !samples.empty()) {
        r.screenInk = inkShare(run.screenshot, samples, {0, 0}, tol);
        need(r.screenInk >= limits.minScreenInk,
             "the screenshot shows ink along " + fixed(r.screenInk * 100, 0) + " % of the figure");
    }
    // Kalvo's saved picture holds the monitor its surfaces cover.
    if (!run.savedPicture.empty() && !samples.empty()) {
        const double saved = inkShare(run.savedPicture, samples, -cv::Point2d(target.tl()), tol);
        need(saved >= limits.minScreenInk,
             "the saved picture shows ink along " + fixed(saved * 100, 0) + " % of the figure");
    }
    need(run.leftoverProcesses <= 0,
         std::to_string(run.leftoverProcesses) + " processes left behind");
    r.ok = r.failures.empty();
    return r;
}

std::string reportJson(const Report& r) {
    std::ostringstream out;
    out << "{\n"
        << "  \"calibration\": "
        << (r.calibration.empty() ? std::string("null") : "\"" + r.calibration + "\"") << ",\n"
        << "  \"calibration_error_px\": " << fixed(r.calibrationErrorPx, 3) << ",\n"
        << "  \"pointer_error_mean_px\": " << fixed(r.pointerErrorMeanPx, 3) << ",\n"
        << "  \"pointer_error_max_px\": " << fixed(r.pointerErrorMaxPx, 3) << ",\n"
        << "  \"press_count\": " << r.pressCount << ",\n"
        << "  \"release_count\": " << r.releaseCount << ",\n"
        << "  \"right_click_count\": " << r.rightClickCount << ",\n"
        << "  \"frames\": " << r.frames << ",\n"
        << "  \"fps\": " << fixed(r.fps, 2) << ",\n"
        << "  \"detect_ms_mean\": " << fixed(r.detectMsMean, 3) << ",\n"
        << "  \"latency_ms_p95\": " << fixed(r.latencyMsP95, 2) << ",\n"
        << "  \"hold_jitter_px_rms\": " << fixed(r.holdJitterPxRms, 3) << ",\n"
        << "  \"ink_latency_ms_p95\": " << fixed(r.inkLatencyMsP95, 2) << ",\n"
        << "  \"segments\": " << (r.segments < 0 ? std::string("null") : std::to_string(r.segments))
        << ",\n"
        << "  \"ok\": " << (r.ok ? "true" : "false") << "\n"
        << "}\n";
    return out.str();
}

std::string reportText(const Report& r) {
    std::ostringstream out;
    out << "calibration   " << (r.calibration.empty() ? "none" : r.calibration) << ", mean error "
        << fixed(r.calibrationErrorPx, 2) << " px over the screen\n"
        << "pointer       error mean " << fixed(r.pointerErrorMeanPx, 2) << " px, max "
        << fixed(r.pointerErrorMaxPx, 2) << " px over " << r.moveEvents << " moves; "
        << r.pressCount << " presses, " << r.releaseCount << " releases, " << r.rightClickCount
        << " right clicks\n"
        << "tracking      " << r.frames << " frames at " << fixed(r.fps, 1) << " fps, "
        << fixed(r.detectMsMean, 2) << " ms per frame, latency p95 " << fixed(r.latencyMsP95, 1)
        << " ms, held-pen jitter " << fixed(r.holdJitterPxRms, 2) << " px RMS, ink latency p95 "
        << fixed(r.inkLatencyMsP95, 1) << " ms\n"
        << "ink           "
        << (r.segments < 0 ? std::string("no dump") : std::to_string(r.segments)) << " segments, "
        << fixed(r.figureCoverage * 100, 0) << " % of the figure covered, "
        << fixed(r.segmentsOnFigure * 100, 0) << " % on the figure";
    if (std::isfinite(r.screenInk)) {
        out << ", " << fixed(r.screenInk * 100, 0) << " % visible";
    }
    out << "\n" << (r.ok ? "ok" : "FAILED") << "\n";
    for (const std::string& f : r.failures) {
        out << "  - " << f << "\n";
    }
    return out.str();
}

}  // namespace e2e
