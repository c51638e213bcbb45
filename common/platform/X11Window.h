#pragma once
// The small X11 window toolkit the back ends share: typed property reads, the
// window tree (children, parent, top level) and the states the programs ask
// about. Included by .cpp files only, this folder's and X11 tests': Xlib's
// macros (None, Status, Bool) must not reach the rest of the code.

#include <X11/Xlib.h>

#include <optional>
#include <string>
#include <vector>

namespace common::x11 {

// The 32-bit items of a property of `type` (at most `max`); empty when the
// window lacks it or holds another type or format.
[[nodiscard]] std::vector<unsigned long> longs(Display* d, Window w, const char* name, Atom type,
                                               long max = 64);

// An 8-bit text property of `type`; nothing when absent or of another type.
[[nodiscard]] std::optional<std::string> text(Display* d, Window w, const char* name, Atom type);

// Replaces a property with 32-bit items.
void setLongs(Display* d, Window w, const char* name, Atom type,
              const std::vector<unsigned long>& items);

// The children of `w`, bottom of the stack first.
[[nodiscard]] std::vector<Window> children(Display* d, Window w);

// The parent of `w`; 0 for the root or when the window is gone.
[[nodiscard]] Window parent(Display* d, Window w);

// The ancestor of `w` right below the root: the window manager's frame around
// a managed window, the window itself otherwise.
[[nodiscard]] Window topLevel(Display* d, Window w);

[[nodiscard]] bool isViewable(Display* d, Window w);

// Marked full-screen by its window manager (or by itself), or as large as the
// whole screen.
[[nodiscard]] bool isFullScreen(Display* d, Window w);

// Puts `w` on top of its siblings.
void raise(Display* d, Window w);

}  // namespace common::x11
