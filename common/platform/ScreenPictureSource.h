#pragma once
// Pictures of the whole screen taken by someone else than the program: in a
// Wayland session only the compositor can read the screen, and it does so
// through the desktop portal.

#include <string>

namespace common {

class ScreenPictureSource {
public:
    struct Picture {
        std::string path;     // the image file written for us; empty on failure
        std::string problem;  // one line for the user when there is no picture
    };
    virtual ~ScreenPictureSource() = default;
    // Blocks (keeping the event loop going for everything but user input)
    // until the picture is there, refused or given up.
    [[nodiscard]] virtual Picture takePicture() = 0;
};

}  // namespace common
