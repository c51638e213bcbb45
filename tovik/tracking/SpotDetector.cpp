#include "tovik/tracking/SpotDetector.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tovik {
namespace {

struct ScanBox {
    int x0 = 0;
    int x1 = 0;
    int y0 = 0;
    int y1 = 0;
    [[nodiscard]] bool empty() const { return x1 <= x0 || y1 <= y0; }
};

// The window clamped to the image, so a window that reaches past the frame
// never reads outside it.
ScanBox clampWindow(const DetectionWindow& w, int cols, int rows) {
    ScanBox b;
    b.x0 = std::clamp(w.left, 0, cols);
    b.x1 = std::clamp(w.right, 0, cols);
    b.y0 = std::clamp(w.top, 0, rows);
    b.y1 = std::clamp(w.bottom, 0, rows);
    return b;
}

// Collects the pixels whose grey value (of frame - background when Subtract,
// else of frame) is at least thr, in row-major order, at most kMaxSpotPixels.
// The grey value of a pixel never exceeds the largest of its three channels,
// so a run of pixels none of whose bytes reaches thr holds no spot pixel; the
// fast path tests 16 pixels at a time that way and computes the exact grey
// value only for runs that might hold one.
template <bool Subtract>
int scan(const cv::Mat& frame, const cv::Mat* background, const ScanBox& box, int thr,
         cv::Point2f* out, std::uint16_t* weights) {
    int count = 0;
    const auto u8 = [](int v) { return static_cast<std::uint8_t>(v); };
    for (int y = box.y0; y < box.y1; ++y) {
        const std::uint8_t* f = frame.ptr<std::uint8_t>(y);
        const std::uint8_t* b = Subtract ? background->ptr<std::uint8_t>(y) : nullptr;
        const auto exact = [&](int x) {
            const int i = 3 * x;
            int c0 = f[i];
            int c1 = f[i + 1];
            int c2 = f[i + 2];
            if constexpr (Subtract) {
                c0 = std::max(c0 - b[i], 0);
                c1 = std::max(c1 - b[i + 1], 0);
                c2 = std::max(c2 - b[i + 2], 0);
            }
            const int grey = GreyOf(u8(c0), u8(c1), u8(c2));
            if (grey >= thr) {
                out[count] = cv::Point2f(static_cast<float>(x), static_cast<float>(y));
                weights[count] = static_cast<std::uint16_t>(std::min(grey - thr + 1, 511));
                ++count;
            }
        };
        int x = box.x0;
#if defined(__SSE2__)
        if (thr >= 1) {
            const __m128i t = _mm_set1_epi8(static_cast<char>(thr));
            for (; x + 16 <= box.x1; x += 16) {
                const auto* p = reinterpret_cast<const __m128i*>(f + 3 * x);
                __m128i d0 = _mm_loadu_si128(p);
                __m128i d1 = _mm_loadu_si128(p + 1);
                __m128i d2 = _mm_loadu_si128(p + 2);
                if constexpr (Subtract) {
                    const auto* q = reinterpret_cast<const __m128i*>(b + 3 * x);
                    d0 = _mm_subs_epu8(d0, _mm_loadu_si128(q));
                    d1 = _mm_subs_epu8(d1, _mm_loadu_si128(q + 1));
                    d2 = _mm_subs_epu8(d2, _mm_loadu_si128(q + 2));
                }
                const __m128i m = _mm_max_epu8(_mm_max_epu8(d0, d1), d2);
                const __m128i ge = _mm_cmpeq_epi8(_mm_max_epu8(m, t), m);
                if (_mm_movemask_epi8(ge) == 0) {
                    continue;
                }
                for (int k = x; k < x + 16; ++k) {
                    exact(k);
                    if (count == kMaxSpotPixels) {
                        return count;
                    }
                }
            }
        }
#endif
        for (; x < box.x1; ++x) {
            exact(x);
            if (count == kMaxSpotPixels) {
                return count;
            }
        }
    }
    return count;
}

// Single-precision sums in storage order, divided by the count as a float.
void centroid(const cv::Point2f* pts, int count, float& cx, float& cy) {
    float sx = 0.0f;
    float sy = 0.0f;
    for (int i = 0; i < count; ++i) {
        sx += pts[i].x;
        sy += pts[i].y;
    }
    cx = sx / static_cast<float>(count);
    cy = sy / static_cast<float>(count);
}

// Brightness above the threshold as the weight: pixels that only just pass,
// the ones noise flips in and out, count least, and the spot's position
// moves by fractions of a pixel.
void weightedCentroid(const cv::Point2f* pts, const std::uint16_t* weights, int count, float& cx,
                      float& cy) {
    double sw = 0, sx = 0, sy = 0;
    for (int i = 0; i < count; ++i) {
        sw += weights[i];
        sx += weights[i] * static_cast<double>(pts[i].x);
        sy += weights[i] * static_cast<double>(pts[i].y);
    }
    cx = static_cast<float>(sx / sw);
    cy = static_cast<float>(sy / sw);
}

}  // namespace

void SpotDetector::centre(int count, float& cx, float& cy) const {
    if (weighted) {
        weightedCentroid(SpotPixels.data(), SpotWeights.data(), count, cx, cy);
    } else {
        centroid(SpotPixels.data(), count, cx, cy);
    }
}

int SpotDetector::DetectSpot(const cv::Mat& difference, int threshold, float& cx, float& cy) {
    if (difference.type() != CV_8UC3 || threshold > 255) {
        return 0;
    }
    const ScanBox box = clampWindow(window, difference.cols, difference.rows);
    if (box.empty()) {
        return 0;
    }
    const int count =
        scan<false>(difference, nullptr, box, threshold, SpotPixels.data(), SpotWeights.data());
    if (count > 0) {
        centre(count, cx, cy);
    }
    return count;
}

int SpotDetector::DetectSpotInFrame(const cv::Mat& frame, const cv::Mat& background, int threshold,
                                    float& cx, float& cy) {
    if (frame.type() != CV_8UC3 || background.type() != CV_8UC3 ||
        frame.size() != background.size() || threshold > 255) {
        return 0;
    }
    const ScanBox box = clampWindow(window, frame.cols, frame.rows);
    if (box.empty()) {
        return 0;
    }
    const int count =
        scan<true>(frame, &background, box, threshold, SpotPixels.data(), SpotWeights.data());
    if (count > 0) {
        centre(count, cx, cy);
    }
    return count;
}

}  // namespace tovik
