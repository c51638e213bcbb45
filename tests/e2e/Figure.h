#pragma once
// The figure the simulated pen draws — a house, a star and the word "OK" —
// and the pen's control-language lines that draw it.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <opencv2/core.hpp>

#include "RunLogs.h"

namespace e2e {

enum class FigurePart { House, Star, Ok };

// "house", "star", "ok"; false for anything else.
[[nodiscard]] bool parseFigurePart(std::string_view name, FigurePart& part);

// The strokes of one part inside `box` (screen pixels), in `color`
// (0x00BBGGRR).
[[nodiscard]] std::vector<Stroke> figureStrokes(FigurePart part, const cv::Rect2d& box,
                                                std::uint32_t color);

// Where each part goes on a screen of `screen` size: side by side across the
// middle band, clear of the edges where the toolbar and panels sit.
[[nodiscard]] cv::Rect2d figureBox(FigurePart part, cv::Size screen);

struct PenTiming {
    double speedPxPerS = 350;  // along a stroke
    int settleMs = 90;         // dark pen at the start point before it lights
    int holdMs = 110;          // lit and still at both ends of a stroke
    int liftMs = 160;          // dark after a stroke
};

// move, f13 1, lit 1, path..., lit 0, f13 0 for each stroke.
[[nodiscard]] std::vector<std::string> penScript(const std::vector<Stroke>& strokes,
                                                 const PenTiming& timing = {});
// A press of the pen button at one point, held `holdMs`.
[[nodiscard]] std::vector<std::string> tapScript(cv::Point2d at, int holdMs = 150);

}  // namespace e2e
