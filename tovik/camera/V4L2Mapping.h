#pragma once
// The pure conversions between our camera requests and V4L2: control ids,
// exposure units, which device nodes capture video, and which pixel formats
// we can turn into BGR frames.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include <linux/videodev2.h>

#include <opencv2/core.hpp>

#include "tovik/camera/CaptureBackend.h"

namespace tovik::v4l2 {

[[nodiscard]] std::uint32_t controlId(ImageControl control);
[[nodiscard]] std::optional<ImageControl> imageControlFor(std::uint32_t id);

// Exposure time for log2-seconds `log2Seconds` in the driver's unit of
// 100 microseconds, rounded, clamped to the control's range.
[[nodiscard]] int exposureUnits(int log2Seconds, int minimum, int maximum);

// True for nodes that capture video by streaming; looks at the node's own
// capabilities when the driver reports them (metadata nodes share the card).
[[nodiscard]] bool isVideoCaptureNode(const v4l2_capability& caps);

// 12 for "video12"; empty for any other name.
[[nodiscard]] std::optional<int> videoNodeNumber(std::string_view fileName);

// Formats we convert, best first; -1 for the others.
[[nodiscard]] int pixelFormatRank(std::uint32_t fourcc);

// The sizes a stepwise or continuous frame-size range offers among the usual
// camera sizes, and `current` (the device's present size) when the range
// holds it, so that the format page can start there.
[[nodiscard]] std::vector<cv::Size> stepwiseSizes(const v4l2_frmsize_stepwise& range,
                                                  cv::Size current = {});

// One captured buffer of `fourcc` pixels into an 8-bit BGR frame, reusing
// the frame's memory. False for unknown formats, short buffers and damaged
// compressed frames.
[[nodiscard]] bool convertFrame(std::uint32_t fourcc, cv::Size size, size_t bytesPerLine,
                                const uchar* data, size_t length, size_t bytesUsed, cv::Mat& frame);

[[nodiscard]] ControlInfo::Type controlType(std::uint32_t v4l2Type, bool& supported);

}  // namespace tovik::v4l2
