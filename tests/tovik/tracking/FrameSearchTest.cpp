#include <gtest/gtest.h>

#include <tuple>

#include <opencv2/imgproc.hpp>

#include "tovik/tracking/FrameSearch.h"

namespace tovik {
namespace {

// A dark background and a frame with a bright rectangle of a known number of
// pixels at a known grey level.
struct Scene {
    cv::Mat background = cv::Mat(120, 160, CV_8UC3, cv::Scalar(20, 20, 20));
    cv::Mat frame;
    Scene(cv::Rect spot, int level) {
        frame = background.clone();
        frame(spot).setTo(cv::Scalar::all(20 + level));
    }
};

// No F13 gate, a fixed threshold.
constexpr FrameSearchSettings kPlain{
    .f13Trig = 0, .autoTh = 0, .amp = 150, .area = 5, .areaUp = 100};

class FrameSearchTest : public testing::Test {
protected:
    FrameSearchTest() { detector.window = {0, 160, 0, 120}; }
    FrameSearchResult search(const Scene& in, const FrameSearchSettings& s) {
        return SearchFrame(detector, keys, in.frame, in.background, s, state);
    }
    const Scene scene{cv::Rect(40, 30, 10, 5), 200};  // 50 pixels at grey 200
    SpotDetector detector;
    common::ScriptedKeyState keys;
    FrameSearchState state;
};

TEST_F(FrameSearchTest, AcceptsCountsWithinTheInclusiveLimits) {
    FrameSearchSettings s = kPlain;

    for (const auto& [area, areaUp, spot] : {std::tuple{50, 50, true},
                                             {5, 50, true},
                                             {50, 4000, true},
                                             {51, 100, false},
                                             {5, 49, false}}) {
        s.area = area;
        s.areaUp = areaUp;

        const FrameSearchResult r = search(scene, s);

        EXPECT_TRUE(r.searched);
        EXPECT_EQ(r.count, 50);
        EXPECT_EQ(r.spot, spot) << area << ".." << areaUp;
        EXPECT_EQ(state.shownCount, 50);  // remembered whether accepted or not
    }
}

TEST_F(FrameSearchTest, CentroidIsThatOfTheSpot) {
    const FrameSearchResult r = search(scene, kPlain);

    ASSERT_TRUE(r.spot);
    EXPECT_FLOAT_EQ(r.cx, 44.5f);
    EXPECT_FLOAT_EQ(r.cy, 32.0f);
}

TEST_F(FrameSearchTest, ThresholdComesFromAutoThresholdOrAmp) {
    FrameSearchSettings s = kPlain;
    s.amp = 150;
    s.autoThreshold = 201;

    s.autoTh = 1;
    EXPECT_EQ(search(scene, s).count, 0);
    s.autoTh = 7;  // any non-zero value is on
    s.autoThreshold = 200;
    EXPECT_EQ(search(scene, s).count, 50);
    s.autoTh = 0;
    s.amp = 201;
    EXPECT_EQ(search(scene, s).count, 0);
}

TEST_F(FrameSearchTest, F13GateSkipsTheFrameAndKeepsTheShownCount) {
    FrameSearchSettings s = kPlain;
    s.f13Trig = 1;
    keys.tap(common::VK_F13_KEY);  // pressed since the last query

    const FrameSearchResult first = search(scene, s);
    const Scene empty(cv::Rect(0, 0, 1, 1), 0);
    const FrameSearchResult skipped = search(empty, s);

    EXPECT_TRUE(first.searched);
    EXPECT_TRUE(first.spot);
    EXPECT_FALSE(skipped.searched);
    EXPECT_FALSE(skipped.spot);
    EXPECT_EQ(state.shownCount, 50);

    keys.setDown(common::VK_F13_KEY, true);
    EXPECT_TRUE(search(scene, s).spot);
    s.f13Trig = 0;
    keys.setDown(common::VK_F13_KEY, false);
    (void)keys.asyncKeyState(common::VK_F13_KEY);  // clear the latch
    EXPECT_TRUE(search(scene, s).spot);
}

TEST_F(FrameSearchTest, CountOfZeroIsNeverASpot) {
    const Scene unlit(cv::Rect(40, 30, 10, 5), 0);
    FrameSearchSettings s = kPlain;
    s.area = 0;
    s.areaUp = 10;

    const FrameSearchResult r = search(unlit, s);

    EXPECT_TRUE(r.searched);
    EXPECT_EQ(r.count, 0);
    EXPECT_FALSE(r.spot);
}

TEST_F(FrameSearchTest, FrameOfAnotherSizeHoldsNoSpotAndResizesTheDifference) {
    const cv::Mat bigger(240, 320, CV_8UC3, cv::Scalar::all(255));
    state.keepDifference = true;

    EXPECT_TRUE(search(scene, kPlain).spot);
    EXPECT_EQ(state.difference.size(), scene.frame.size());

    const FrameSearchResult r =
        SearchFrame(detector, keys, bigger, scene.background, kPlain, state);

    EXPECT_FALSE(r.spot);
    EXPECT_EQ(r.count, 0);
    EXPECT_EQ(state.shownCount, 0);
    EXPECT_EQ(state.difference.size(), bigger.size());
    EXPECT_FALSE(
        SearchFrame(detector, keys, scene.frame, cv::Mat(), kPlain, state).spot);  // no background
}

TEST_F(FrameSearchTest, KeptDifferenceGivesTheSameResultAsTheFusedPass) {
    const Scene other(cv::Rect(17, 9, 13, 7), 180);
    FrameSearchState kept;
    kept.keepDifference = true;

    const FrameSearchResult fused = search(other, kPlain);
    const FrameSearchResult viaImage =
        SearchFrame(detector, keys, other.frame, other.background, kPlain, kept);

    EXPECT_EQ(fused.count, viaImage.count);
    EXPECT_EQ(fused.cx, viaImage.cx);
    EXPECT_EQ(fused.cy, viaImage.cy);
    EXPECT_TRUE(state.difference.empty());
    EXPECT_EQ(cv::countNonZero(kept.difference.reshape(1)), 13 * 7 * 3);
}

TEST(MarkSpot, DrawsRadius15WhiteCircleAtTheTruncatedCentroid) {
    cv::Mat frame(100, 100, CV_8UC3, cv::Scalar::all(0));
    cv::Mat truncated = frame.clone();
    cv::Mat rounded = frame.clone();
    cv::circle(truncated, {50, 40}, 15, cv::Scalar::all(255), 2, cv::LINE_8, 0);
    cv::circle(rounded, {51, 41}, 15, cv::Scalar::all(255), 2, cv::LINE_8, 0);

    MarkSpot(frame, 50.9f, 40.7f);

    EXPECT_EQ(cv::norm(frame, truncated, cv::NORM_INF), 0.0);
    EXPECT_GT(cv::norm(frame, rounded, cv::NORM_INF), 0.0);
    EXPECT_EQ(frame.at<cv::Vec3b>(40, 65), cv::Vec3b(255, 255, 255));  // on the ring
    EXPECT_EQ(frame.at<cv::Vec3b>(40, 50), cv::Vec3b(0, 0, 0));        // centre untouched
}

TEST(MarkSpot, IgnoresCentresThatAreNotNumbers) {
    cv::Mat frame(20, 20, CV_8UC3, cv::Scalar::all(0));

    MarkSpot(frame, std::numeric_limits<float>::quiet_NaN(), 5.0f);
    MarkSpot(frame, 5.0f, std::numeric_limits<float>::infinity());

    EXPECT_EQ(cv::countNonZero(frame.reshape(1)), 0);
}

}  // namespace
}  // namespace tovik
