#include "tovik/calibration/HeadlessCanvas.h"

#include <opencv2/imgproc.hpp>

namespace tovik {

namespace {

// Hershey fonts have ASCII only: every other character is drawn as '?'.
std::string asciiOf(const std::string& utf8) {
    std::string out;
    for (unsigned char c : utf8) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if ((c & 0xC0) != 0x80) {
            out += '?';
        }
    }
    return out;
}

}  // namespace

HeadlessCanvas::HeadlessCanvas(common::ScreenSize size, ScreenHandler handler)
    : size_(size),
      handler_(std::move(handler)),
      desktop_(std::max(size.height, 1), std::max(size.width, 1), CV_8UC3, cv::Scalar::all(128)) {}

void HeadlessCanvas::Show(bool acceptsEscape) {
    std::lock_guard lock(mutex_);
    image_.create(std::max(size_.height, 1), std::max(size_.width, 1), CV_8UC3);
    image_.setTo(cv::Scalar::all(255));
    shown_ = true;
    acceptsEscape_ = acceptsEscape;
    closedByUser_ = false;
    lastDot_.reset();
    ++showCount_;
    publish();
}

void HeadlessCanvas::Clear() {
    std::lock_guard lock(mutex_);
    if (shown_) {
        image_.setTo(cv::Scalar::all(255));
        lastDot_.reset();
    }
}

void HeadlessCanvas::Text(int x, int y, const std::string& utf8) {
    std::lock_guard lock(mutex_);
    if (!shown_) {
        return;
    }
    texts_.push_back(utf8);
    const std::string text = asciiOf(utf8);
    int baseline = 0;
    const cv::Size extent = cv::getTextSize(text, cv::FONT_HERSHEY_SIMPLEX, 0.5, 1, &baseline);
    const int height = extent.height + baseline + 4;
    cv::rectangle(image_, cv::Rect(x, y, extent.width + 2, height), cv::Scalar::all(255),
                  cv::FILLED);
    cv::putText(image_, text, cv::Point(x + 1, y + extent.height + 2), cv::FONT_HERSHEY_SIMPLEX,
                0.5, cv::Scalar::all(0), 1, cv::LINE_8);
}

void HeadlessCanvas::Rectangle(int left, int top, int right, int bottom) {
    std::lock_guard lock(mutex_);
    if (!shown_ || right <= left || bottom <= top) {
        return;
    }
    cv::rectangle(image_, cv::Rect(left, top, right - left, bottom - top), cv::Scalar::all(0),
                  cv::FILLED);
}

void HeadlessCanvas::Dot(int cx, int cy, DotColour colour) {
    std::lock_guard lock(mutex_);
    if (!shown_) {
        return;
    }
    const cv::Scalar fill =
        colour == DotColour::Red ? cv::Scalar(0, 0, 255) : cv::Scalar(0, 255, 0);
    // The ellipse inscribed in (cx-8, cy-8)..(cx+8, cy+8), right and bottom
    // exclusive: 16 pixels across.
    const cv::Point2f centre(static_cast<float>(cx) - 0.5f, static_cast<float>(cy) - 0.5f);
    constexpr int kShift = 2;
    const cv::Point c(static_cast<int>(centre.x * (1 << kShift)),
                      static_cast<int>(centre.y * (1 << kShift)));
    cv::circle(image_, c, 8 << kShift, fill, cv::FILLED, cv::LINE_8, kShift);
    cv::circle(image_, c, 8 << kShift, cv::Scalar::all(0), 1, cv::LINE_8, kShift);
    lastDot_ = DotMark{{cx, cy}, colour};
}

void HeadlessCanvas::Flush() {
    std::lock_guard lock(mutex_);
    ++flushCount_;
    publish();
}

void HeadlessCanvas::Destroy() {
    std::lock_guard lock(mutex_);
    if (!shown_) {
        return;
    }
    shown_ = false;
    publish();
}

bool HeadlessCanvas::ClosedByUser() {
    std::lock_guard lock(mutex_);
    return closedByUser_;
}

void HeadlessCanvas::pressEscape() {
    std::lock_guard lock(mutex_);
    if (shown_ && acceptsEscape_) {
        shown_ = false;
        closedByUser_ = true;
        publish();
    }
}

void HeadlessCanvas::setDesktop(const cv::Mat& desktop) {
    std::lock_guard lock(mutex_);
    desktop_ = desktop.clone();
    publish();
}

void HeadlessCanvas::publish() {
    if (handler_) {
        handler_(shown_ ? image_ : desktop_);
    }
}

bool HeadlessCanvas::shown() const {
    std::lock_guard lock(mutex_);
    return shown_;
}

cv::Mat HeadlessCanvas::image() const {
    std::lock_guard lock(mutex_);
    return image_.clone();
}

std::optional<HeadlessCanvas::DotMark> HeadlessCanvas::lastDot() const {
    std::lock_guard lock(mutex_);
    return lastDot_;
}

std::vector<std::string> HeadlessCanvas::texts() const {
    std::lock_guard lock(mutex_);
    return texts_;
}

int HeadlessCanvas::showCount() const {
    std::lock_guard lock(mutex_);
    return showCount_;
}

int HeadlessCanvas::flushCount() const {
    std::lock_guard lock(mutex_);
    return flushCount_;
}

}  // namespace tovik
