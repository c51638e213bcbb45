#include "tovik/calibration/LensEstimate.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include <opencv2/calib3d.hpp>

namespace tovik {

double BoardFitError(const LensModel& lens, const std::vector<cv::Point2f>& camera,
                     const std::vector<cv::Point2f>& screen) {
    constexpr double kFailed = std::numeric_limits<double>::infinity();
    if (camera.size() < 9 || camera.size() != screen.size()) {
        return kFailed;
    }
    const std::vector<cv::Point2f> straight = lens.undistort(camera);
    cv::Mat h;
    try {
        h = cv::findHomography(straight, screen, 0);
    } catch (const cv::Exception&) {
        return kFailed;
    }
    if (h.rows != 3 || h.cols != 3) {
        return kFailed;
    }
    std::vector<cv::Point2f> mapped;
    cv::perspectiveTransform(straight, mapped, h);
    double sum = 0;
    for (size_t i = 0; i < mapped.size(); ++i) {
        const cv::Point2f d = mapped[i] - screen[i];
        sum += d.dot(d);
    }
    return std::sqrt(sum / static_cast<double>(mapped.size()));
}

std::optional<LensModel> EstimateLens(const std::vector<cv::Point2f>& camera,
                                      const std::vector<cv::Point2f>& screen, cv::Size frame) {
    if (frame.empty()) {
        return std::nullopt;
    }
    // The focal length only sets the unit of k1 and k2: any value of the
    // right size does, the fit adjusts the coefficients to it.
    LensModel lens;
    lens.valid = true;
    lens.focal = frame.width;
    lens.centre = {frame.width / 2.0, frame.height / 2.0};
    auto cost = [&](double k1, double k2) {
        LensModel l = lens;
        l.k1 = k1;
        l.k2 = k2;
        return BoardFitError(l, camera, screen);
    };
    const double plain = cost(0, 0);
    if (!std::isfinite(plain)) {
        return std::nullopt;
    }
    // k1 alone, by a golden section search (the cost has one valley in
    // this range).
    const auto k1Only = [&]() -> std::optional<LensModel> {
        double lo = -0.8, hi = 0.5;
        const double g = (std::sqrt(5.0) - 1) / 2;
        double a = hi - g * (hi - lo), b = lo + g * (hi - lo);
        double fa = cost(a, 0), fb = cost(b, 0);
        for (int i = 0; i < 60; ++i) {
            if (fa < fb) {
                hi = b;
                b = a;
                fb = fa;
                a = hi - g * (hi - lo);
                fa = cost(a, 0);
            } else {
                lo = a;
                a = b;
                fa = fb;
                b = lo + g * (hi - lo);
                fb = cost(b, 0);
            }
        }
        LensModel l = lens;
        l.k1 = (lo + hi) / 2;
        l.k2 = 0;
        const double best = cost(l.k1, 0);
        const cv::Point2f corner(0, 0);
        if (!(best < 0.8 * plain) || cv::norm(l.distort(l.undistort(corner)) - corner) > 0.05) {
            return std::nullopt;
        }
        return l;
    };
    if (camera.size() < 20) {
        // Nine touches: too few for two coefficients.
        return k1Only();
    }
    // Nelder-Mead over (k1, k2): two unknowns, a smooth cost, a few hundred
    // homography fits of 35 points.
    struct Vertex {
        double k1, k2, f;
    };
    std::array<Vertex, 3> s{{{0, 0, plain}, {0.05, 0, cost(0.05, 0)}, {0, 0.05, cost(0, 0.05)}}};
    for (int iteration = 0; iteration < 300; ++iteration) {
        std::sort(s.begin(), s.end(), [](const Vertex& a, const Vertex& b) { return a.f < b.f; });
        if (std::abs(s[2].f - s[0].f) < 1e-7 && std::abs(s[2].k1 - s[0].k1) < 1e-7) {
            break;
        }
        const double c1 = (s[0].k1 + s[1].k1) / 2, c2 = (s[0].k2 + s[1].k2) / 2;
        auto at = [&](double t) {
            const double k1 = c1 + t * (s[2].k1 - c1), k2 = c2 + t * (s[2].k2 - c2);
            return Vertex{k1, k2, cost(k1, k2)};
        };
        const Vertex reflected = at(-1);
        if (reflected.f < s[0].f) {
            const Vertex expanded = at(-2);
            s[2] = expanded.f < reflected.f ? expanded : reflected;
        } else if (reflected.f < s[1].f) {
            s[2] = reflected;
        } else {
            const Vertex contracted = at(0.5);
            if (contracted.f < s[2].f) {
                s[2] = contracted;
            } else {
                for (int i = 1; i < 3; ++i) {
                    s[i].k1 = (s[i].k1 + s[0].k1) / 2;
                    s[i].k2 = (s[i].k2 + s[0].k2) / 2;
                    s[i].f = cost(s[i].k1, s[i].k2);
                }
            }
        }
    }
    const Vertex best = *std::min_element(
        s.begin(), s.end(), [](const Vertex& a, const Vertex& b) { return a.f < b.f; });
    lens.k1 = best.k1;
    lens.k2 = best.k2;
    // Worth it only when the board fits clearly better; and the model must
    // stay invertible over the whole frame. A board that covers little of
    // the frame's radius leaves k2 loose enough to bend the model back on
    // itself at the frame's corners: k1 alone then.
    const cv::Point2f corner(0, 0);
    const cv::Point2f back = lens.distort(lens.undistort(corner));
    if (!(best.f < 0.8 * plain) || std::abs(lens.k1) > 1 || std::abs(lens.k2) > 1 ||
        cv::norm(back - corner) > 0.05) {
        return k1Only();
    }
    return lens;
}

}  // namespace tovik
