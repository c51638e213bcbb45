#pragma once
// Live pictures of an X screen for a program that films it many times a
// second (the simulated camera): XShm when the server offers it, plain
// XGetImage otherwise. Its own display connection; one thread at a time.

#include <cstddef>
#include <memory>
#include <string>

#include "common/platform/ScreenInfo.h"

namespace common {

// Pixels of one picture, valid until the next one: rows of `stride` bytes,
// blue, green, red (and one unused byte with 4 channels).
struct ScreenFrame {
    unsigned char* data = nullptr;
    int width = 0;
    int height = 0;
    int channels = 4;
    std::size_t stride = 0;
};

class X11ScreenFrames {
public:
    // displayName: empty for $DISPLAY; area: the part of the root window
    // filmed (one monitor), empty for all of it. Null when the display cannot
    // be opened or the area does not lie within the screen.
    [[nodiscard]] static std::unique_ptr<X11ScreenFrames> open(const std::string& displayName,
                                                               ScreenRect area);
    ~X11ScreenFrames();
    X11ScreenFrames(const X11ScreenFrames&) = delete;
    X11ScreenFrames& operator=(const X11ScreenFrames&) = delete;

    [[nodiscard]] bool usesSharedMemory() const;
    [[nodiscard]] ScreenSize size() const;
    [[nodiscard]] ScreenRect area() const;  // empty: the whole screen

    // A failed read (an X error such as a resize during the capture) gives
    // false for that frame; the next one measures the screen again.
    bool grab(ScreenFrame& out);
    // Test hook: the next grab takes `size` for the screen's size, as if the
    // screen had been resized right after it was measured.
    void assumeSizeOnce(ScreenSize size);

private:
    struct X;
    explicit X11ScreenFrames(std::unique_ptr<X> x);
    std::unique_ptr<X> x_;
};

}  // namespace common
