#include "common/platform/X11InputInjector.h"

namespace {
// Taken before the X headers: XInput's headers define Absolute as a macro.
constexpr std::uint32_t kMove = common::MouseFlags::Move;
constexpr std::uint32_t kAbsolute = common::MouseFlags::Absolute;
constexpr std::uint32_t kLeftDown = common::MouseFlags::LeftDown;
constexpr std::uint32_t kLeftUp = common::MouseFlags::LeftUp;
}  // namespace

#include <X11/extensions/XTest.h>

#include <mutex>

#include "common/platform/AbsoluteMapping.h"
#include "common/platform/X11Support.h"

namespace common {

struct X11InputInjector::Impl {
    x11::DisplayPtr display;
    mutable std::mutex mutex;
    ScreenRect area;

    ScreenRect target() const {
        if (area.width > 0 && area.height > 0) {
            return area;
        }
        const std::vector<Monitor> all = x11::monitors(display.get());
        return findMonitor(all, "").value_or(Monitor{}).rect;
    }
};

std::unique_ptr<X11InputInjector> X11InputInjector::open(const char* displayName) {
    auto impl = std::make_unique<Impl>();
    impl->display = x11::openDisplay(displayName);
    if (!impl->display) {
        return nullptr;
    }
    if (!x11::hasXTest(impl->display.get())) {
        return nullptr;
    }
    return std::unique_ptr<X11InputInjector>(new X11InputInjector(std::move(impl)));
}

X11InputInjector::X11InputInjector(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

X11InputInjector::~X11InputInjector() = default;

ScreenRect X11InputInjector::targetArea() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->target();
}

void X11InputInjector::setTargetArea(ScreenRect area) {
    std::lock_guard lock(impl_->mutex);
    impl_->area = area;
}

void X11InputInjector::send(std::uint32_t flags, std::int32_t dx, std::int32_t dy) {
    std::lock_guard lock(impl_->mutex);
    Display* d = impl_->display.get();
    if (flags & kMove) {
        if (flags & kAbsolute) {
            const PixelPoint p = absoluteToPixel(dx, dy, impl_->target());
            XTestFakeMotionEvent(d, DefaultScreen(d), p.x, p.y, CurrentTime);
        } else {
            XTestFakeRelativeMotionEvent(d, dx, dy, CurrentTime);
        }
    }
    if (flags & kLeftDown) {
        XTestFakeButtonEvent(d, 1, True, CurrentTime);
    }
    if (flags & kLeftUp) {
        XTestFakeButtonEvent(d, 1, False, CurrentTime);
    }
    // A round trip: the events have taken effect when send returns, so
    // whoever asks the server next (another connection) sees them.
    XSync(d, False);
}

}  // namespace common
