#pragma once
// Finds the pen's light spot in a background-difference image: the pixels at
// or above a grey threshold inside the detection window, and their centroid.

#include <array>
#include <cstdint>

#include <opencv2/core.hpp>

namespace tovik {

// Camera-pixel rectangle scanned as left <= x < right, top <= y < bottom.
struct DetectionWindow {
    std::int32_t left = 0;
    std::int32_t right = 0;
    std::int32_t top = 0;
    std::int32_t bottom = 0;
    friend bool operator==(const DetectionWindow&, const DetectionWindow&) = default;
};

inline constexpr int kMaxSpotPixels = 4000;

class SpotDetector {
public:
    // Grey-converts the 8-bit BGR difference image as cv::cvtColor does, scans
    // the window in row-major order, stores at most 4000 pixels in SpotPixels
    // and returns their count; the centroid is the single-precision mean in
    // storage order. With a count of 0 the centroid is left unchanged.
    int DetectSpot(const cv::Mat& difference, int threshold, float& cx, float& cy);

    // The same result as subtracting background from frame (saturating, per
    // channel) and calling DetectSpot, fused into one pass over the window.
    // Frames whose size or type differ from the background give 0.
    int DetectSpotInFrame(const cv::Mat& frame, const cv::Mat& background, int threshold, float& cx,
                          float& cy);

    DetectionWindow window;
    std::array<cv::Point2f, kMaxSpotPixels> SpotPixels{};

    // Sub-pixel position: the centroid weighted by each pixel's brightness
    // above the threshold instead of the plain mean (off by default).
    bool weighted = false;
    std::array<std::uint16_t, kMaxSpotPixels> SpotWeights{};

private:
    void centre(int count, float& cx, float& cy) const;
};

// Grey level of one BGR pixel, bit for bit as cv::cvtColor(COLOR_BGR2GRAY).
[[nodiscard]] constexpr std::uint8_t GreyOf(std::uint8_t b, std::uint8_t g, std::uint8_t r) {
    return static_cast<std::uint8_t>((b * 3735 + g * 19235 + r * 9798 + 16384) >> 15);
}

}  // namespace tovik
