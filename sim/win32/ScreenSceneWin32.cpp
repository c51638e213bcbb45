// The Windows desktop as the simulated camera's scene: the screen read with
// GDI into a DIB section, as a camera in front of the monitor would see it.

// windows.h first: the other system headers build on it.
#include <windows.h>

#include <optional>

#include "sim/ScreenScene.h"

namespace sim {

struct ScreenScene::X {
    HDC screen = nullptr;
    HDC memory = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    void* bits = nullptr;
    cv::Rect area;  // in desktop coordinates; empty: the whole virtual desktop
    cv::Size size;
    std::optional<cv::Size> assumed;

    // The filmed rectangle now, in desktop coordinates.
    [[nodiscard]] cv::Rect target() const {
        if (!area.empty()) {
            return area;
        }
        return {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    }

    void releaseBitmap() {
        if (bitmap) {
            SelectObject(memory, previous);
            DeleteObject(bitmap);
            bitmap = nullptr;
            bits = nullptr;
        }
    }

    // A top-down 32-bit DIB of `size`, selected into the memory DC.
    bool createBitmap() {
        releaseBitmap();
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = size.width;
        info.bmiHeader.biHeight = -size.height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!bitmap) {
            return false;
        }
        previous = SelectObject(memory, bitmap);
        return true;
    }
};

ScreenScene::ScreenScene(const std::string&, cv::Rect area) {
    auto x = std::make_unique<X>();
    x->area = area;
    const cv::Rect desktop = X{}.target();
    if (!area.empty() && (area & desktop) != area) {
        return;
    }
    x->screen = GetDC(nullptr);
    x->memory = x->screen ? CreateCompatibleDC(x->screen) : nullptr;
    if (!x->memory) {
        if (x->screen) {
            ReleaseDC(nullptr, x->screen);
        }
        return;
    }
    x->size = x->target().size();
    if (!x->createBitmap()) {
        DeleteDC(x->memory);
        ReleaseDC(nullptr, x->screen);
        return;
    }
    x_ = std::move(x);
}

ScreenScene::~ScreenScene() {
    if (x_) {
        x_->releaseBitmap();
        DeleteDC(x_->memory);
        ReleaseDC(nullptr, x_->screen);
    }
}

bool ScreenScene::isOpen() const {
    std::lock_guard lock(mutex_);
    return x_ != nullptr;
}

bool ScreenScene::usesSharedMemory() const {
    return false;
}

cv::Size ScreenScene::size() const {
    std::lock_guard lock(mutex_);
    return x_ ? x_->size : cv::Size();
}

cv::Point ScreenScene::origin() const {
    std::lock_guard lock(mutex_);
    return x_ ? x_->target().tl() : cv::Point();
}

void ScreenScene::assumeSizeOnce(cv::Size size) {
    std::lock_guard lock(mutex_);
    if (x_) {
        x_->assumed = size;
    }
}

bool ScreenScene::capture(cv::Mat& out) {
    std::lock_guard lock(mutex_);
    if (!x_) {
        return false;
    }
    X& x = *x_;
    // The desktop may change size (a monitor added) while we run.
    const cv::Rect target = x.target();
    cv::Size now = target.size();
    if (x.assumed) {
        now = *x.assumed;
        x.assumed.reset();
    }
    if (now != x.size || !x.bitmap) {
        x.size = now;
        if (!x.createBitmap()) {
            return false;
        }
    }
    if (!BitBlt(x.memory, 0, 0, x.size.width, x.size.height, x.screen, target.x, target.y,
                SRCCOPY | CAPTUREBLT)) {
        return false;
    }
    GdiFlush();
    out = cv::Mat(x.size, CV_8UC4, x.bits);
    return true;
}

}  // namespace sim
