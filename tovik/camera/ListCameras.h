#pragma once
// The device list printed by `tovik --list-cameras`.

#include <ostream>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "tovik/camera/CameraDS.h"

namespace tovik {

// "640x480,320x240"
[[nodiscard]] std::string formatFrameSizes(const std::vector<cv::Size>& sizes);

// One line per device: INDEX<TAB>NAME<TAB>SIZES; nothing when there are none.
void ListCameras(std::ostream& out, CCameraDS& camera);

}  // namespace tovik
