#include <gtest/gtest.h>

#include <optional>

#include <X11/Xlib.h>

#include "sim/ScreenScene.h"
#include "sim/SimCamera.h"
#include "tests/support/Wait.h"
#include "tests/support/X11.h"

namespace {

// Paints the root window one colour, and its right half `right` when given,
// so a capture knows what to expect.
void paintRoot(unsigned long rgb, std::optional<unsigned long> right = {}) {
    const tktest::DisplayPtr display = tktest::openDisplay();
    Display* d = display.get();
    ASSERT_NE(d, nullptr);
    const Window root = DefaultRootWindow(d);
    XSetWindowBackground(d, root, rgb);
    XClearWindow(d, root);
    if (right) {
        const int width = DisplayWidth(d, DefaultScreen(d));
        GC gc = XCreateGC(d, root, 0, nullptr);
        XSetForeground(d, gc, *right);
        XSetSubwindowMode(d, gc, IncludeInferiors);
        XFillRectangle(d, root, gc, width / 2, 0, static_cast<unsigned>(width), 1u << 15);
        XFreeGC(d, gc);
    }
    XSync(d, False);
}

TEST(ScreenScene, CapturesTheRootWindow) {
    if (!tktest::haveDisplay()) {
        GTEST_SKIP() << "needs an X display";
    }
    paintRoot(0x3080c0);
    sim::ScreenScene scene("");
    ASSERT_TRUE(scene.isOpen());

    cv::Mat image;
    ASSERT_TRUE(scene.capture(image));

    EXPECT_EQ(image.size(), scene.size());
    ASSERT_GE(image.channels(), 3);
    const uchar* p = image.ptr(image.rows / 2) + (image.cols / 2) * image.channels();
    EXPECT_EQ(p[0], 0xc0);  // blue
    EXPECT_EQ(p[1], 0x80);
    EXPECT_EQ(p[2], 0x30);
}

TEST(ScreenScene, SurvivesAResizeDuringTheCapture) {
    if (!tktest::haveDisplay()) {
        GTEST_SKIP() << "needs an X display";
    }
    sim::ScreenScene scene("");
    ASSERT_TRUE(scene.isOpen());
    const cv::Size real = scene.size();
    cv::Mat image;

    // Measured larger than the screen now is: reading it is an X error
    // (BadMatch), which would end the process under Xlib's default handler.
    scene.assumeSizeOnce({real.width + 320, real.height + 200});
    const bool duringResize = scene.capture(image);
    const bool after = scene.capture(image);

    EXPECT_FALSE(duringResize);
    EXPECT_TRUE(after);
    EXPECT_EQ(image.size(), real);
}

TEST(ScreenScene, SimulatedCameraFilmsTheScreen) {
    if (!tktest::haveDisplay()) {
        GTEST_SKIP() << "needs an X display";
    }
    paintRoot(0xffffff);
    std::string error;
    auto backend = sim::SimCamera::create("scene=screen,fps=0,noise=0,pose=upright", error);
    ASSERT_TRUE(backend) << error;
    ASSERT_TRUE(backend->open(0, {640, 480}));

    cv::Mat frame;
    ASSERT_TRUE(backend->grab(frame, std::chrono::milliseconds(1000)));

    EXPECT_NEAR(frame.at<cv::Vec3b>(240, 320)[1], 200, 2);  // white under automatic exposure
    EXPECT_LT(frame.at<cv::Vec3b>(5, 5)[1], 30);            // the wall beside the screen
}

// One monitor of a wider screen: the camera sees that area only, and the pen
// keeps the coordinates of the whole screen.
TEST(ScreenScene, FilmsOneAreaWithThePenInScreenCoordinates) {
    if (!tktest::haveDisplay()) {
        GTEST_SKIP() << "needs an X display";
    }
    paintRoot(0x000000, 0xffffff);  // the area is the white right half
    const int width = sim::ScreenScene("").size().width;
    const cv::Rect area(width / 2, 0, width - width / 2, sim::ScreenScene("").size().height);
    sim::ScreenScene scene("", area);
    ASSERT_TRUE(scene.isOpen());
    cv::Mat image;
    ASSERT_TRUE(scene.capture(image));
    EXPECT_EQ(image.size(), area.size());
    EXPECT_EQ(scene.origin(), area.tl());
    EXPECT_EQ(image.ptr(2)[4], 0xff);  // white from the area's first column

    std::string error;
    const std::string spec =
        "scene=screen,fps=0,noise=0,pose=upright,area=" + std::to_string(area.width) + "x" +
        std::to_string(area.height) + "+" + std::to_string(area.x) + "+0";
    auto camera = sim::SimCamera::create(spec, error);
    ASSERT_TRUE(camera) << error;
    ASSERT_TRUE(camera->open(0, {640, 480}));
    const cv::Point2d pen(area.x + area.width * 0.25, area.height * 0.5);
    camera->setPen(pen, true);
    cv::Mat frame;
    ASSERT_TRUE(camera->renderFrame());
    ASSERT_TRUE(camera->grab(frame, std::chrono::milliseconds(1000)));
    cv::Point2d spot;
    ASSERT_TRUE(sim::projectPoint(camera->poseMatrix(), pen, spot));
    // Where the pose puts a quarter across the filmed area.
    cv::Point2d expected;
    ASSERT_TRUE(sim::projectPoint(camera->pose().homography(area.size(), {640, 480}),
                                  {area.width * 0.25, area.height * 0.5}, expected));
    EXPECT_NEAR(cv::norm(spot - expected), 0, 1e-6);
    EXPECT_EQ(frame.at<cv::Vec3b>(cv::Point(spot))[1], 255);

    // An area the screen does not hold is refused with a reason.
    EXPECT_FALSE(
        sim::SimCamera::create("scene=screen,area=" + std::to_string(width) + "x10+1+0", error));
    EXPECT_NE(error.find("area"), std::string::npos) << error;
}

TEST(ScreenScene, MissingDisplayIsAClearError) {
    std::string error;
    EXPECT_FALSE(sim::SimCamera::create("scene=screen,display=:987", error));
    EXPECT_NE(error.find(":987"), std::string::npos) << error;
}

}  // namespace
