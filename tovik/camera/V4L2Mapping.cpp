#include "tovik/camera/V4L2Mapping.h"

#include <algorithm>
#include <charconv>
#include <cmath>

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

std::vector<cv::Size> stepwiseSizes(const v4l2_frmsize_stepwise& r) {
    static const cv::Size common[] = {{1920, 1080}, {1280, 960}, {1280, 720}, {1024, 768},
                                      {800, 600},   {640, 480},  {352, 288},  {320, 240},
                                      {176, 144},   {160, 120}};
    std::vector<cv::Size> sizes;
    auto fits = [](int v, std::uint32_t lo, std::uint32_t hi, std::uint32_t step) {
        const auto u = static_cast<std::uint32_t>(v);
        return u >= lo && u <= hi && (step <= 1 || (u - lo) % step == 0);
    };
    for (const cv::Size& s : common) {
        if (fits(s.width, r.min_width, r.max_width, r.step_width) &&
            fits(s.height, r.min_height, r.max_height, r.step_height)) {
            sizes.push_back(s);
        }
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

}  // namespace tovik::v4l2
