#include "common/platform/InputBackend.h"

#include <cstdlib>

namespace common {

std::optional<InputBackend> parseInputBackend(std::string_view text) {
    if (text == "xtest") {
        return InputBackend::XTest;
    }
    if (text == "uinput") {
        return InputBackend::Uinput;
    }
    if (text == "auto") {
        return InputBackend::Automatic;
    }
    return std::nullopt;
}

const char* inputBackendName(InputBackend backend) {
    switch (backend) {
        case InputBackend::XTest:
            return "xtest";
        case InputBackend::Uinput:
            return "uinput";
        case InputBackend::Automatic:
            break;
    }
    return "auto";
}

bool isWaylandSession(const char* sessionType, const char* waylandDisplay) {
    const std::string_view type = sessionType ? sessionType : "";
    if (type == "wayland") {
        return true;
    }
    if (type == "x11") {
        return false;
    }
    return waylandDisplay != nullptr && *waylandDisplay != '\0';
}

bool isWaylandSession() {
    return isWaylandSession(std::getenv("XDG_SESSION_TYPE"), std::getenv("WAYLAND_DISPLAY"));
}

void useXWaylandInWaylandSession() {
    if (!isWaylandSession()) {
        return;
    }
    const char* current = std::getenv("QT_QPA_PLATFORM");
    if (current == nullptr || *current == '\0' ||
        std::string_view(current).starts_with("wayland")) {
#ifdef _WIN32
        _putenv_s("QT_QPA_PLATFORM", "xcb");
#else
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
#endif
    }
}

InputBackend chooseInputBackend(InputBackend requested, bool wayland, bool xtestAvailable) {
    if (requested != InputBackend::Automatic) {
        return requested;
    }
    return wayland || !xtestAvailable ? InputBackend::Uinput : InputBackend::XTest;
}

}  // namespace common
