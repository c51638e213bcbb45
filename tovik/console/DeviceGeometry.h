#pragma once
// Between device pixels of the desktop (what the X server, the pointer
// injector and the calibration measure in) and Qt's logical coordinates,
// which a scale factor (QT_SCALE_FACTOR, a HiDPI screen) makes smaller.

#include <QRect>

#include "common/platform/ScreenInfo.h"

class QScreen;

namespace tovik {

// The Qt screen that holds the centre of a device-pixel rectangle, else the
// primary screen; null without screens.
[[nodiscard]] QScreen* screenForDeviceRect(const common::ScreenRect& device);

// The logical rectangle a window must be given to cover `device` exactly.
[[nodiscard]] QRect logicalRectFor(const common::ScreenRect& device);

// The primary screen's rectangle in device pixels.
[[nodiscard]] common::ScreenRect primaryDeviceRect();

}  // namespace tovik
