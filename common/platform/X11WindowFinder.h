#pragma once
// Window lookup and key delivery on an X display: walks the window tree for
// WM_CLASS and titles, activates through the window manager's protocol and
// types keys with XTest. Its own display connection; thread-safe.

#include <memory>

#include "common/platform/WindowFinder.h"

namespace common {

class X11WindowFinder final : public WindowFinder {
public:
    [[nodiscard]] static std::unique_ptr<X11WindowFinder> open(const char* displayName);
    ~X11WindowFinder() override;
    X11WindowFinder(const X11WindowFinder&) = delete;
    X11WindowFinder& operator=(const X11WindowFinder&) = delete;

    std::optional<WindowId> findByClass(const std::string& className, const std::string& childClass,
                                        bool fullScreenOnly = false) override;
    std::optional<WindowId> findByTitle(const std::string& title) override;
    bool activate(WindowId window) override;
    void tapKey(int vk) override;
    void requestClose(WindowId window) override;

private:
    struct Impl;
    explicit X11WindowFinder(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace common
