#pragma once
// Writes a screen capture as an uncompressed Windows bitmap file: 14-byte file
// header, 40-byte information header, no colour table, rows bottom-up and
// padded to four bytes, at the capture's own depth (24 or 32 bits per pixel).

#include <QImage>

#include <cstdint>
#include <string>
#include <vector>

#include "common/ini/SafeWrite.h"

namespace kalvo {

struct ScreenCapture {
    QImage image;
    int bitsPerPixel = 32;  // 24 or 32: the depth the file is written at
};

// In 64 bits: width x bits per pixel overflows 32 bits for very wide images.
[[nodiscard]] constexpr std::uint64_t bmpRowSize(std::uint64_t width, std::uint64_t bitsPerPixel) {
    return ((width * bitsPerPixel + 31) / 32) * 4;
}

class BmpWriter {
public:
    static constexpr int kHeaderSize = 54;

    // The whole file in memory; empty when the capture is empty or its depth
    // is neither 24 nor 32.
    [[nodiscard]] static std::vector<std::uint8_t> encode(const ScreenCapture& capture);

    // Writes through common::writeFileSafely, so a failed write leaves
    // neither a partial file nor a stray temporary; a capture encode()
    // refuses gives EINVAL.
    [[nodiscard]] static common::FileWriteResult writeFile(const ScreenCapture& capture,
                                                           const std::string& path);
};

}  // namespace kalvo
