#pragma once
// Captures an area of the screen as the saver wants it: everything visible
// (the overlay with its ink, the toolbar, other windows) at the screen's depth.

#include <QRect>
#include <QString>

#include "common/platform/ScreenPictureSource.h"
#include "kalvo/core/BmpWriter.h"

namespace kalvo {

// `area` in Qt's screen coordinates (the monitor the surfaces cover); the
// whole primary screen when empty. A null image when no screen can be read.
[[nodiscard]] ScreenCapture grabScreen(const QRect& area = {});

// The picture a source outside the program takes (the desktop portal), read
// from the file it wrote, which is then removed; a null image, with problem
// set, when there is none. The picture shows `desktop` (all monitors, in Qt's
// screen coordinates, at any scale); the capture holds `area` of it, or all
// of it when `area` is empty.
[[nodiscard]] ScreenCapture grabScreenThrough(common::ScreenPictureSource& source,
                                              const QRect& area, const QRect& desktop,
                                              QString& problem);

// The capture of an image already in memory: 24 bits for 3-byte formats,
// 32 bits otherwise.
[[nodiscard]] ScreenCapture captureFromImage(const QImage& image);

}  // namespace kalvo
