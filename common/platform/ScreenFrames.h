#pragma once
// Live pictures of the screen for a program that films it many times a
// second (the simulated camera). On X: XShm when the server offers it, plain
// XGetImage otherwise, over its own display connection (X11ScreenFrames.cpp).
// On Windows: GDI into a DIB section (win32/Win32ScreenFrames.cpp). One
// thread at a time.

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

class ScreenFrames {
public:
    // displayName: empty for $DISPLAY (unused on Windows); area: the part of
    // the screen filmed (one monitor), empty for all of it (on Windows the
    // virtual desktop). Null when the display cannot be opened or the area
    // does not lie within the screen.
    [[nodiscard]] static std::unique_ptr<ScreenFrames> open(const std::string& displayName,
                                                            ScreenRect area);
    ~ScreenFrames();
    ScreenFrames(const ScreenFrames&) = delete;
    ScreenFrames& operator=(const ScreenFrames&) = delete;

    [[nodiscard]] bool usesSharedMemory() const;
    [[nodiscard]] ScreenSize size() const;
    // Empty: the whole X screen. On Windows the filmed rectangle, which for
    // the virtual desktop need not start at 0,0.
    [[nodiscard]] ScreenRect area() const;

    // A failed read (an X error such as a resize during the capture) gives
    // false for that frame; the next one measures the screen again.
    bool grab(ScreenFrame& out);
    // Test hook: the next grab takes `size` for the screen's size, as if the
    // screen had been resized right after it was measured.
    void assumeSizeOnce(ScreenSize size);

private:
    struct Impl;
    explicit ScreenFrames(std::unique_ptr<Impl> x);
    std::unique_ptr<Impl> x_;
};

}  // namespace common
