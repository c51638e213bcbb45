#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "tovik/tracking/LensModel.h"
#include "tovik/tracking/OneEuroFilter.h"

namespace tovik {
namespace {

using std::chrono::milliseconds;

TEST(OneEuroFilter, QuietensAHeldPenAndFollowsAMovingOne) {
    OneEuroFilter f;
    std::mt19937 random(3);
    std::normal_distribution<double> noise(0.0, 0.15);  // a webcam spot held still
    common::Clock::time_point t{};
    const auto frame = milliseconds(33);
    double in = 0, out = 0;
    for (int i = 0; i < 300; ++i, t += frame) {
        const cv::Point2d raw(500 + noise(random), 300 + noise(random));
        const cv::Point2d smooth = f.filter(raw, t);
        if (i >= 30) {
            in += (raw - cv::Point2d(500, 300)).dot(raw - cv::Point2d(500, 300));
            out += (smooth - cv::Point2d(500, 300)).dot(smooth - cv::Point2d(500, 300));
        }
    }
    EXPECT_LT(std::sqrt(out / in), 0.6) << std::sqrt(out / in);

    // A stroke at 600 px/s: the filtered point trails by a few milliseconds.
    f.reset();
    cv::Point2d smooth;
    for (int i = 0; i < 60; ++i, t += frame) {
        smooth = f.filter({100 + 600 * 0.033 * i, 300}, t);
    }
    const double lagPixels = 100 + 600 * 0.033 * 59 - smooth.x;
    EXPECT_LT(lagPixels / 600 * 1000, 5.0);  // milliseconds

    f.reset();
    EXPECT_EQ(f.filter({7, 8}, t), cv::Point2d(7, 8));  // a new touch passes as is
}

TEST(LensModel, UndistortInvertsDistortOverTheFrame) {
    const LensModel lens{true, 480, {320, 240}, -0.18, 0.04};
    for (const cv::Point2f p :
         {cv::Point2f(0, 0), cv::Point2f(639, 479), cv::Point2f(320, 10), cv::Point2f(321, 241)}) {
        const cv::Point2f back = lens.distort(lens.undistort(p));
        EXPECT_NEAR(back.x, p.x, 1e-3);
        EXPECT_NEAR(back.y, p.y, 1e-3);
    }
    EXPECT_GT(cv::norm(lens.undistort({0, 0}) - cv::Point2f(320, 240)), 400.0);  // barrel
    LensModel none;
    EXPECT_EQ(none.undistort({12.5f, 3}), cv::Point2f(12.5f, 3));
}

}  // namespace
}  // namespace tovik
