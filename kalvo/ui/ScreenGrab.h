#pragma once
// Captures the whole primary screen as the saver wants it: everything visible
// (the overlay with its ink, the toolbar, other windows) at the screen's depth.

#include <QString>

#include "common/platform/ScreenPictureSource.h"
#include "kalvo/core/BmpWriter.h"

namespace kalvo {

// A null image when no screen can be read.
[[nodiscard]] ScreenCapture grabScreen();

// The picture a source outside the program takes (the desktop portal), read
// from the file it wrote; a null image, with problem set, when there is none.
[[nodiscard]] ScreenCapture grabScreenThrough(common::ScreenPictureSource& source,
                                              QString& problem);

// The capture of an image already in memory: 24 bits for 3-byte formats,
// 32 bits otherwise.
[[nodiscard]] ScreenCapture captureFromImage(const QImage& image);

}  // namespace kalvo
