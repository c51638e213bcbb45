#pragma once
// Which way pointer and keys are injected: XTest reaches X clients only, so a
// Wayland session (or an X server without XTest) takes the kernel's uinput
// device instead. The rule lives here; makePlatform applies it.

#include <optional>
#include <string_view>

namespace common {

enum class InputBackend { Automatic, XTest, Uinput };

// "xtest", "uinput" or "auto" (the value of --input); nullopt otherwise.
[[nodiscard]] std::optional<InputBackend> parseInputBackend(std::string_view text);
[[nodiscard]] const char* inputBackendName(InputBackend backend);

// A Wayland session: XDG_SESSION_TYPE says "wayland", or it says neither
// "wayland" nor "x11" and WAYLAND_DISPLAY is set. Null means unset.
[[nodiscard]] bool isWaylandSession(const char* sessionType, const char* waylandDisplay);
// The same from this process's environment.
[[nodiscard]] bool isWaylandSession();

// Qt programs of a Wayland session run through XWayland: sets QT_QPA_PLATFORM
// to xcb there, unless it already names a platform other than wayland.
void useXWaylandInWaylandSession();

// A requested back end wins; otherwise uinput in a Wayland session or where
// XTest is missing, XTest everywhere else.
[[nodiscard]] InputBackend chooseInputBackend(InputBackend requested, bool wayland,
                                              bool xtestAvailable);

}  // namespace common
