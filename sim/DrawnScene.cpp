#include "sim/DrawnScene.h"

#include <opencv2/imgproc.hpp>

namespace sim {

DrawnScene::DrawnScene(cv::Size size) : image_(size, CV_8UC3, cv::Scalar::all(255)) {}

bool DrawnScene::setImage(const cv::Mat& image) {
    if (image.empty() || image.depth() != CV_8U) {
        return false;
    }
    cv::Mat copy;
    if (image.channels() == 1) {
        cv::cvtColor(image, copy, cv::COLOR_GRAY2BGR);
    } else if (image.channels() == 3 || image.channels() == 4) {
        copy = image.clone();
    } else {
        return false;
    }
    std::lock_guard lock(mutex_);
    image_ = std::move(copy);
    return true;
}

cv::Mat DrawnScene::image() const {
    std::lock_guard lock(mutex_);
    return image_;
}

bool DrawnScene::capture(cv::Mat& out) {
    std::lock_guard lock(mutex_);
    out = image_;
    return true;
}

cv::Size DrawnScene::size() const {
    std::lock_guard lock(mutex_);
    return image_.size();
}

}  // namespace sim
