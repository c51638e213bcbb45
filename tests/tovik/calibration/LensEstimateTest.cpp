#include <gtest/gtest.h>

#include <opencv2/calib3d.hpp>
#include <opencv2/core.hpp>

#include "tovik/calibration/LensEstimate.h"

namespace tovik {
namespace {

// The board's 35 inner corners on a 1024 x 768 screen, seen through a
// keystoned pose and a barrel lens of another focal length than the
// estimator assumes.
struct View {
    cv::Matx33d pose{0.48, 0.05, 70, -0.03, 0.5, 60, 0.00002, 0.00004, 1};
    LensModel lens;
    std::vector<cv::Point2f> camera, screen;

    explicit View(double k1, double k2) : lens{true, 480, {320, 240}, k1, k2} {
        for (int r = 1; r <= 5; ++r) {
            for (int c = 1; c <= 7; ++c) {
                const cv::Point2f s(40 + c * 118.0f, 40 + r * 114.67f);
                screen.push_back(s);
                camera.push_back(toCamera(s));
            }
        }
    }
    [[nodiscard]] cv::Point2f toCamera(cv::Point2f s) const {
        const cv::Vec3d p = pose * cv::Vec3d(s.x, s.y, 1);
        return lens.distort(cv::Point2f(float(p[0] / p[2]), float(p[1] / p[2])));
    }
};

TEST(LensEstimate, StraightensABarrelLensOverTheWholeScreen) {
    const View view(-0.18, 0.04);

    const auto lens = EstimateLens(view.camera, view.screen, {640, 480});

    ASSERT_TRUE(lens);
    EXPECT_GT(BoardFitError({}, view.camera, view.screen), 1.0);
    EXPECT_LT(BoardFitError(*lens, view.camera, view.screen), 0.1);
    // Points outside the board too (the screen's corners) come back straight:
    // the homography of the straightened corners puts them where they belong.
    const std::vector<cv::Point2f> straight = lens->undistort(view.camera);
    const cv::Mat h = cv::findHomography(straight, view.screen, 0);
    for (const cv::Point2f s : {cv::Point2f(0, 0), cv::Point2f(1023, 767), cv::Point2f(512, 0)}) {
        std::vector<cv::Point2f> in{lens->undistort(view.toCamera(s))}, out;
        cv::perspectiveTransform(in, out, h);
        EXPECT_LT(cv::norm(out[0] - s), 1.0) << s;
    }
}

TEST(LensEstimate, AStraightLensNeedsNoCorrection) {
    const View view(0, 0);

    EXPECT_FALSE(EstimateLens(view.camera, view.screen, {640, 480}));
    EXPECT_FALSE(EstimateLens({}, {}, {640, 480}));
}

}  // namespace
}  // namespace tovik
