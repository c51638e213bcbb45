#include "tovik/calibration/CalibrationState.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "tovik/tracking/HomographyMap.h"

namespace tovik {

std::int32_t ComputeAutoThreshold(const cv::Mat& image) {
    // Columns 160..479, rows 130..359, clipped to the image: a smaller frame
    // contributes the part of the region it has.
    const cv::Rect region = cv::Rect(160, 130, 320, 230) & cv::Rect(0, 0, image.cols, image.rows);
    std::int64_t mean = 0;
    if (!image.empty() && region.area() > 0) {
        const double sum = cv::sum(image(region))[0];
        mean = static_cast<std::int64_t>(sum) / region.area();
    }
    // A mean of exactly 50, 100 or 130 sits between two bands and takes the
    // threshold of the band above it.
    if (mean < 50) {
        return 150;
    }
    if (mean < 100) {
        return 160;
    }
    if (mean < 130) {
        return 170;
    }
    if (mean < 160) {
        return 180;
    }
    if (mean <= 180) {
        return static_cast<std::int32_t>(mean);
    }
    return static_cast<std::int32_t>(mean + 200);
}

namespace {

// Whether camera point (x, y) maps strictly inside a screen of W x H: the
// per-pixel definition both computations share.
bool mapsInside(const cv::Matx33f& h, float x, float y, double W, double H) {
    const cv::Vec3f o = ApplyHomography(h, x, y);
    if (o[2] == 0.0f) {
        return false;  // u / 0 is infinite or undefined, never strictly inside
    }
    const double w = o[2];
    const double X = o[0] / w;
    const double Y = o[1] / w;
    return 0 < X && X < W && 0 < Y && Y < H;
}

bool mapsInside(const cv::Matx33f& h, int x, int y, double W, double H) {
    return mapsInside(h, static_cast<float>(x), static_cast<float>(y), W, H);
}

// The same for a pixel straightened by the lens first, as tracking
// straightens the spot.
bool mapsInside(const cv::Matx33f& h, const LensModel& lens, int x, int y, double W, double H) {
    const cv::Point2f p = lens.undistort({static_cast<float>(x), static_cast<float>(y)});
    return mapsInside(h, p.x, p.y, W, H);
}

DetectionWindow centreOf(cv::Size frame) {
    return {frame.width / 2, frame.width / 2, frame.height / 2, frame.height / 2};
}

void widen(DetectionWindow& win, int x, int y) {
    win.left = std::min(win.left, x);
    win.right = std::max(win.right, x);
    win.top = std::min(win.top, y);
    win.bottom = std::max(win.bottom, y);
}

struct Span {
    int lo;
    int hi;  // inclusive; empty when hi < lo
    [[nodiscard]] bool empty() const { return hi < lo; }
};

// Narrows span to the integer x in it that may satisfy alpha*x + beta > -slack.
void keepWhere(Span& s, double alpha, double beta, double slack) {
    if (s.empty()) {
        return;
    }
    if (alpha == 0.0) {
        if (!(beta > -slack)) {
            s.hi = s.lo - 1;
        }
        return;
    }
    double t = (-slack - beta) / alpha;
    if (std::isnan(t)) {
        return;  // keep everything: the exact test decides
    }
    // One extra pixel on each side absorbs the rounding of t itself.
    t = std::clamp(t, static_cast<double>(s.lo) - 4.0, static_cast<double>(s.hi) + 4.0);
    if (alpha > 0) {
        s.lo = std::max(s.lo, static_cast<int>(std::floor(t)) - 1);
    } else {
        s.hi = std::min(s.hi, static_cast<int>(std::ceil(t)) + 1);
    }
}

}  // namespace

DetectionWindow ComputeDetectionWindowNaive(const cv::Matx33f& homography, cv::Size frame,
                                            common::ScreenSize screen, const LensModel& lens) {
    DetectionWindow win = centreOf(frame);
    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) {
            if (mapsInside(homography, lens, x, y, screen.width, screen.height)) {
                widen(win, x, y);
            }
        }
    }
    return win;
}

// Each of u, v, w is, along a row, a linear function of x computed with
// float rounding. A pixel can map strictly inside the screen only when
//   w > 0, u > 0, v > 0, u < W*w, v < H*w     or
//   w < 0, u < 0, v < 0, u > W*w, v > H*w
// holds for the computed values. Relaxing each condition by a bound on the
// float rounding error turns it into a half-line in real x, so each row has at
// most two spans of candidate pixels, a few pixels wider than the true set.
// Only candidates near the span ends are evaluated exactly (with the same
// arithmetic as the naive form), scanning inwards until an inside pixel is
// found, so the result matches the naive form bit for bit.
namespace {

// How far straightening moves a pixel of the frame at most, rounded up, with
// a few pixels to spare for the sampling below and for float rounding. The
// move depends on the distance from the lens centre only.
int straighteningReach(const LensModel& lens, cv::Size frame) {
    double far = 0;
    for (const cv::Point2d corner :
         {cv::Point2d(0, 0), cv::Point2d(frame.width, 0), cv::Point2d(0, frame.height),
          cv::Point2d(frame.width, frame.height)}) {
        far = std::max(far, cv::norm(corner - lens.centre));
    }
    double most = 0;
    for (double r = 0; r <= far + 1; r += 0.1) {
        const cv::Point2f p(static_cast<float>(lens.centre.x + r),
                            static_cast<float>(lens.centre.y));
        most = std::max(most, static_cast<double>(std::abs(lens.undistort(p).x - p.x)));
    }
    return static_cast<int>(std::ceil(most)) + 4;
}

// With a lens the mapping is no longer a homography, but no pixel moves
// farther than `reach` when straightened: a pixel can map inside only within
// `reach` of a point the homography alone maps inside. The homography's own
// window over the frame grown by `reach` bounds the search; the four edges
// are then found exactly, scanning inwards from those bounds, so the result
// is the per-pixel one.
DetectionWindow straightenedWindow(const cv::Matx33f& homography, cv::Size frame,
                                   common::ScreenSize screen, const LensModel& lens) {
    DetectionWindow win = centreOf(frame);
    const int reach = straighteningReach(lens, frame);
    if (reach > std::max(frame.width, frame.height)) {
        return ComputeDetectionWindowNaive(homography, frame, screen, lens);
    }
    const cv::Matx33f shift(1, 0, static_cast<float>(-reach), 0, 1, static_cast<float>(-reach), 0,
                            0, 1);
    const DetectionWindow grown = ComputeDetectionWindow(
        homography * shift, {frame.width + 2 * reach, frame.height + 2 * reach}, screen);
    const int left = std::max(0, grown.left - 2 * reach);
    const int right = std::min(frame.width - 1, grown.right);
    const int top = std::max(0, grown.top - 2 * reach);
    const int bottom = std::min(frame.height - 1, grown.bottom);
    const double W = screen.width;
    const double H = screen.height;
    const auto rowHas = [&](int y) {
        for (int x = left; x <= right; ++x) {
            if (mapsInside(homography, lens, x, y, W, H)) {
                return true;
            }
        }
        return false;
    };
    const auto columnHas = [&](int x) {
        for (int y = top; y <= bottom; ++y) {
            if (mapsInside(homography, lens, x, y, W, H)) {
                return true;
            }
        }
        return false;
    };
    for (int y = top; y < win.top; ++y) {
        if (rowHas(y)) {
            win.top = y;
            break;
        }
    }
    for (int y = bottom; y > win.bottom; --y) {
        if (rowHas(y)) {
            win.bottom = y;
            break;
        }
    }
    for (int x = left; x < win.left; ++x) {
        if (columnHas(x)) {
            win.left = x;
            break;
        }
    }
    for (int x = right; x > win.right; --x) {
        if (columnHas(x)) {
            win.right = x;
            break;
        }
    }
    return win;
}

}  // namespace

DetectionWindow ComputeDetectionWindow(const cv::Matx33f& homography, cv::Size frame,
                                       common::ScreenSize screen, const LensModel& lens) {
    DetectionWindow win = centreOf(frame);
    if (lens.valid && frame.width > 0 && frame.height > 0 && screen.width > 0 &&
        screen.height > 0) {
        return straightenedWindow(homography, frame, screen, lens);
    }
    if (frame.width <= 0 || frame.height <= 0 || screen.width <= 0 || screen.height <= 0) {
        return win;  // nothing can lie strictly inside an empty screen
    }
    for (int i = 0; i < 9; ++i) {
        if (!std::isfinite(homography.val[i])) {
            return ComputeDetectionWindowNaive(homography, frame, screen);
        }
    }
    const double W = screen.width;
    const double H = screen.height;
    const double xmax = frame.width - 1;
    // Three float operations per value: the error is below 3.001 ulp of the
    // sum of magnitudes; 16 ulp leaves room for the double arithmetic here.
    constexpr double kRel = 1.0 / (1 << 20);
    const double kAbs = 1e-30 * (1.0 + W + H);
    constexpr double kOverflowGuard = 1e35;

    for (int y = 0; y < frame.height; ++y) {
        const auto fy = static_cast<float>(y);
        std::array<double, 3> a{};
        std::array<double, 3> b{};
        std::array<double, 3> e{};
        bool exactRow = false;
        for (int k = 0; k < 3; ++k) {
            const float by = homography(k, 1) * fy;
            a[k] = homography(k, 0);
            b[k] = static_cast<double>(by) + homography(k, 2);
            const double scale =
                std::fabs(a[k]) * xmax + std::fabs(by) + std::fabs(homography(k, 2));
            exactRow = exactRow || !(scale < kOverflowGuard);
            e[k] = kRel * scale + kAbs;
        }

        std::array<Span, 2> spans{};
        if (exactRow) {
            spans[0] = {0, frame.width - 1};
            spans[1] = {0, -1};
        } else {
            const double eu = e[0] + W * e[2];
            const double ev = e[1] + H * e[2];
            // w > 0 side.
            Span p{0, frame.width - 1};
            keepWhere(p, a[2], b[2], e[2]);
            keepWhere(p, a[0], b[0], e[0]);
            keepWhere(p, a[1], b[1], e[1]);
            keepWhere(p, W * a[2] - a[0], W * b[2] - b[0], eu);
            keepWhere(p, H * a[2] - a[1], H * b[2] - b[1], ev);
            // w < 0 side.
            Span n{0, frame.width - 1};
            keepWhere(n, -a[2], -b[2], e[2]);
            keepWhere(n, -a[0], -b[0], e[0]);
            keepWhere(n, -a[1], -b[1], e[1]);
            keepWhere(n, a[0] - W * a[2], b[0] - W * b[2], eu);
            keepWhere(n, a[1] - H * a[2], b[1] - H * b[2], ev);
            spans = {p, n};
            if (spans[1].lo < spans[0].lo) {
                std::swap(spans[0], spans[1]);
            }
        }

        int first = -1;
        for (const Span& s : spans) {
            for (int x = s.lo; x <= s.hi && first < 0; ++x) {
                if (mapsInside(homography, x, y, W, H)) {
                    first = x;
                }
            }
            if (first >= 0) {
                break;
            }
        }
        if (first < 0) {
            continue;
        }
        int last = first;
        const int stop = std::max(spans[0].hi, spans[1].hi);
        for (int x = stop; x > first; --x) {
            const bool candidate =
                (x >= spans[0].lo && x <= spans[0].hi) || (x >= spans[1].lo && x <= spans[1].hi);
            if (candidate && mapsInside(homography, x, y, W, H)) {
                last = x;
                break;
            }
        }
        widen(win, first, y);
        widen(win, last, y);
    }
    return win;
}

}  // namespace tovik
