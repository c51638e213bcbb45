#include "tovik/calibration/CalibrationCheck.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <opencv2/calib3d.hpp>

namespace tovik {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

double cross(cv::Point2f a, cv::Point2f b, cv::Point2f c) {
    return static_cast<double>(b.x - a.x) * (c.y - a.y) -
           static_cast<double>(b.y - a.y) * (c.x - a.x);
}

int sign(double v) {
    return v > 0 ? 1 : (v < 0 ? -1 : 0);
}

// Distance between where the calibration puts a camera point and its target.
double errorOf(const cv::Matx33d& h, const LensModel& lens, cv::Point2f camera,
               cv::Point2f screen) {
    const cv::Point2f straight = lens.undistort(camera);
    const cv::Vec3d p = h * cv::Vec3d(straight.x, straight.y, 1.0);
    if (std::fabs(p[2]) < 1e-12) {
        return kInfinity;
    }
    const double e = std::hypot(p[0] / p[2] - screen.x, p[1] / p[2] - screen.y);
    return std::isfinite(e) ? e : kInfinity;
}

// The homography between the frame and the screen each scaled to -1..1:
// its condition number says how evenly it treats the two directions.
double conditionNumber(const cv::Matx33d& h, cv::Size frame, common::ScreenSize screen) {
    const cv::Matx33d toUnitCamera(2.0 / frame.width, 0, -1, 0, 2.0 / frame.height, -1, 0, 0, 1);
    const cv::Matx33d toUnitScreen(2.0 / screen.width, 0, -1, 0, 2.0 / screen.height, -1, 0, 0, 1);
    const cv::Matx33d n = toUnitScreen * h * toUnitCamera.inv();
    cv::Mat w;
    cv::SVD::compute(cv::Mat(n), w, cv::SVD::NO_UV);
    const double smallest = w.at<double>(2);
    return smallest > 0 ? w.at<double>(0) / smallest : kInfinity;
}

CalibrationFault checkTouches(const std::vector<cv::Point2f>& camera,
                              const std::vector<cv::Point2f>& screen) {
    const size_t n = std::min(camera.size(), screen.size());
    // Two touches at one place: far closer than the dots' spacing.
    std::vector<double> nearest(n, kInfinity);
    for (size_t i = 0; i < n; ++i) {
        for (size_t j = 0; j < n; ++j) {
            if (i != j) {
                nearest[i] = std::min(nearest[i], cv::norm(camera[i] - camera[j]));
            }
        }
    }
    std::vector<double> sorted = nearest;
    std::sort(sorted.begin(), sorted.end());
    if (n > 2 && sorted.front() < 0.2 * sorted[n / 2]) {
        return CalibrationFault::DotTouchedTwice;
    }
    // Every triangle of dots turns the same way in the camera as on the
    // screen, or every one the other way (a mirrored view); touches taken in
    // another order break that.
    int same = 0;
    int opposite = 0;
    for (size_t i = 0; i < n; ++i) {
        for (size_t j = i + 1; j < n; ++j) {
            for (size_t k = j + 1; k < n; ++k) {
                const int s = sign(cross(screen[i], screen[j], screen[k]));
                if (s == 0) {
                    continue;  // a row, column or diagonal of dots
                }
                (s == sign(cross(camera[i], camera[j], camera[k])) ? same : opposite) += 1;
            }
        }
    }
    return same > 0 && opposite > 0 ? CalibrationFault::DotOrder : CalibrationFault::None;
}

}  // namespace

std::optional<cv::Point2f> CameraOfScreen(const cv::Matx33f& homography, const LensModel& lens,
                                          cv::Point2f screen) {
    const cv::Matx33d inverse = cv::Matx33d(homography).inv();
    const cv::Vec3d p = inverse * cv::Vec3d(screen.x, screen.y, 1.0);
    if (std::fabs(p[2]) < 1e-12) {
        return std::nullopt;
    }
    // The camera's side of the horizon: points the camera sees map with the
    // sign the image's origin has.
    const cv::Vec3d h = cv::Matx33d(homography) * cv::Vec3d(0, 0, 1);
    if (sign(p[2]) != sign(h[2]) || !std::isfinite(p[0] / p[2]) || !std::isfinite(p[1] / p[2])) {
        return std::nullopt;
    }
    return lens.distort(
        cv::Point2f(static_cast<float>(p[0] / p[2]), static_cast<float>(p[1] / p[2])));
}

CalibrationFault CheckCalibration(const CalibrationCandidate& c) {
    const size_t n = c.camera.size();
    if (n < 4 || n != c.screen.size() || c.frame.empty() || c.screenSize.width <= 0 ||
        c.screenSize.height <= 0) {
        return CalibrationFault::PoorFit;
    }
    if (c.touches) {
        if (const CalibrationFault f = checkTouches(c.camera, c.screen);
            f != CalibrationFault::None) {
            return f;
        }
    }
    const cv::Matx33d h(c.homography);
    for (size_t k = 0; k < n; ++k) {
        if (!(errorOf(h, c.lens, c.camera[k], c.screen[k]) < kMaxFitErrorPx)) {
            return CalibrationFault::PoorFit;
        }
    }
    // Each point predicted by a fit of all the others.
    const std::vector<cv::Point2f> straight = c.lens.undistort(c.camera);
    for (size_t k = 0; k < n; ++k) {
        std::vector<cv::Point2f> from;
        std::vector<cv::Point2f> to;
        for (size_t j = 0; j < n; ++j) {
            if (j != k) {
                from.push_back(straight[j]);
                to.push_back(c.screen[j]);
            }
        }
        cv::Mat others;
        try {
            others = cv::findHomography(from, to, 0);
        } catch (const cv::Exception&) {
            return CalibrationFault::PoorPrediction;
        }
        if (others.rows != 3 || others.cols != 3 ||
            !(errorOf(cv::Matx33d(others), LensModel{}, straight[k], c.screen[k]) <
              kMaxHeldOutPx)) {
            return CalibrationFault::PoorPrediction;
        }
    }
    if (!(conditionNumber(h, c.frame, c.screenSize) < kMaxCondition)) {
        return CalibrationFault::IllConditioned;
    }
    // The screen's corners, clockwise from the top-left, in the camera image.
    const auto w = static_cast<float>(c.screenSize.width - 1);
    const auto hg = static_cast<float>(c.screenSize.height - 1);
    std::array<cv::Point2f, 4> quad;
    const std::array<cv::Point2f, 4> corners{cv::Point2f(0, 0), cv::Point2f(w, 0),
                                             cv::Point2f(w, hg), cv::Point2f(0, hg)};
    for (size_t k = 0; k < 4; ++k) {
        const auto q = CameraOfScreen(c.homography, c.lens, corners[k]);
        if (!q) {
            // Part of the screen beyond the camera's horizon: far too steep.
            return CalibrationFault::IllConditioned;
        }
        if (q->x < 0 || q->y < 0 || q->x > static_cast<float>(c.frame.width - 1) ||
            q->y > static_cast<float>(c.frame.height - 1)) {
            return CalibrationFault::ScreenNotInView;
        }
        quad[k] = *q;
    }
    // Convex, and turning the way the pattern turns in the picture; the
    // pattern's anchors land where they are on the screen.
    const int turn = sign(cross(c.anchorCamera[0], c.anchorCamera[1], c.anchorCamera[2]));
    for (size_t k = 0; k < 4; ++k) {
        if (sign(cross(quad[k], quad[(k + 1) % 4], quad[(k + 2) % 4])) != turn) {
            return CalibrationFault::WrongOrientation;
        }
    }
    for (size_t k = 0; k < 3; ++k) {
        if (!(errorOf(h, c.lens, c.anchorCamera[k], c.anchorScreen[k]) < kMaxFitErrorPx)) {
            return CalibrationFault::WrongOrientation;
        }
    }
    return CalibrationFault::None;
}

std::array<cv::Point, 5> CheckMarkOrigins(common::ScreenSize screen) {
    // Near the corners, each one set off along a different edge, so that no
    // mirror or half turn of the screen lays one mark on another.
    constexpr int kInset = 64;
    constexpr int kOffset = 100;
    const int half = kCheckMarkSize / 2;
    const int r = screen.width - 1 - kInset;
    const int b = screen.height - 1 - kInset;
    return {cv::Point(kInset - half, kInset - half), cv::Point(r - half, kInset + kOffset - half),
            cv::Point(r - kOffset - half, b - half), cv::Point(kInset - half, b - kOffset - half),
            cv::Point(screen.width / 2 - half, screen.height / 2 - half)};
}

cv::Point2f CheckMarkCentre(cv::Point origin) {
    const float half = (kCheckMarkSize - 1) / 2.0f;
    return {static_cast<float>(origin.x) + half, static_cast<float>(origin.y) + half};
}

std::optional<cv::Point2f> FindCheckMark(const cv::Mat& grey, cv::Point2f expected,
                                         double searchRadius) {
    constexpr double kMinContrast = 12.0;
    if (grey.empty() || grey.type() != CV_8UC1) {
        return std::nullopt;
    }
    const int r = std::max(3, static_cast<int>(std::lround(searchRadius)));
    cv::Point2f centre = expected;
    // Twice: the second pass is centred on the blob the first one found.
    for (int pass = 0; pass < 2; ++pass) {
        const cv::Rect window =
            cv::Rect(static_cast<int>(std::lround(centre.x)) - r,
                     static_cast<int>(std::lround(centre.y)) - r, 2 * r + 1, 2 * r + 1) &
            cv::Rect(0, 0, grey.cols, grey.rows);
        if (window.width < r || window.height < r) {
            return std::nullopt;
        }
        const cv::Mat part = grey(window);
        double darkest = 0;
        double brightest = 0;
        cv::minMaxLoc(part, &darkest, &brightest);
        if (brightest - darkest < kMinContrast) {
            return std::nullopt;
        }
        // The pixels darker than halfway, weighted by how much darker.
        const double half = (darkest + brightest) / 2.0;
        double sum = 0;
        double sx = 0;
        double sy = 0;
        bool atBorder = false;
        for (int y = 0; y < part.rows; ++y) {
            for (int x = 0; x < part.cols; ++x) {
                const double weight = half - part.at<uchar>(y, x);
                if (weight <= 0) {
                    continue;
                }
                sum += weight;
                sx += weight * x;
                sy += weight * y;
                atBorder = atBorder || x == 0 || y == 0 || x == part.cols - 1 || y == part.rows - 1;
            }
        }
        if (sum <= 0) {
            return std::nullopt;
        }
        centre = {static_cast<float>(window.x + sx / sum), static_cast<float>(window.y + sy / sum)};
        // On the last pass the blob must lie whole inside the window: dark
        // pixels at its edge are something else (the screen's border, a
        // shadow) or a mark cut off.
        if (pass == 1 && atBorder) {
            return std::nullopt;
        }
    }
    return centre;
}

}  // namespace tovik
