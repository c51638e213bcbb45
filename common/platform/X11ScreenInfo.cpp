#include "common/platform/X11ScreenInfo.h"

#include <mutex>

#include "common/platform/X11Support.h"

namespace common {

struct X11ScreenInfo::Impl {
    x11::DisplayPtr display;
    mutable std::mutex mutex;
};

std::unique_ptr<X11ScreenInfo> X11ScreenInfo::open(const char* displayName) {
    auto impl = std::make_unique<Impl>();
    impl->display = x11::openDisplay(displayName);
    if (!impl->display) {
        return nullptr;
    }
    return std::unique_ptr<X11ScreenInfo>(new X11ScreenInfo(std::move(impl)));
}

X11ScreenInfo::X11ScreenInfo(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

X11ScreenInfo::~X11ScreenInfo() = default;

std::vector<Monitor> X11ScreenInfo::monitors() const {
    std::lock_guard lock(impl_->mutex);
    return x11::monitors(impl_->display.get());
}

}  // namespace common
