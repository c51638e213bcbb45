#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "tovik/calibration/CalibrationState.h"
#include "tovik/tracking/HomographyMap.h"

namespace tovik {

void PrintTo(const DetectionWindow& w, std::ostream* os) {
    *os << "{left " << w.left << ", right " << w.right << ", top " << w.top << ", bottom "
        << w.bottom << '}';
}

namespace {

cv::Mat frameWithBlue(cv::Size size, int blue) {
    // Green and red are bright on purpose: only the first channel counts.
    return cv::Mat(size, CV_8UC3, cv::Scalar(blue, 255, 255));
}

TEST(ComputeAutoThreshold, MapsEveryBandEdge) {
    const std::pair<int, int> cases[] = {{0, 150},   {49, 150},  {50, 160},  {51, 160},  {99, 160},
                                         {100, 170}, {101, 170}, {129, 170}, {130, 180}, {131, 180},
                                         {159, 180}, {160, 160}, {170, 170}, {180, 180}, {181, 381},
                                         {255, 455}};  // (mean, threshold)
    for (const auto& [mean, threshold] : cases) {
        EXPECT_EQ(ComputeAutoThreshold(frameWithBlue({640, 480}, mean)), threshold)
            << "mean " << mean;
    }
}

TEST(ComputeAutoThreshold, AveragesOnlyTheCentralRegionAndTruncates) {
    cv::Mat frame = frameWithBlue({640, 480}, 255);
    cv::Mat region = frame(cv::Rect(160, 130, 320, 230));
    region.setTo(cv::Scalar(100, 0, 0));
    region(cv::Rect(0, 0, 320, 115)).setTo(cv::Scalar(101, 0, 0));  // mean 100.5

    EXPECT_EQ(ComputeAutoThreshold(frame), 170);

    region.col(319).setTo(cv::Scalar(0, 0, 0));   // the last column is inside
    EXPECT_EQ(ComputeAutoThreshold(frame), 170);  // mean 100.18
    region.row(229).setTo(cv::Scalar(0, 0, 0));
    region.col(0).setTo(cv::Scalar(0, 0, 0));
    EXPECT_EQ(ComputeAutoThreshold(frame), 160);  // mean 99.4
}

TEST(ComputeAutoThreshold, SmallFrameUsesThePartOfTheRegionItHas) {
    // 320 x 240: only columns 160..319 and rows 130..239 exist.
    cv::Mat frame = frameWithBlue({320, 240}, 0);
    frame(cv::Rect(160, 130, 160, 110)).setTo(cv::Scalar(120, 0, 0));

    EXPECT_EQ(ComputeAutoThreshold(frame), 170);
    EXPECT_EQ(ComputeAutoThreshold(frameWithBlue({100, 100}, 200)), 150);  // region absent
    EXPECT_EQ(ComputeAutoThreshold(cv::Mat()), 150);
}

TEST(ApplyHomography, RoundsExactlyLikeTheLibraryMatrixProduct) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-12, 12);
    std::uniform_int_distribution<int> px(0, 1919);
    int differing = 0;
    for (int trial = 0; trial < 20000; ++trial) {
        cv::Matx33f h;
        for (float& v : h.val) {
            v = static_cast<float>(mantissa(rng) * std::pow(10.0, exponent(rng) / 3.0));
        }
        const float x = static_cast<float>(px(rng));
        const float y = static_cast<float>(px(rng));
        cv::Mat in = (cv::Mat_<float>(3, 1) << x, y, 1.0f);
        cv::Mat out;

        cv::gemm(cv::Mat(h), in, 1.0, cv::noArray(), 0.0, out);
        const cv::Vec3f ours = ApplyHomography(h, x, y);

        for (int k = 0; k < 3; ++k) {
            const float theirs = out.at<float>(k);
            if (std::memcmp(&theirs, &ours[k], sizeof(float)) != 0) {
                ++differing;
            }
        }
    }
    EXPECT_EQ(differing, 0);
}

// A size of at least `least`, up to `spread` - 1 larger in each direction.
cv::Size randomSize(std::mt19937& rng, cv::Size least, cv::Size spread) {
    return {least.width + static_cast<int>(rng() % static_cast<unsigned>(spread.width)),
            least.height + static_cast<int>(rng() % static_cast<unsigned>(spread.height))};
}

cv::Matx33f fromQuad(cv::Size frame, const std::vector<cv::Point2f>& quad) {
    const std::vector<cv::Point2f> corners = {
        {0, 0},
        {static_cast<float>(frame.width - 1), 0},
        {static_cast<float>(frame.width - 1), static_cast<float>(frame.height - 1)},
        {0, static_cast<float>(frame.height - 1)}};
    cv::Mat h;
    cv::getPerspectiveTransform(corners, quad).convertTo(h, CV_32F);
    return h;
}

// Homographies of every kind the window must survive: camera views of the
// screen (rotated, mirrored, keystoned), ones that see none of it, ones whose
// w changes sign inside the frame, and near-degenerate ones.
cv::Matx33f randomHomography(std::mt19937& rng, int kind, cv::Size frame,
                             common::ScreenSize screen) {
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::uniform_real_distribution<float> sym(-1.0f, 1.0f);
    const float W = static_cast<float>(screen.width);
    const float H = static_cast<float>(screen.height);
    switch (kind) {
        case 0: {  // a quad around the screen, corners in any order
            std::vector<cv::Point2f> quad;
            for (int i = 0; i < 4; ++i) {
                quad.emplace_back(W * (-0.3f + 1.6f * unit(rng)), H * (-0.3f + 1.6f * unit(rng)));
            }
            return fromQuad(frame, quad);
        }
        case 1: {  // the screen seen whole, rotated by quarter turns and mirrored
            std::vector<cv::Point2f> quad = {{-0.2f * W, -0.2f * H},
                                             {1.2f * W, -0.1f * H},
                                             {1.1f * W, 1.2f * H},
                                             {-0.1f * W, 1.1f * H}};
            std::rotate(quad.begin(), quad.begin() + static_cast<int>(rng() % 4), quad.end());
            if (rng() % 2 != 0) {
                std::reverse(quad.begin(), quad.end());
            }
            for (auto& p : quad) {
                p += cv::Point2f(sym(rng) * 0.1f * W, sym(rng) * 0.1f * H);
            }
            return fromQuad(frame, quad);
        }
        case 2: {  // nothing on the screen
            const cv::Point2f off(W * (2.0f + unit(rng)), -H * (2.0f + unit(rng)));
            return fromQuad(frame, {off, off + cv::Point2f(W, 0), off + cv::Point2f(W, H),
                                    off + cv::Point2f(0, H)});
        }
        case 3: {  // w crosses zero at a line through the frame
            const float g = sym(rng) * 0.01f;
            const float k = sym(rng) * 0.01f;
            const float x0 = unit(rng) * static_cast<float>(frame.width);
            const float y0 = unit(rng) * static_cast<float>(frame.height);
            const float s = W * 0.01f;
            return cv::Matx33f(s * sym(rng), s * sym(rng), W * sym(rng) * 2.0f, s * sym(rng),
                               s * sym(rng), H * sym(rng) * 2.0f, g, k, -(g * x0 + k * y0));
        }
        case 4: {  // u or v proportional to w: X or Y constant, often on the border
            cv::Matx33f h = fromQuad(frame, {{0, 0}, {W, 0}, {W, H}, {0, H}});
            const int row = static_cast<int>(rng() % 2);
            const float factor = (rng() % 2 != 0) ? (row == 0 ? W : H) : unit(rng) * W;
            for (int c = 0; c < 3; ++c) {
                h(row, c) = factor * h(2, c);
            }
            return h;
        }
        case 5: {  // tiny, zero and huge coefficients
            cv::Matx33f h;
            for (float& v : h.val) {
                const int pick = static_cast<int>(rng() % 5);
                v = pick == 0   ? 0.0f
                    : pick == 1 ? sym(rng) * 1e-7f
                    : pick == 2 ? sym(rng) * 1e6f
                                : sym(rng) * 10.0f;
            }
            return h;
        }
        default: {  // plain random entries of screen scale
            cv::Matx33f h;
            for (int i = 0; i < 9; ++i) {
                h.val[i] = sym(rng) * (i < 6 ? W : 0.01f);
            }
            return h;
        }
    }
}

TEST(ComputeDetectionWindow, MatchesThePerPixelDefinitionOnRandomHomographies) {
    std::mt19937 rng(2024);
    int mappedSomething = 0;
    int crossedZero = 0;
    for (int trial = 0; trial < 420; ++trial) {
        const cv::Size frame =
            trial % 3 == 0 ? cv::Size(640, 480) : randomSize(rng, {8, 6}, {300, 200});
        const cv::Size s = trial % 17 == 0 ? randomSize(rng, {1, 1}, {4, 4})
                                           : randomSize(rng, {800, 600}, {1800, 1000});
        const common::ScreenSize screen{s.width, s.height};
        const int kind = trial % 7;
        const cv::Matx33f h = randomHomography(rng, kind, frame, screen);

        const DetectionWindow naive = ComputeDetectionWindowNaive(h, frame, screen);
        const DetectionWindow fast = ComputeDetectionWindow(h, frame, screen);

        ASSERT_EQ(fast, naive) << "trial " << trial << " kind " << kind << " h " << cv::Mat(h)
                               << " frame " << frame << " screen " << screen.width << 'x'
                               << screen.height;
        const DetectionWindow centre{frame.width / 2, frame.width / 2, frame.height / 2,
                                     frame.height / 2};
        mappedSomething += naive == centre ? 0 : 1;
        const float w0 = ApplyHomography(h, 0, 0)[2];
        const float w1 = ApplyHomography(h, frame.width - 1.0f, frame.height - 1.0f)[2];
        crossedZero += (w0 < 0) != (w1 < 0) ? 1 : 0;
    }
    // The generator really covers both cases.
    EXPECT_GT(mappedSomething, 150);
    EXPECT_GT(crossedZero, 20);
}

TEST(ComputeDetectionWindow, UnderALensEachPixelIsStraightenedFirst) {
    std::mt19937 rng(77);
    std::uniform_real_distribution<double> sym(-1.0, 1.0);
    int changed = 0;
    for (int trial = 0; trial < 36; ++trial) {
        const cv::Size frame =
            trial % 4 == 0 ? cv::Size(640, 480) : randomSize(rng, {40, 30}, {300, 200});
        const cv::Size s = randomSize(rng, {800, 600}, {1800, 1000});
        const common::ScreenSize screen{s.width, s.height};
        const cv::Matx33f h = randomHomography(rng, trial % 7, frame, screen);
        const LensModel lens{
            true,
            0.8 * frame.width * (1 + 0.3 * sym(rng)),
            {frame.width / 2.0 + 10 * sym(rng), frame.height / 2.0 + 10 * sym(rng)},
            0.3 * sym(rng),
            0.05 * sym(rng)};

        const DetectionWindow naive = ComputeDetectionWindowNaive(h, frame, screen, lens);

        ASSERT_EQ(ComputeDetectionWindow(h, frame, screen, lens), naive)
            << "trial " << trial << " h " << cv::Mat(h) << " k1 " << lens.k1 << " k2 " << lens.k2;
        changed += naive != ComputeDetectionWindowNaive(h, frame, screen) ? 1 : 0;
    }
    EXPECT_GT(changed, 10);  // the lens really moves the window's edges
}

TEST(ComputeDetectionWindow, RoundingNoiseAlongTheRightEdgeIsResolvedExactly) {
    // u is W times w coefficient by coefficient, so X = u / w sits on the
    // right screen edge up to float rounding: whether X < W holds is decided
    // by the last bit, pixel by pixel, all over the frame.
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> sym(-1.0f, 1.0f);
    const common::ScreenSize screen{1000, 700};
    int scattered = 0;
    for (int trial = 0; trial < 12; ++trial) {
        const float g = sym(rng) * 1e-4f;
        const float k = sym(rng) * 1e-4f;
        const float c = 1.0f + sym(rng) * 0.1f;
        const float W = 1000.0f;
        const cv::Matx33f h(W * g, W * k, W * c, 0, 1, 0, g, k, c);

        const DetectionWindow naive = ComputeDetectionWindowNaive(h, {640, 480}, screen);

        EXPECT_EQ(ComputeDetectionWindow(h, {640, 480}, screen), naive) << "trial " << trial;
        scattered += (naive.left < 100 && naive.right > 540) ? 1 : 0;
    }
    EXPECT_GT(scattered, 6);  // the case really is decided pixel by pixel
}

TEST(ComputeDetectionWindow, BorderPixelsDoNotWidenTheWindow) {
    // Identity onto a 100 x 50 screen: column 0 and 100, rows 0 and 50 map
    // exactly onto the border; the window still holds the frame centre.
    const DetectionWindow win =
        ComputeDetectionWindow(cv::Matx33f::eye(), {640, 480}, common::ScreenSize{100, 50});

    EXPECT_EQ(win, (DetectionWindow{1, 320, 1, 240}));
}

TEST(ComputeDetectionWindow, CoversTheScreenImage) {
    // The camera sees the screen at half size, offset by (100, 50).
    const cv::Matx33f h(2, 0, -200, 0, 2, -100, 0, 0, 1);

    const DetectionWindow win = ComputeDetectionWindow(h, {640, 480}, common::ScreenSize{800, 600});

    EXPECT_EQ(win, (DetectionWindow{101, 499, 51, 349}));
}

TEST(ComputeDetectionWindow, NothingOnScreenLeavesTheCentrePixel) {
    const cv::Matx33f away(1, 0, 1e5f, 0, 1, 0, 0, 0, 1);
    const cv::Matx33f flat(1, 0, 0, 0, 1, 0, 0, 0, 0);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const cv::Matx33f broken(nan, 0, 0, 0, 1, 0, 0, 0, 1);
    const DetectionWindow centre{320, 320, 240, 240};

    EXPECT_EQ(ComputeDetectionWindow(away, {640, 480}, {1920, 1080}), centre);
    EXPECT_EQ(ComputeDetectionWindow(flat, {640, 480}, {1920, 1080}), centre);
    EXPECT_EQ(ComputeDetectionWindow(broken, {640, 480}, {1920, 1080}), centre);
    EXPECT_EQ(ComputeDetectionWindow(cv::Matx33f::eye(), {640, 480}, {0, 0}), centre);
    EXPECT_EQ(ComputeDetectionWindow(cv::Matx33f::eye(), {0, 0}, {1920, 1080}),
              (DetectionWindow{0, 0, 0, 0}));
}

}  // namespace
}  // namespace tovik
