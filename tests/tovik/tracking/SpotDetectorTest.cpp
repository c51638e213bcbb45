#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "tovik/tracking/SpotDetector.h"

namespace tovik {
namespace {

// The detector's definition spelled out the slow way: the library's grey
// conversion, then a plain row-major scan of the clamped window.
struct Reference {
    int count = 0;
    std::vector<cv::Point2f> pixels;
    float cx = -1.0f;
    float cy = -1.0f;
};

Reference referenceDetect(const cv::Mat& difference, const DetectionWindow& w, int threshold) {
    cv::Mat grey;
    cv::cvtColor(difference, grey, cv::COLOR_BGR2GRAY);
    Reference r;
    const int x0 = std::clamp(w.left, 0, grey.cols);
    const int x1 = std::clamp(w.right, 0, grey.cols);
    const int y0 = std::clamp(w.top, 0, grey.rows);
    const int y1 = std::clamp(w.bottom, 0, grey.rows);
    for (int y = y0; y < y1 && r.count < kMaxSpotPixels; ++y) {
        for (int x = x0; x < x1 && r.count < kMaxSpotPixels; ++x) {
            if (grey.at<std::uint8_t>(y, x) >= threshold) {
                r.pixels.emplace_back(static_cast<float>(x), static_cast<float>(y));
                ++r.count;
            }
        }
    }
    if (r.count > 0) {
        const cv::Point2f sum = std::accumulate(r.pixels.begin(), r.pixels.end(), cv::Point2f());
        r.cx = sum.x / static_cast<float>(r.count);
        r.cy = sum.y / static_cast<float>(r.count);
    }
    return r;
}

// Dim noise with a few bright blobs, so that counts land on both sides of
// typical limits and the cap is reached only sometimes.
cv::Mat randomFrame(std::mt19937& rng, cv::Size size, int noise) {
    cv::Mat m(size, CV_8UC3);
    cv::randu(m, cv::Scalar::all(0), cv::Scalar::all(noise));
    const auto draw = [&](int lo, int hi) { return std::uniform_int_distribution(lo, hi)(rng); };
    for (int i = draw(0, 6); i > 0; --i) {
        cv::circle(m, {draw(0, size.width - 1), draw(0, size.height - 1)}, draw(1, 30),
                   cv::Scalar(draw(100, 255), draw(100, 255), draw(100, 255)), cv::FILLED);
    }
    return m;
}

DetectionWindow randomWindow(std::mt19937& rng, cv::Size size) {
    // Reaches past every edge now and then.
    std::uniform_int_distribution<int> x(-40, size.width + 40);
    std::uniform_int_distribution<int> y(-40, size.height + 40);
    DetectionWindow w{x(rng), x(rng), y(rng), y(rng)};
    if (w.left > w.right && rng() % 4 != 0) {
        std::swap(w.left, w.right);
    }
    if (w.top > w.bottom && rng() % 4 != 0) {
        std::swap(w.top, w.bottom);
    }
    return w;
}

// What a detector found, in the reference's form.
Reference resultOf(const SpotDetector& d, int count, float cx, float cy) {
    return {count, {d.SpotPixels.begin(), d.SpotPixels.begin() + std::max(count, 0)}, cx, cy};
}

// The same pixels in the same order and the same centroid, which a search
// that finds nothing leaves as it was.
void expectSameResult(const Reference& ref, const SpotDetector& d, int count, float cx, float cy) {
    ASSERT_EQ(count, ref.count);
    for (int i = 0; i < count; ++i) {
        ASSERT_EQ(d.SpotPixels[i], ref.pixels[i]) << "pixel " << i;
    }
    EXPECT_EQ(cx, ref.cx);
    EXPECT_EQ(cy, ref.cy);
}

// A detector, and the centroid it writes.
class DetectSpot : public testing::Test {
protected:
    SpotDetector d;
    float cx = 0.0f;
    float cy = 0.0f;
};
class DetectSpotInFrame : public DetectSpot {};

TEST(GreyOf, MatchesLibraryConversionForEveryColour) {
    // All 2^24 colours: one 256 x 256 image per blue level.
    cv::Mat bgr(256, 256, CV_8UC3);
    cv::Mat grey;
    const auto u8 = [](int v) { return static_cast<std::uint8_t>(v); };
    for (int b = 0; b < 256; ++b) {
        for (int g = 0; g < 256; ++g) {
            for (int r = 0; r < 256; ++r) {
                bgr.at<cv::Vec3b>(g, r) = cv::Vec3b(u8(b), u8(g), u8(r));
            }
        }
        cv::cvtColor(bgr, grey, cv::COLOR_BGR2GRAY);
        for (int g = 0; g < 256; ++g) {
            for (int r = 0; r < 256; ++r) {
                const auto expected = grey.at<std::uint8_t>(g, r);
                ASSERT_EQ(GreyOf(u8(b), u8(g), u8(r)), expected) << b << ',' << g << ',' << r;
            }
        }
    }
}

TEST_F(DetectSpot, MatchesLibraryGreyAndPlainScanOnRandomFrames) {
    std::mt19937 rng(1234);
    for (int trial = 0; trial < 300; ++trial) {
        const cv::Size size(17 + static_cast<int>(rng() % 140), 9 + static_cast<int>(rng() % 100));
        const cv::Mat diff = randomFrame(rng, size, 1 + static_cast<int>(rng() % 255));
        d.window = randomWindow(rng, size);
        const int threshold = static_cast<int>(rng() % 300) - 20;
        cx = cy = -1.0f;

        const int count = d.DetectSpot(diff, threshold, cx, cy);

        SCOPED_TRACE(testing::Message() << "trial " << trial << " threshold " << threshold);
        expectSameResult(referenceDetect(diff, d.window, threshold), d, count, cx, cy);
    }
}

TEST_F(DetectSpotInFrame, GivesExactlyTheTwoStepResultOnRandomFramesAndWindows) {
    std::mt19937 rng(99);
    SpotDetector fused;
    SpotDetector twoStep;
    for (int trial = 0; trial < 300; ++trial) {
        const cv::Size size(20 + static_cast<int>(rng() % 200), 10 + static_cast<int>(rng() % 120));
        const cv::Mat background = randomFrame(rng, size, 1 + static_cast<int>(rng() % 120));
        const cv::Mat frame = randomFrame(rng, size, 1 + static_cast<int>(rng() % 255));
        fused.window = twoStep.window = randomWindow(rng, size);
        const int threshold = static_cast<int>(rng() % 280) - 10;
        cv::Mat difference;
        cv::subtract(frame, background, difference);
        float fx = -1.0f, fy = -1.0f, tx = -1.0f, ty = -1.0f;

        const int fusedCount = fused.DetectSpotInFrame(frame, background, threshold, fx, fy);
        const int twoStepCount = twoStep.DetectSpot(difference, threshold, tx, ty);

        SCOPED_TRACE(testing::Message() << "trial " << trial);
        expectSameResult(resultOf(twoStep, twoStepCount, tx, ty), fused, fusedCount, fx, fy);
    }
}

TEST_F(DetectSpot, CountsPixelEqualToThresholdAndNotOneBelow) {
    cv::Mat diff(40, 60, CV_8UC3, cv::Scalar::all(0));
    diff.at<cv::Vec3b>(10, 20) = cv::Vec3b(200, 200, 200);  // grey 200
    diff.at<cv::Vec3b>(12, 30) = cv::Vec3b(199, 199, 199);  // grey 199
    d.window = {0, 60, 0, 40};

    EXPECT_EQ(d.DetectSpot(diff, 200, cx, cy), 1);
    EXPECT_EQ(d.SpotPixels[0], cv::Point2f(20, 10));
    EXPECT_EQ(cx, 20.0f);
    EXPECT_EQ(cy, 10.0f);
    EXPECT_EQ(d.DetectSpot(diff, 199, cx, cy), 2);
    EXPECT_EQ(d.DetectSpot(diff, 201, cx, cy), 0);
}

TEST_F(DetectSpot, WeightedCentroidFavoursTheBrightPixels) {
    cv::Mat diff(20, 20, CV_8UC3, cv::Scalar::all(0));
    diff.at<cv::Vec3b>(5, 4) = cv::Vec3b(100, 100, 100);  // weight 1 at threshold 100
    diff.at<cv::Vec3b>(5, 5) = cv::Vec3b(255, 255, 255);  // weight 156
    diff.at<cv::Vec3b>(5, 6) = cv::Vec3b(200, 200, 200);  // weight 101
    d.window = {0, 20, 0, 20};
    float plainX = 0, plainY = 0, weightedX = 0, weightedY = 0;

    const int plain = d.DetectSpot(diff, 100, plainX, plainY);
    d.weighted = true;
    const int weighted = d.DetectSpot(diff, 100, weightedX, weightedY);
    float fusedX = 0, fusedY = 0;
    d.DetectSpotInFrame(diff, cv::Mat(diff.size(), CV_8UC3, cv::Scalar::all(0)), 100, fusedX,
                        fusedY);

    EXPECT_EQ(plain, 3);
    EXPECT_EQ(weighted, 3);
    EXPECT_FLOAT_EQ(plainX, 5.0f);
    EXPECT_FLOAT_EQ(weightedX, (4 * 1 + 5 * 156 + 6 * 101) / 258.0f);
    EXPECT_FLOAT_EQ(weightedY, 5.0f);
    EXPECT_FLOAT_EQ(fusedX, weightedX);
}

TEST_F(DetectSpot, NeverScansTheRightColumnOrTheBottomRow) {
    // Bright everywhere except inside the window [5,9) x [3,7): only the
    // right column x = 9 and the bottom row y = 7 are bright next to it.
    cv::Mat diff(20, 20, CV_8UC3, cv::Scalar::all(0));
    diff.col(9).setTo(cv::Scalar::all(255));
    diff.row(7).setTo(cv::Scalar::all(255));
    d.window = {5, 9, 3, 7};

    EXPECT_EQ(d.DetectSpot(diff, 100, cx, cy), 0);

    d.window = {5, 10, 3, 8};  // one more column and row: 4 + 5 pixels
    EXPECT_EQ(d.DetectSpot(diff, 100, cx, cy), 9);
}

TEST_F(DetectSpot, EmptyOrInvertedWindowFindsNothingAndKeepsCentroid) {
    const cv::Mat diff(30, 30, CV_8UC3, cv::Scalar::all(255));
    // The detector's edges are all 0, as before any calibration.
    cx = 7.5f;
    cy = 8.5f;

    EXPECT_EQ(d.DetectSpot(diff, 10, cx, cy), 0);
    d.window = {20, 10, 0, 30};
    EXPECT_EQ(d.DetectSpot(diff, 10, cx, cy), 0);
    d.window = {0, 30, 25, 25};
    EXPECT_EQ(d.DetectSpot(diff, 10, cx, cy), 0);

    EXPECT_EQ(cx, 7.5f);
    EXPECT_EQ(cy, 8.5f);
}

TEST_F(DetectSpot, WindowOutsideTheImageIsClampedNotRead) {
    const cv::Mat diff(30, 40, CV_8UC3, cv::Scalar::all(255));

    d.window = {-1000, 1000, -1000, 1000};
    EXPECT_EQ(d.DetectSpot(diff, 10, cx, cy), 1200);
    EXPECT_EQ(d.SpotPixels[0], cv::Point2f(0, 0));
    EXPECT_EQ(d.SpotPixels[1199], cv::Point2f(39, 29));
    d.window = {50, 90, 40, 60};
    EXPECT_EQ(d.DetectSpot(diff, 10, cx, cy), 0);
    d.window = {-90, -50, -60, -40};
    EXPECT_EQ(d.DetectSpot(diff, 10, cx, cy), 0);
}

TEST_F(DetectSpot, StopsAt4000PixelsWithTheCentroidOfTheFirstOnes) {
    // A bright 100 x 100 square: the first 4000 pixels in row order are its
    // top 40 rows, so the centroid lies above the square's centre.
    cv::Mat diff(200, 200, CV_8UC3, cv::Scalar::all(0));
    diff(cv::Rect(50, 60, 100, 100)).setTo(cv::Scalar::all(255));
    d.window = {0, 200, 0, 200};

    const int count = d.DetectSpot(diff, 128, cx, cy);

    EXPECT_EQ(count, kMaxSpotPixels);
    EXPECT_EQ(d.SpotPixels[3999], cv::Point2f(149, 99));
    EXPECT_FLOAT_EQ(cx, 99.5f);
    EXPECT_FLOAT_EQ(cy, 79.5f);
    expectSameResult(referenceDetect(diff, d.window, 128), d, count, cx, cy);
}

TEST_F(DetectSpot, CapReachedMidRowStopsInsideThatRow) {
    // 3999 bright pixels before a row holding two more: only the first counts.
    cv::Mat diff(100, 100, CV_8UC3, cv::Scalar::all(0));
    diff(cv::Rect(0, 0, 100, 39)).setTo(cv::Scalar::all(255));  // 3900
    diff(cv::Rect(0, 39, 99, 1)).setTo(cv::Scalar::all(255));   // 99 -> 3999
    diff(cv::Rect(10, 40, 1, 1)).setTo(cv::Scalar::all(255));   // the 4000th
    diff(cv::Rect(20, 40, 1, 1)).setTo(cv::Scalar::all(255));   // beyond the cap
    d.window = {0, 100, 0, 100};

    EXPECT_EQ(d.DetectSpot(diff, 1, cx, cy), kMaxSpotPixels);
    EXPECT_EQ(d.SpotPixels[3999], cv::Point2f(10, 40));
}

TEST_F(DetectSpot, ThresholdsOutsideTheGreyRange) {
    const cv::Mat diff(10, 10, CV_8UC3, cv::Scalar::all(255));
    d.window = {0, 10, 0, 10};

    EXPECT_EQ(d.DetectSpot(diff, 256, cx, cy), 0);  // above any grey level
    EXPECT_EQ(d.DetectSpot(cv::Mat(10, 10, CV_8UC3, cv::Scalar::all(0)), 0, cx, cy), 100);
    EXPECT_EQ(d.DetectSpot(cv::Mat(10, 10, CV_8UC3, cv::Scalar::all(0)), -5, cx, cy), 100);
    EXPECT_FLOAT_EQ(cx, 4.5f);
}

TEST_F(DetectSpotInFrame, SubtractsSaturatingPerChannel) {
    // Frame darker than the background in blue and red, brighter in green:
    // difference (0, 200, 0) has grey (200 * 19235 + 16384) >> 15 = 117.
    const cv::Mat background(8, 8, CV_8UC3, cv::Scalar(250, 10, 250));
    const cv::Mat frame(8, 8, CV_8UC3, cv::Scalar(100, 210, 100));
    d.window = {0, 8, 0, 8};

    EXPECT_EQ(d.DetectSpotInFrame(frame, background, 117, cx, cy), 64);
    EXPECT_EQ(d.DetectSpotInFrame(frame, background, 118, cx, cy), 0);
}

TEST_F(DetectSpotInFrame, MismatchedSizeOrTypeGivesNoPixels) {
    const cv::Mat frame(20, 20, CV_8UC3, cv::Scalar::all(255));
    d.window = {0, 20, 0, 20};
    cx = 3.0f;
    cy = 4.0f;

    EXPECT_EQ(d.DetectSpotInFrame(frame, cv::Mat(20, 21, CV_8UC3, cv::Scalar::all(0)), 1, cx, cy),
              0);
    EXPECT_EQ(d.DetectSpotInFrame(frame, cv::Mat(20, 20, CV_8UC1, cv::Scalar::all(0)), 1, cx, cy),
              0);
    EXPECT_EQ(d.DetectSpotInFrame(frame, cv::Mat(), 1, cx, cy), 0);
    EXPECT_EQ(d.DetectSpot(cv::Mat(20, 20, CV_8UC1, cv::Scalar::all(255)), 1, cx, cy), 0);
    EXPECT_EQ(cx, 3.0f);
    EXPECT_EQ(cy, 4.0f);
}

}  // namespace
}  // namespace tovik
