#include "sim/ScreenScene.h"

namespace sim {

ScreenScene::ScreenScene(const std::string& displayName, cv::Rect area)
    : frames_(common::ScreenFrames::open(displayName, {area.x, area.y, area.width, area.height})) {}

ScreenScene::~ScreenScene() = default;

bool ScreenScene::isOpen() const {
    std::lock_guard lock(mutex_);
    return frames_ != nullptr;
}

bool ScreenScene::usesSharedMemory() const {
    std::lock_guard lock(mutex_);
    return frames_ && frames_->usesSharedMemory();
}

cv::Size ScreenScene::size() const {
    std::lock_guard lock(mutex_);
    return frames_ ? cv::Size(frames_->size().width, frames_->size().height) : cv::Size();
}

cv::Point ScreenScene::origin() const {
    std::lock_guard lock(mutex_);
    return frames_ ? cv::Point(frames_->area().x, frames_->area().y) : cv::Point();
}

void ScreenScene::assumeSizeOnce(cv::Size size) {
    std::lock_guard lock(mutex_);
    if (frames_) {
        frames_->assumeSizeOnce({size.width, size.height});
    }
}

bool ScreenScene::capture(cv::Mat& out) {
    std::lock_guard lock(mutex_);
    common::ScreenFrame frame;
    if (!frames_ || !frames_->grab(frame)) {
        return false;
    }
    out = cv::Mat(frame.height, frame.width, frame.channels == 4 ? CV_8UC4 : CV_8UC3, frame.data,
                  frame.stride);
    return true;
}

}  // namespace sim
