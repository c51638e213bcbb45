#include "kalvo/core/BmpWriter.h"

#include <cerrno>

namespace kalvo {
namespace {

void put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

}  // namespace

std::vector<std::uint8_t> BmpWriter::encode(const ScreenCapture& capture) {
    const int bpp = capture.bitsPerPixel;
    if (capture.image.isNull() || (bpp != 24 && bpp != 32)) {
        return {};
    }
    const QImage img = capture.image.format() == QImage::Format_RGB32 ||
                               capture.image.format() == QImage::Format_ARGB32
                           ? capture.image
                           : capture.image.convertToFormat(QImage::Format_RGB32);
    const auto width = static_cast<std::uint32_t>(img.width());
    const auto height = static_cast<std::uint32_t>(img.height());
    const std::uint64_t rowSize = bmpRowSize(width, static_cast<std::uint32_t>(bpp));
    const std::uint64_t imageSize = rowSize * height;
    if (imageSize + kHeaderSize > 0xFFFFFFFFull) {
        return {};
    }

    std::vector<std::uint8_t> out(kHeaderSize + imageSize, 0);
    std::uint8_t* h = out.data();
    h[0] = 'B';
    h[1] = 'M';
    put32(h + 2, static_cast<std::uint32_t>(kHeaderSize + imageSize));
    put32(h + 10, kHeaderSize);
    put32(h + 14, 40);
    put32(h + 18, width);
    put32(h + 22, height);  // positive: bottom-up rows
    put16(h + 26, 1);
    put16(h + 28, static_cast<std::uint16_t>(bpp));
    put32(h + 34, static_cast<std::uint32_t>(imageSize));
    // Compression, resolutions and colour counts stay 0.

    const int bytesPerPixel = bpp / 8;
    for (std::uint32_t fileRow = 0; fileRow < height; ++fileRow) {
        const auto* src = reinterpret_cast<const QRgb*>(
            img.constScanLine(static_cast<int>(height - 1 - fileRow)));
        std::uint8_t* dst = out.data() + kHeaderSize + std::size_t{fileRow} * rowSize;
        if (bytesPerPixel == 4) {
            for (std::uint32_t x = 0; x < width; ++x, dst += 4) {
                const QRgb p = src[x];
                dst[0] = static_cast<std::uint8_t>(qBlue(p));
                dst[1] = static_cast<std::uint8_t>(qGreen(p));
                dst[2] = static_cast<std::uint8_t>(qRed(p));
                // The fourth byte stays 0, as a device-independent capture has it.
            }
        } else {
            for (std::uint32_t x = 0; x < width; ++x, dst += 3) {
                const QRgb p = src[x];
                dst[0] = static_cast<std::uint8_t>(qBlue(p));
                dst[1] = static_cast<std::uint8_t>(qGreen(p));
                dst[2] = static_cast<std::uint8_t>(qRed(p));
            }
        }
    }
    return out;
}

common::FileWriteResult BmpWriter::writeFile(const ScreenCapture& capture,
                                             const std::string& path) {
    const std::vector<std::uint8_t> bytes = encode(capture);
    if (bytes.empty()) {
        return {EINVAL};
    }
    return common::writeFileSafely(
        path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace kalvo
