#include "tovik/tracking/LensModel.h"

#include <cmath>

namespace tovik {

cv::Point2f LensModel::distort(cv::Point2f p) const {
    if (!valid) {
        return p;
    }
    const double x = (p.x - centre.x) / focal, y = (p.y - centre.y) / focal;
    const double r2 = x * x + y * y;
    const double g = 1 + k1 * r2 + k2 * r2 * r2;
    return {static_cast<float>(centre.x + focal * x * g),
            static_cast<float>(centre.y + focal * y * g)};
}

cv::Point2f LensModel::undistort(cv::Point2f p) const {
    if (!valid) {
        return p;
    }
    // The bent radius is rd = r (1 + k1 r^2 + k2 r^4); Newton's method finds
    // r from rd, starting at rd (the distortion is a small part of it).
    const double xd = (p.x - centre.x) / focal, yd = (p.y - centre.y) / focal;
    const double rd = std::hypot(xd, yd);
    if (rd < 1e-12) {
        return p;
    }
    double r = rd;
    for (int i = 0; i < 30; ++i) {
        const double r2 = r * r;
        const double f = r * (1 + k1 * r2 + k2 * r2 * r2) - rd;
        const double slope = 1 + 3 * k1 * r2 + 5 * k2 * r2 * r2;
        if (!(slope > 0.05)) {
            return p;  // beyond the radius the model can describe
        }
        const double step = f / slope;
        r -= step;
        if (std::abs(step) < 1e-12) {
            break;
        }
    }
    const double scale = r / rd;
    return {static_cast<float>(centre.x + focal * xd * scale),
            static_cast<float>(centre.y + focal * yd * scale)};
}

std::vector<cv::Point2f> LensModel::undistort(const std::vector<cv::Point2f>& points) const {
    std::vector<cv::Point2f> out;
    out.reserve(points.size());
    for (const cv::Point2f& p : points) {
        out.push_back(undistort(p));
    }
    return out;
}

}  // namespace tovik
