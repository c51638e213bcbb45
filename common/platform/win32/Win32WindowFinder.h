#pragma once
// Windows of other programs by their window class (EnumWindows) and keys for
// them: a key is posted to the window last activated as a key-down message
// with lParam 0, the way a presentation's pane expects it from the toolbar
// program that drives it. Thread-safe.

#include <mutex>

#include "common/platform/WindowFinder.h"

namespace common {

class Win32WindowFinder final : public WindowFinder {
public:
    std::optional<WindowId> findByClass(const std::string& className, const std::string& childClass,
                                        bool fullScreenOnly = false) override;
    std::optional<WindowId> findByTitle(const std::string& title) override;
    bool activate(WindowId window) override;
    void tapKey(int vk) override;
    void requestClose(WindowId window) override;

private:
    std::mutex mutex_;
    WindowId keyTarget_ = 0;
};

}  // namespace common
