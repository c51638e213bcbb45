#pragma once
// Stand-in for window lookup: windows a test declares, and a record of every
// activation, key and close request. Thread-safe.

#ifdef _WIN32
#include "common/platform/win32/Win32Text.h"
#else
#include <fnmatch.h>
#endif

#include <algorithm>
#include <mutex>

#include "common/platform/WindowFinder.h"

namespace common {

class NullWindowFinder final : public WindowFinder {
public:
    struct FakeWindow {
        WindowId id = 0;
        std::string className;
        std::string title;
        WindowId parent = 0;  // 0: top level
        bool viewable = true;
        bool fullScreen = false;
        bool takesFocus = true;
    };

    // Windows are searched in the order they were added.
    void addWindow(FakeWindow w) {
        std::lock_guard lock(mutex_);
        windows_.push_back(std::move(w));
    }
    void removeWindow(WindowId id) {
        std::lock_guard lock(mutex_);
        std::erase_if(windows_, [id](const FakeWindow& w) { return w.id == id; });
    }

    std::optional<WindowId> findByClass(const std::string& className, const std::string& childClass,
                                        bool fullScreenOnly = false) override {
        std::lock_guard lock(mutex_);
        for (const FakeWindow& w : windows_) {
            if (!w.viewable || (fullScreenOnly && !w.fullScreen) ||
                !classMatches(className, w.className)) {
                continue;
            }
            if (!childClass.empty()) {
                for (const FakeWindow& c : windows_) {
                    if (c.viewable && c.className == childClass && isDescendant(c, w.id)) {
                        return c.id;
                    }
                }
            }
            return w.id;
        }
        return std::nullopt;
    }
    std::optional<WindowId> findByTitle(const std::string& title) override {
        std::lock_guard lock(mutex_);
        for (const FakeWindow& w : windows_) {
            if (w.parent == 0 && w.title == title) {
                return w.id;
            }
        }
        return std::nullopt;
    }
    // Windows the test did not declare take the focus too.
    bool activate(WindowId window) override {
        std::lock_guard lock(mutex_);
        activated_.push_back(window);
        return std::none_of(windows_.begin(), windows_.end(), [window](const FakeWindow& w) {
            return w.id == window && !(w.viewable && w.takesFocus);
        });
    }
    void tapKey(int vk) override {
        std::lock_guard lock(mutex_);
        keys_.push_back(vk);
    }
    void requestClose(WindowId window) override {
        std::lock_guard lock(mutex_);
        closeRequests_.push_back(window);
    }

    [[nodiscard]] std::vector<WindowId> activated() const {
        std::lock_guard lock(mutex_);
        return activated_;
    }
    [[nodiscard]] std::vector<int> tappedKeys() const {
        std::lock_guard lock(mutex_);
        return keys_;
    }
    [[nodiscard]] std::vector<WindowId> closeRequests() const {
        std::lock_guard lock(mutex_);
        return closeRequests_;
    }

private:
    static bool classMatches(const std::string& pattern, const std::string& name) {
#ifdef _WIN32
        return win32::wildcardMatch(pattern, name);
#else
        return fnmatch(pattern.c_str(), name.c_str(), 0) == 0;
#endif
    }

    bool isDescendant(const FakeWindow& w, WindowId ancestor) const {
        WindowId p = w.parent;
        for (std::size_t hops = 0; p != 0 && hops <= windows_.size(); ++hops) {
            if (p == ancestor) {
                return true;
            }
            auto it = std::find_if(windows_.begin(), windows_.end(),
                                   [p](const FakeWindow& x) { return x.id == p; });
            p = it == windows_.end() ? 0 : it->parent;
        }
        return false;
    }

    mutable std::mutex mutex_;
    std::vector<FakeWindow> windows_;
    std::vector<WindowId> activated_;
    std::vector<int> keys_;
    std::vector<WindowId> closeRequests_;
};

}  // namespace common
