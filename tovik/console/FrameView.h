#pragma once
// A picture control that shows a camera frame scaled to its rectangle.

#include <QImage>
#include <QWidget>

#include <opencv2/core.hpp>

namespace tovik {

class FrameView final : public QWidget {
    Q_OBJECT
public:
    explicit FrameView(QWidget* parent = nullptr);

    // Copies an 8-bit BGR (or grey) frame and repaints; other formats clear
    // the picture.
    void setFrame(const cv::Mat& frame);
    void clear();
    [[nodiscard]] const QImage& image() const { return image_; }
    [[nodiscard]] int framesShown() const { return framesShown_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image_;
    int framesShown_ = 0;
};

// An 8-bit BGR or grey cv::Mat as a QImage holding its own copy of the pixels.
[[nodiscard]] QImage ToQImage(const cv::Mat& frame);

}  // namespace tovik
