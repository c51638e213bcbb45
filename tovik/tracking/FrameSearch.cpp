#include "tovik/tracking/FrameSearch.h"

#include <cmath>

#include <opencv2/imgproc.hpp>

namespace tovik {

FrameSearchResult SearchFrame(SpotDetector& detector, common::KeyState& keys, const cv::Mat& frame,
                              const cv::Mat& background, const FrameSearchSettings& settings,
                              FrameSearchState& state) {
    FrameSearchResult r;
    if (settings.f13Trig != 0 && keys.asyncKeyState(common::VK_F13_KEY) == 0) {
        return r;
    }
    r.searched = true;
    detector.weighted = settings.subPixel != 0;
    const int threshold = settings.autoTh != 0 ? settings.autoThreshold : settings.amp;
    const bool comparable = frame.type() == CV_8UC3 && background.type() == frame.type() &&
                            background.size() == frame.size();
    if (!comparable) {
        if (state.keepDifference && !frame.empty() &&
            (state.difference.size() != frame.size() || state.difference.type() != frame.type())) {
            state.difference.create(frame.size(), frame.type());
            state.difference.setTo(cv::Scalar::all(0));
        }
        state.shownCount = 0;
        return r;
    }
    if (state.keepDifference) {
        cv::subtract(frame, background, state.difference);
        r.count = detector.DetectSpot(state.difference, threshold, r.cx, r.cy);
    } else {
        r.count = detector.DetectSpotInFrame(frame, background, threshold, r.cx, r.cy);
    }
    state.shownCount = r.count;
    r.spot = r.count > 0 && settings.area <= r.count && r.count <= settings.areaUp;
    return r;
}

void MarkSpot(cv::Mat& frame, float cx, float cy) {
    // The centroid lies inside the frame, but a caller's value is checked
    // before the conversion to int.
    const auto fits = [](float v) {
        return std::isfinite(v) && std::fabs(v) < static_cast<float>(1 << 30);
    };
    if (frame.empty() || !fits(cx) || !fits(cy)) {
        return;
    }
    const cv::Point centre(static_cast<int>(cx), static_cast<int>(cy));
    cv::circle(frame, centre, 15, cv::Scalar(255, 255, 255), 2, cv::LINE_8, 0);
}

}  // namespace tovik
