#pragma once
// A calibration canvas without a display: it draws into a BGR image of the
// screen size and hands the picture to a callback whenever it is flushed,
// shown or destroyed (the simulator's drawn scene shows it to the camera).

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "tovik/calibration/CalibrationServices.h"

namespace tovik {

class HeadlessCanvas final : public CalibrationCanvas {
public:
    // Receives what the screen shows: the window's picture while it exists,
    // the desktop otherwise.
    using ScreenHandler = std::function<void(const cv::Mat& screen)>;

    explicit HeadlessCanvas(common::ScreenSize size, ScreenHandler handler = {});

    void Show(bool acceptsEscape) override;
    common::ScreenSize ScreenSize() override { return size_; }
    void Text(int x, int y, const std::string& utf8) override;
    void Rectangle(int left, int top, int right, int bottom) override;
    void Dot(int cx, int cy, DotColour colour) override;
    void Clear() override;
    void Flush() override;
    void Destroy() override;
    bool ClosedByUser() override;

    // An Esc key for the window: destroys it when it accepts Esc.
    void pressEscape();
    // The picture behind the window (plain grey at first).
    void setDesktop(const cv::Mat& desktop);

    struct DotMark {
        cv::Point centre;
        DotColour colour = DotColour::Red;
    };
    [[nodiscard]] bool shown() const;
    [[nodiscard]] cv::Mat image() const;  // the window's picture (a copy)
    [[nodiscard]] std::optional<DotMark> lastDot() const;
    [[nodiscard]] std::vector<std::string> texts() const;
    [[nodiscard]] int showCount() const;
    [[nodiscard]] int flushCount() const;

private:
    void publish();  // caller holds mutex_

    common::ScreenSize size_;
    ScreenHandler handler_;
    mutable std::mutex mutex_;
    cv::Mat image_;
    cv::Mat desktop_;
    bool shown_ = false;
    bool acceptsEscape_ = true;
    bool closedByUser_ = false;
    std::optional<DotMark> lastDot_;
    std::vector<std::string> texts_;
    int showCount_ = 0;
    int flushCount_ = 0;
};

}  // namespace tovik
