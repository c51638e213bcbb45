#pragma once
// The detector's per-frame use by the detection loop: the F13 gate, the
// threshold choice, the size limits, and marking an accepted spot.

#include <cstdint>

#include <opencv2/core.hpp>

#include "common/platform/KeyState.h"
#include "tovik/tracking/SpotDetector.h"

namespace tovik {

// The values read afresh for every frame.
struct FrameSearchSettings {
    std::int32_t f13Trig = 1;        // F13Trig: search only while F13 reports pressed
    std::int32_t autoTh = 1;         // AutoTh: use autoThreshold instead of amp
    std::int32_t amp = 180;          // Amp
    std::int32_t autoThreshold = 0;  // AutoThreshold of the last calibration
    std::int32_t area = 5;           // Area: smallest accepted count, inclusive
    std::int32_t areaUp = 1000;      // AreaUp: largest accepted count, inclusive
    std::int32_t subPixel = 0;       // SubPixelSpot: brightness-weighted centroid
};

// Kept by the loop for the life of the thread.
struct FrameSearchState {
    // The count shown to the user: that of the last searched frame, 0 before
    // the first search. A frame skipped by the F13 gate leaves it unchanged.
    int shownCount = 0;
    // When set, the difference image is materialised in `difference` (for
    // display or saving) and searched with DetectSpot; otherwise the fused
    // pass runs and `difference` stays untouched.
    bool keepDifference = false;
    cv::Mat difference;
};

struct FrameSearchResult {
    bool searched = false;  // false: skipped by the F13 gate
    bool spot = false;      // the count lies within the size limits
    int count = 0;
    float cx = 0.0f;  // centroid, camera pixels; meaningful when spot
    float cy = 0.0f;
};

// Searches one frame. A frame whose size or type differs from the background
// cannot be subtracted and holds no spot (count 0); a count of 0 is never a
// spot, whatever Area says.
[[nodiscard]] FrameSearchResult SearchFrame(SpotDetector& detector, common::KeyState& keys,
                                            const cv::Mat& frame, const cv::Mat& background,
                                            const FrameSearchSettings& settings,
                                            FrameSearchState& state);

// Draws the spot marker: a white circle of radius 15, thickness 2, 8-connected,
// centred on the centroid truncated toward zero.
void MarkSpot(cv::Mat& frame, float cx, float cy);

}  // namespace tovik
