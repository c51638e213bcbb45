#include "tovik/camera/V4L2Mapping.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

namespace tovik::v4l2 {

std::uint32_t controlId(ImageControl control) {
    switch (control) {
        case ImageControl::Brightness:
            return V4L2_CID_BRIGHTNESS;
        case ImageControl::Contrast:
            return V4L2_CID_CONTRAST;
        case ImageControl::Hue:
            return V4L2_CID_HUE;
        case ImageControl::Saturation:
            return V4L2_CID_SATURATION;
        case ImageControl::Sharpness:
            return V4L2_CID_SHARPNESS;
        case ImageControl::Gamma:
            return V4L2_CID_GAMMA;
        case ImageControl::BacklightCompensation:
            return V4L2_CID_BACKLIGHT_COMPENSATION;
        case ImageControl::Gain:
            return V4L2_CID_GAIN;
    }
    return 0;
}

std::optional<ImageControl> imageControlFor(std::uint32_t id) {
    for (int i = 0; i <= static_cast<int>(ImageControl::Gain); ++i) {
        const auto c = static_cast<ImageControl>(i);
        if (controlId(c) == id) {
            return c;
        }
    }
    return std::nullopt;
}

int exposureUnits(int log2Seconds, int minimum, int maximum) {
    // 2^v seconds in 100 microsecond steps.
    const double units = std::round(10000.0 * std::exp2(static_cast<double>(log2Seconds)));
    if (maximum < minimum) {
        std::swap(minimum, maximum);
    }
    return static_cast<int>(
        std::clamp(units, static_cast<double>(minimum), static_cast<double>(maximum)));
}

bool isVideoCaptureNode(const v4l2_capability& caps) {
    const std::uint32_t own =
        (caps.capabilities & V4L2_CAP_DEVICE_CAPS) != 0 ? caps.device_caps : caps.capabilities;
    return (own & V4L2_CAP_VIDEO_CAPTURE) != 0 && (own & V4L2_CAP_STREAMING) != 0;
}

std::optional<int> videoNodeNumber(std::string_view fileName) {
    constexpr std::string_view prefix = "video";
    if (!fileName.starts_with(prefix) || fileName.size() == prefix.size()) {
        return std::nullopt;
    }
    const std::string_view digits = fileName.substr(prefix.size());
    int n = 0;
    auto [p, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (ec != std::errc() || p != digits.data() + digits.size() || n < 0 || digits.front() == '+') {
        return std::nullopt;
    }
    return n;
}

int pixelFormatRank(std::uint32_t fourcc) {
    // Uncompressed first (no decoding cost, no compression artefacts around
    // the pen's spot), then the compressed format many cameras need for
    // their larger sizes.
    static constexpr std::uint32_t order[] = {
        V4L2_PIX_FMT_YUYV, V4L2_PIX_FMT_BGR24, V4L2_PIX_FMT_RGB24,
        V4L2_PIX_FMT_UYVY, V4L2_PIX_FMT_NV12,  V4L2_PIX_FMT_YUV420,
        V4L2_PIX_FMT_GREY, V4L2_PIX_FMT_MJPEG, V4L2_PIX_FMT_JPEG,
    };
    for (size_t i = 0; i < std::size(order); ++i) {
        if (order[i] == fourcc) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::vector<cv::Size> stepwiseSizes(const v4l2_frmsize_stepwise& r, cv::Size current) {
    static const cv::Size common[] = {{1920, 1080}, {1280, 960}, {1280, 720}, {1024, 768},
                                      {800, 600},   {640, 480},  {352, 288},  {320, 240},
                                      {176, 144},   {160, 120}};
    std::vector<cv::Size> sizes;
    auto fits = [](int v, std::uint32_t lo, std::uint32_t hi, std::uint32_t step) {
        const auto u = static_cast<std::uint32_t>(v);
        return u >= lo && u <= hi && (step <= 1 || (u - lo) % step == 0);
    };
    auto inRange = [&](cv::Size s) {
        return s.width > 0 && s.height > 0 &&
               fits(s.width, r.min_width, r.max_width, r.step_width) &&
               fits(s.height, r.min_height, r.max_height, r.step_height);
    };
    for (const cv::Size& s : common) {
        if (inRange(s)) {
            sizes.push_back(s);
        }
    }
    if (inRange(current) && std::find(sizes.begin(), sizes.end(), current) == sizes.end()) {
        sizes.push_back(current);
    }
    return sizes;
}

ControlInfo::Type controlType(std::uint32_t v4l2Type, bool& supported) {
    supported = true;
    switch (v4l2Type) {
        case V4L2_CTRL_TYPE_INTEGER:
            return ControlInfo::Type::Integer;
        case V4L2_CTRL_TYPE_BOOLEAN:
            return ControlInfo::Type::Boolean;
        case V4L2_CTRL_TYPE_MENU:
        case V4L2_CTRL_TYPE_INTEGER_MENU:
            return ControlInfo::Type::Menu;
        case V4L2_CTRL_TYPE_BUTTON:
            return ControlInfo::Type::Button;
        default:
            supported = false;
            return ControlInfo::Type::Integer;
    }
}

bool convertFrame(std::uint32_t fourcc, cv::Size size, size_t bytesPerLine, const uchar* data,
                  size_t length, size_t bytesUsed, cv::Mat& frame) {
    const int w = size.width, h = size.height;
    if (w <= 0 || h <= 0 || data == nullptr) {
        return false;
    }
    // Packed formats may pad their rows; a driver that reports no padding
    // gives 0.
    const size_t minStep =
        static_cast<size_t>(w) * (fourcc == V4L2_PIX_FMT_YUYV || fourcc == V4L2_PIX_FMT_UYVY ? 2
                                  : fourcc == V4L2_PIX_FMT_GREY                              ? 1
                                                                                             : 3);
    const size_t step = std::max(bytesPerLine, minStep);
    auto need = [&](size_t bytes) { return bytes <= length; };
    // The pixels are only read; OpenCV's headers want a non-const pointer.
    auto* pixels = const_cast<uchar*>(data);
    switch (fourcc) {
        case V4L2_PIX_FMT_YUYV:
        case V4L2_PIX_FMT_UYVY:
            if (!need(step * static_cast<size_t>(h))) {
                return false;
            }
            cv::cvtColor(
                cv::Mat(h, w, CV_8UC2, pixels, step), frame,
                fourcc == V4L2_PIX_FMT_YUYV ? cv::COLOR_YUV2BGR_YUYV : cv::COLOR_YUV2BGR_UYVY);
            return true;
        case V4L2_PIX_FMT_BGR24:
        case V4L2_PIX_FMT_RGB24:
            if (!need(step * static_cast<size_t>(h))) {
                return false;
            }
            if (fourcc == V4L2_PIX_FMT_BGR24) {
                cv::Mat(h, w, CV_8UC3, pixels, step).copyTo(frame);
            } else {
                cv::cvtColor(cv::Mat(h, w, CV_8UC3, pixels, step), frame, cv::COLOR_RGB2BGR);
            }
            return true;
        case V4L2_PIX_FMT_GREY:
            if (!need(step * static_cast<size_t>(h))) {
                return false;
            }
            cv::cvtColor(cv::Mat(h, w, CV_8UC1, pixels, step), frame, cv::COLOR_GRAY2BGR);
            return true;
        case V4L2_PIX_FMT_NV12:
        case V4L2_PIX_FMT_YUV420:
            // Planar: the planes follow each other without row padding. The
            // chroma planes halve both sides, so odd sides cannot be read.
            if (w % 2 != 0 || h % 2 != 0 ||
                !need(static_cast<size_t>(w) * static_cast<size_t>(h) * 3 / 2)) {
                return false;
            }
            cv::cvtColor(
                cv::Mat(h * 3 / 2, w, CV_8UC1, pixels), frame,
                fourcc == V4L2_PIX_FMT_NV12 ? cv::COLOR_YUV2BGR_NV12 : cv::COLOR_YUV2BGR_I420);
            return true;
        case V4L2_PIX_FMT_MJPEG:
        case V4L2_PIX_FMT_JPEG: {
            if (bytesUsed == 0 || !need(bytesUsed)) {
                return false;
            }
            const cv::Mat decoded = cv::imdecode(
                cv::Mat(1, static_cast<int>(bytesUsed), CV_8UC1, pixels), cv::IMREAD_COLOR);
            if (decoded.size() != size || decoded.type() != CV_8UC3) {
                return false;  // a damaged frame
            }
            decoded.copyTo(frame);
            return true;
        }
        default:
            return false;
    }
}

}  // namespace tovik::v4l2
