// Screen frames on Windows: the desktop read with GDI into a DIB section, as
// a camera in front of the monitor would see it.

#include "common/platform/ScreenFrames.h"

// windows.h first: the other system headers build on it.
#include <windows.h>

#include <optional>

namespace common {

namespace {

bool isEmpty(ScreenRect r) {
    return r.width <= 0 || r.height <= 0;
}

ScreenRect virtualDesktop() {
    return {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
            GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

bool within(ScreenRect inner, ScreenRect outer) {
    return inner.x >= outer.x && inner.y >= outer.y &&
           inner.x + inner.width <= outer.x + outer.width &&
           inner.y + inner.height <= outer.y + outer.height;
}

}  // namespace

struct ScreenFrames::Impl {
    HDC screen = nullptr;
    HDC memory = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    void* bits = nullptr;
    ScreenRect area;  // in desktop coordinates; empty: the whole virtual desktop
    ScreenSize size;
    std::optional<ScreenSize> assumed;

    // The filmed rectangle now, in desktop coordinates.
    [[nodiscard]] ScreenRect target() const { return isEmpty(area) ? virtualDesktop() : area; }

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

std::unique_ptr<ScreenFrames> ScreenFrames::open(const std::string&, ScreenRect area) {
    auto x = std::make_unique<Impl>();
    x->area = isEmpty(area) ? ScreenRect{} : area;
    if (!isEmpty(area) && !within(area, virtualDesktop())) {
        return nullptr;
    }
    x->screen = GetDC(nullptr);
    x->memory = x->screen ? CreateCompatibleDC(x->screen) : nullptr;
    if (!x->memory) {
        if (x->screen) {
            ReleaseDC(nullptr, x->screen);
        }
        return nullptr;
    }
    x->size = x->target().size();
    if (!x->createBitmap()) {
        DeleteDC(x->memory);
        ReleaseDC(nullptr, x->screen);
        return nullptr;
    }
    return std::unique_ptr<ScreenFrames>(new ScreenFrames(std::move(x)));
}

ScreenFrames::ScreenFrames(std::unique_ptr<Impl> x) : x_(std::move(x)) {}

ScreenFrames::~ScreenFrames() {
    x_->releaseBitmap();
    DeleteDC(x_->memory);
    ReleaseDC(nullptr, x_->screen);
}

bool ScreenFrames::usesSharedMemory() const {
    return false;
}

ScreenSize ScreenFrames::size() const {
    return x_->size;
}

ScreenRect ScreenFrames::area() const {
    return x_->target();
}

void ScreenFrames::assumeSizeOnce(ScreenSize size) {
    x_->assumed = size;
}

bool ScreenFrames::grab(ScreenFrame& out) {
    Impl& x = *x_;
    // The desktop may change size (a monitor added) while we run.
    const ScreenRect target = x.target();
    ScreenSize now = target.size();
    if (x.assumed) {
        now = *x.assumed;
        x.assumed.reset();
    }
    if (now.width != x.size.width || now.height != x.size.height || !x.bitmap) {
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
    out.data = static_cast<unsigned char*>(x.bits);
    out.width = x.size.width;
    out.height = x.size.height;
    out.channels = 4;
    out.stride = static_cast<std::size_t>(x.size.width) * 4;
    return true;
}

}  // namespace common
