#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include <opencv2/imgcodecs.hpp>

#include "common/TempDir.h"
#include "tovik/camera/V4L2Backend.h"
#include "tovik/camera/V4L2Mapping.h"

namespace {

namespace v4l2 = tovik::v4l2;
using tovik::ImageControl;

// One buffer, all of `bytes`, through the conversion; `used` is what a
// compressed frame fills of it.
bool convert(std::uint32_t fourcc, cv::Size size, size_t bytesPerLine,
             const std::vector<uchar>& bytes, cv::Mat& frame, size_t used = 0) {
    return v4l2::convertFrame(fourcc, size, bytesPerLine, bytes.data(), bytes.size(), used, frame);
}

TEST(V4L2Mapping, ExposureInHundredMicrosecondUnitsClampedToTheRange) {
    EXPECT_EQ(v4l2::exposureUnits(-6, 1, 5000), 156);  // 1/64 s = 15.625 ms
    EXPECT_EQ(v4l2::exposureUnits(-1, 1, 10000), 5000);
    EXPECT_EQ(v4l2::exposureUnits(0, 1, 10000), 10000);
    EXPECT_EQ(v4l2::exposureUnits(-10, 1, 10000), 10);  // 9.77 rounds up
    EXPECT_EQ(v4l2::exposureUnits(-13, 3, 2047), 3);    // 1.2 below the minimum
    EXPECT_EQ(v4l2::exposureUnits(2, 3, 2047), 2047);
    EXPECT_EQ(v4l2::exposureUnits(-6, 5000, 1), 156);  // a reversed range still clamps
}

TEST(V4L2Mapping, EightImageControlsMapBothWays) {
    const std::pair<ImageControl, std::uint32_t> table[] = {
        {ImageControl::Brightness, V4L2_CID_BRIGHTNESS},
        {ImageControl::Contrast, V4L2_CID_CONTRAST},
        {ImageControl::Hue, V4L2_CID_HUE},
        {ImageControl::Saturation, V4L2_CID_SATURATION},
        {ImageControl::Sharpness, V4L2_CID_SHARPNESS},
        {ImageControl::Gamma, V4L2_CID_GAMMA},
        {ImageControl::BacklightCompensation, V4L2_CID_BACKLIGHT_COMPENSATION},
        {ImageControl::Gain, V4L2_CID_GAIN},
    };
    for (const auto& [control, id] : table) {
        EXPECT_EQ(v4l2::controlId(control), id);
        EXPECT_EQ(v4l2::imageControlFor(id), control);
    }
    EXPECT_FALSE(v4l2::imageControlFor(V4L2_CID_EXPOSURE_ABSOLUTE));
    EXPECT_FALSE(v4l2::imageControlFor(V4L2_CID_WHITE_BALANCE_TEMPERATURE));
}

TEST(V4L2Mapping, CaptureNodesByTheirOwnCapabilities) {
    auto caps = [](std::uint32_t all, std::uint32_t own) {
        v4l2_capability c{};
        c.capabilities = all;
        c.device_caps = own;
        return c;
    };
    const std::uint32_t capture = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
    // A camera's video node, and its metadata node of the same card.
    EXPECT_TRUE(v4l2::isVideoCaptureNode(
        caps(capture | V4L2_CAP_META_CAPTURE | V4L2_CAP_DEVICE_CAPS, capture)));
    EXPECT_FALSE(
        v4l2::isVideoCaptureNode(caps(capture | V4L2_CAP_META_CAPTURE | V4L2_CAP_DEVICE_CAPS,
                                      V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING)));
    // Old drivers without per-node capabilities.
    EXPECT_TRUE(v4l2::isVideoCaptureNode(caps(capture, 0)));
    EXPECT_FALSE(v4l2::isVideoCaptureNode(caps(V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_READWRITE, 0)));
    EXPECT_FALSE(v4l2::isVideoCaptureNode(caps(V4L2_CAP_VIDEO_OUTPUT | V4L2_CAP_STREAMING, 0)));
}

TEST(V4L2Mapping, VideoNodeNumbers) {
    EXPECT_EQ(v4l2::videoNodeNumber("video0"), 0);
    EXPECT_EQ(v4l2::videoNodeNumber("video12"), 12);
    for (const char* other :
         {"video", "videox", "video1a", "vbi0", "media0", "video-1", "video+1"}) {
        EXPECT_FALSE(v4l2::videoNodeNumber(other)) << other;
    }
}

TEST(V4L2Mapping, PixelFormatsAndSizeRanges) {
    EXPECT_LT(v4l2::pixelFormatRank(V4L2_PIX_FMT_YUYV), v4l2::pixelFormatRank(V4L2_PIX_FMT_MJPEG));
    EXPECT_GE(v4l2::pixelFormatRank(V4L2_PIX_FMT_MJPEG), 0);
    EXPECT_EQ(v4l2::pixelFormatRank(V4L2_PIX_FMT_H264), -1);

    // Widths 320..1280 in steps of 64, heights 240..720 in steps of 8.
    const v4l2_frmsize_stepwise range{320, 1280, 64, 240, 720, 8};
    const std::vector<cv::Size> sizes = v4l2::stepwiseSizes(range);
    EXPECT_NE(std::find(sizes.begin(), sizes.end(), cv::Size(640, 480)), sizes.end());
    EXPECT_NE(std::find(sizes.begin(), sizes.end(), cv::Size(320, 240)), sizes.end());
    EXPECT_EQ(std::find(sizes.begin(), sizes.end(), cv::Size(1920, 1080)), sizes.end());
    // 352 is not on the 64-pixel step from 320.
    EXPECT_EQ(std::find(sizes.begin(), sizes.end(), cv::Size(352, 288)), sizes.end());
    // The device's present size is offered when the range holds it, so the
    // format page starts there and not at the largest size.
    const auto withCurrent = [&](cv::Size current) {
        const std::vector<cv::Size> s = v4l2::stepwiseSizes(range, current);
        return std::count(s.begin(), s.end(), current);
    };
    EXPECT_EQ(withCurrent({832, 480}), 1);
    EXPECT_EQ(withCurrent({640, 480}), 1);
    EXPECT_EQ(withCurrent({836, 480}), 0);
    EXPECT_EQ(v4l2::stepwiseSizes(range, {}).size(), sizes.size());
}

TEST(V4L2Mapping, ControlTypes) {
    bool supported = false;
    EXPECT_EQ(v4l2::controlType(V4L2_CTRL_TYPE_MENU, supported), tovik::ControlInfo::Type::Menu);
    EXPECT_TRUE(supported);
    EXPECT_EQ(v4l2::controlType(V4L2_CTRL_TYPE_BOOLEAN, supported),
              tovik::ControlInfo::Type::Boolean);
    (void)v4l2::controlType(V4L2_CTRL_TYPE_CTRL_CLASS, supported);
    EXPECT_FALSE(supported);
}

TEST(V4L2Backend, FolderWithoutCaptureNodesListsNothing) {
    const tktest::TempDir temp;
    const std::filesystem::path dir = temp.path();
    std::ofstream(dir / "video0") << "not a device";
    std::ofstream(dir / "media0") << "";
    tovik::V4L2Backend backend(dir.string());

    EXPECT_TRUE(backend.enumerate().empty());
    EXPECT_FALSE(backend.open(0, {640, 480}));
    cv::Mat frame;
    EXPECT_FALSE(backend.grab(frame, std::chrono::milliseconds(10)));
    EXPECT_TRUE(backend.controls().empty());
    EXPECT_FALSE(backend.setExposure(-6, false));
}

TEST(V4L2Backend, ThisMachineHasNoCamera) {
    // The build machine has no video device; on a machine with one this
    // only checks that enumeration does not fail.
    tovik::V4L2Backend backend;
    const auto devices = backend.enumerate();
    if (!std::filesystem::exists("/dev/video0")) {
        EXPECT_TRUE(devices.empty());
    }
    for (const auto& d : devices) {
        EXPECT_FALSE(d.name.empty());
    }
}

// One known colour in each format we convert must come out as the same BGR.
TEST(V4L2Mapping, ConvertsEachFormatToBgr) {
    const cv::Size size(4, 2);
    cv::Mat frame;

    // Cameras deliver video-range BT.601: BGR (10, 20, 200) is Y 78, U 97, V 208.
    const std::vector<uchar> rgb = {200, 20, 10, 200, 20, 10, 200, 20, 10, 200, 20, 10,
                                    200, 20, 10, 200, 20, 10, 200, 20, 10, 200, 20, 10};
    ASSERT_TRUE(convert(V4L2_PIX_FMT_RGB24, size, 12, rgb, frame));
    EXPECT_EQ(frame.at<cv::Vec3b>(1, 3), cv::Vec3b(10, 20, 200));

    std::vector<uchar> yuyv;
    for (int i = 0; i < 4; ++i) {
        yuyv.insert(yuyv.end(), {78, 97, 78, 208});
    }
    ASSERT_TRUE(convert(V4L2_PIX_FMT_YUYV, size, 8, yuyv, frame));
    EXPECT_LE(cv::norm(cv::Vec3i(frame.at<cv::Vec3b>(1, 2)) - cv::Vec3i(10, 20, 200)), 6.0);

    // Padded grey rows: the padding must not shift the next row.
    const std::vector<uchar> grey = {1, 2, 3, 4, 99, 99, 5, 6, 7, 8, 99, 99};
    ASSERT_TRUE(convert(V4L2_PIX_FMT_GREY, size, 6, grey, frame));
    EXPECT_EQ(frame.at<cv::Vec3b>(1, 0), cv::Vec3b(5, 5, 5));

    std::vector<uchar> jpeg;
    cv::Mat picture(size, CV_8UC3, cv::Scalar(0, 0, 255));
    ASSERT_TRUE(cv::imencode(".jpg", picture, jpeg));
    ASSERT_TRUE(convert(V4L2_PIX_FMT_MJPEG, size, 0, jpeg, frame, jpeg.size()));
    EXPECT_GT(frame.at<cv::Vec3b>(0, 0)[2], 200);
}

TEST(V4L2Mapping, RejectsShortOrDamagedBuffers) {
    const cv::Size size(4, 2);
    cv::Mat frame;
    const std::vector<uchar> bytes(10, 0);

    EXPECT_FALSE(convert(V4L2_PIX_FMT_YUYV, size, 8, bytes, frame));
    EXPECT_FALSE(convert(V4L2_PIX_FMT_MJPEG, size, 0, bytes, frame, bytes.size()));
    EXPECT_FALSE(convert(V4L2_PIX_FMT_H264, size, 0, bytes, frame, bytes.size()));
}

// Planar 4:2:0 needs even sides; an odd size a driver reports is refused, not
// thrown out of the grab (which would end the detection thread).
TEST(V4L2Mapping, PlanarFramesNeedEvenSides) {
    for (const std::uint32_t format : {V4L2_PIX_FMT_NV12, V4L2_PIX_FMT_YUV420}) {
        SCOPED_TRACE(format);
        const std::vector<uchar> bytes(64 * 64 * 2, 128);
        cv::Mat frame;

        EXPECT_TRUE(convert(format, {4, 2}, 4, bytes, frame));
        EXPECT_EQ(frame.size(), cv::Size(4, 2));
        for (const cv::Size odd : {cv::Size(5, 2), cv::Size(4, 3), cv::Size(2, 1)}) {
            bool converted = true;
            EXPECT_NO_THROW(converted = convert(format, odd, 0, bytes, frame));
            EXPECT_FALSE(converted) << odd;
        }
    }
}

}  // namespace
