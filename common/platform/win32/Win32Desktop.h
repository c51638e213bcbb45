#pragma once
// Desktop composition: Kalvo's overlay repaints itself transparently, which
// the desktop window manager of Windows Vista and 7 slows down; those systems
// let a program switch composition off while it runs. Later ones keep it on
// whatever is asked, so nothing is asked there.

namespace common::win32 {

// True when composition was switched off. dwmapi.dll is loaded at run time.
bool disableDwmComposition();

}  // namespace common::win32
