#pragma once
// The device list printed by `tovik --list-cameras`.

#include <ostream>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "tovik/camera/CameraDS.h"

namespace tovik {

// "640x480@30,320x240@30": each size with the highest frame rate the device
// offers there (left out where unknown).
[[nodiscard]] std::string formatFrameSizes(const std::vector<cv::Size>& sizes,
                                           const std::vector<double>& rates = {});

// One line per device: INDEX<TAB>NAME<TAB>SIZES, and <TAB>PROBLEM for a device
// that cannot be used (no permission...); nothing when there are none.
void ListCameras(std::ostream& out, CCameraDS& camera);

}  // namespace tovik
