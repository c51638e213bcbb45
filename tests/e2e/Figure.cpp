#include "Figure.h"

#include <cmath>
#include <numbers>

namespace e2e {

namespace {

cv::Point2d at(const cv::Rect2d& box, double u, double v) {
    return {box.x + u * box.width, box.y + v * box.height};
}

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", v);
    return text;
}

}  // namespace

bool parseFigurePart(std::string_view name, FigurePart& part) {
    const std::pair<std::string_view, FigurePart> names[] = {
        {"house", FigurePart::House}, {"star", FigurePart::Star}, {"ok", FigurePart::Ok}};
    for (const auto& [n, p] : names) {
        if (n == name) {
            part = p;
            return true;
        }
    }
    return false;
}

std::vector<Stroke> figureStrokes(FigurePart part, const cv::Rect2d& box, std::uint32_t color) {
    std::vector<Stroke> strokes;
    switch (part) {
        case FigurePart::House:
            // Walls, roof, door.
            strokes.push_back({color,
                               {at(box, 0.1, 0.45), at(box, 0.1, 1.0), at(box, 0.9, 1.0),
                                at(box, 0.9, 0.45), at(box, 0.1, 0.45)}});
            strokes.push_back({color, {at(box, 0.05, 0.5), at(box, 0.5, 0.0), at(box, 0.95, 0.5)}});
            strokes.push_back(
                {color,
                 {at(box, 0.4, 1.0), at(box, 0.4, 0.7), at(box, 0.6, 0.7), at(box, 0.6, 1.0)}});
            break;
        case FigurePart::Star: {
            // Five points, drawn in one line through every second one.
            Stroke s{color, {}};
            const double r = 0.5;
            for (int k = 0; k <= 5; ++k) {
                const double a = -std::numbers::pi / 2 + k * 4 * std::numbers::pi / 5;
                s.points.push_back(at(box, 0.5 + r * std::cos(a), 0.52 + r * std::sin(a)));
            }
            strokes.push_back(std::move(s));
            break;
        }
        case FigurePart::Ok: {
            // "O" as a 24-sided ellipse in the left half, "K" in the right.
            Stroke o{color, {}};
            for (int k = 0; k <= 24; ++k) {
                const double a = -std::numbers::pi / 2 + k * 2 * std::numbers::pi / 24;
                o.points.push_back(at(box, 0.23 + 0.2 * std::cos(a), 0.5 + 0.45 * std::sin(a)));
            }
            strokes.push_back(std::move(o));
            strokes.push_back({color, {at(box, 0.6, 0.05), at(box, 0.6, 0.95)}});
            strokes.push_back(
                {color, {at(box, 0.95, 0.05), at(box, 0.62, 0.52), at(box, 0.95, 0.95)}});
            break;
        }
    }
    return strokes;
}

cv::Rect2d figureBox(FigurePart part, cv::Size screen) {
    const double w = screen.width, h = screen.height;
    const double side = std::min(w * 0.22, h * 0.4);
    const double top = h * 0.3;
    const double centre = part == FigurePart::House ? 0.22 : part == FigurePart::Star ? 0.5 : 0.78;
    return {w * centre - side / 2, top, side, side};
}

std::vector<std::string> penScript(const std::vector<Stroke>& strokes, const PenTiming& timing) {
    std::vector<std::string> lines;
    for (const Stroke& s : strokes) {
        if (s.points.empty()) {
            continue;
        }
        const cv::Point2d first = s.points.front();
        lines.insert(lines.end(), {"move " + number(first.x) + " " + number(first.y),
                                   "wait " + std::to_string(timing.settleMs), "f13 1", "lit 1",
                                   "wait " + std::to_string(timing.holdMs)});
        for (size_t i = 0; i + 1 < s.points.size(); ++i) {
            const cv::Point2d a = s.points[i], b = s.points[i + 1];
            const int ms = std::max(
                1, static_cast<int>(std::lround(cv::norm(b - a) / timing.speedPxPerS * 1000)));
            lines.push_back("path " + number(a.x) + " " + number(a.y) + " " + number(b.x) + " " +
                            number(b.y) + " " + std::to_string(ms));
        }
        lines.insert(lines.end(), {"wait " + std::to_string(timing.holdMs), "lit 0", "f13 0",
                                   "wait " + std::to_string(timing.liftMs)});
    }
    return lines;
}

std::vector<std::string> tapScript(cv::Point2d point, int holdMs) {
    return {"move " + number(point.x) + " " + number(point.y),
            "wait 90",
            "f13 1",
            "lit 1",
            "wait " + std::to_string(holdMs),
            "lit 0",
            "f13 0",
            "wait 200"};
}

}  // namespace e2e
