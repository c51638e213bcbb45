#pragma once
// The preferences file: pen colour, style and width in section "PEN", read at
// start and written at exit, and the frame's last position in "POSITION",
// written when the frame closes and never read back.

#include <cstdint>
#include <string>
#include <string_view>

#include "common/ini/SafeWrite.h"
#include "kalvo/core/ColorRef.h"

namespace kalvo {

struct PenPreferences {
    COLORREF color = 255;
    std::int32_t style = 0;
    std::int32_t width = 3;

    // Missing file or keys give the defaults. "COLOR" is text of at most 19
    // characters taken as a signed decimal number (leading digits only; no
    // number gives 0, black); "TYPE" and "L" are integers. No range limits.
    [[nodiscard]] static PenPreferences load(const std::string& iniPath);

    // "COLOR" as the signed decimal of the colour reference, "TYPE", "L".
    // On failure the old file is left as it was.
    [[nodiscard]] common::FileWriteResult save(const std::string& iniPath) const;
};

// "CX" and "CY" in section "POSITION".
[[nodiscard]] common::FileWriteResult saveFramePosition(const std::string& iniPath, int left,
                                                        int top);

// The "COLOR" rule on a text: up to 19 characters, leading blanks, a sign,
// decimal digits; anything else ends the number. Out-of-range values stop at
// the 32-bit limits.
[[nodiscard]] std::int32_t parseColorText(std::string_view text);

}  // namespace kalvo
