#include "tovik/tracking/HomographyMap.h"

namespace tovik {

cv::Vec3f ApplyHomography(const cv::Matx33f& h, float x, float y) {
    const float u = h(0, 0) * x + h(0, 1) * y + h(0, 2);
    const float v = h(1, 0) * x + h(1, 1) * y + h(1, 2);
    const float w = h(2, 0) * x + h(2, 1) * y + h(2, 2);
    return {u, v, w};
}

}  // namespace tovik
