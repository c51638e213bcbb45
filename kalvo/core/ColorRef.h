#pragma once
// Colours as the drawing state stores them: 0x00BBGGRR.

#include <cstdint>

namespace kalvo {

using COLORREF = std::uint32_t;

[[nodiscard]] constexpr COLORREF makeColorRef(int red, int green, int blue) {
    return static_cast<COLORREF>((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
}
[[nodiscard]] constexpr int colorRed(COLORREF c) {
    return static_cast<int>(c & 0xFF);
}
[[nodiscard]] constexpr int colorGreen(COLORREF c) {
    return static_cast<int>((c >> 8) & 0xFF);
}
[[nodiscard]] constexpr int colorBlue(COLORREF c) {
    return static_cast<int>((c >> 16) & 0xFF);
}

}  // namespace kalvo
