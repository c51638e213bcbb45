#pragma once
// Finds top-level windows of other programs by their X11 class and delivers
// keys to them: Kalvo's page keys for a running presentation.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace common {

using WindowId = std::uint64_t;

class WindowFinder {
public:
    virtual ~WindowFinder() = default;
    // First viewable window (depth-first from the root, topmost first) whose
    // WM_CLASS class or instance name matches className, a pattern in which
    // '*' stands for any text ("LibreOffice*"); with fullScreenOnly, only a
    // window that covers the screen or is marked full-screen counts. With
    // childClass, a viewable descendant of it of that class is returned
    // instead (the window itself when none matches). Hidden windows never
    // count: a key sent to one would land wherever the focus is.
    virtual std::optional<WindowId> findByClass(const std::string& className,
                                                const std::string& childClass,
                                                bool fullScreenOnly = false) = 0;
    // First top-level window whose title equals the text.
    virtual std::optional<WindowId> findByTitle(const std::string& title) = 0;
    // Raises and focuses the window; true when the keyboard focus is then in
    // it (false for a window that cannot take it, such as a hidden one).
    virtual bool activate(WindowId window) = 0;
    // Presses and releases a key (a virtual-key number such as VK_NEXT_KEY)
    // through the input system, to whatever has the focus.
    virtual void tapKey(int vk) = 0;
    // Asks the window to close (WM_DELETE_WINDOW).
    virtual void requestClose(WindowId window) = 0;
};

}  // namespace common
