// The bitmap writer fed random sizes, formats, depths and pixels, and a disk
// that may fill at any byte.
// Properties:
// - a capture is refused (nothing encoded, nothing written) exactly when it
//   is empty or its depth is neither 24 nor 32;
// - otherwise the file is a valid bitmap: its header describes it, its rows
//   are padded with zeros, and an independent reader (Qt's) gets the
//   capture's colours back;
// - a write that fails leaves the previous file as it was and no other file
//   in the folder; one that succeeds leaves exactly the encoded bytes.

#include <fuzzer/FuzzedDataProvider.h>

#include <QImage>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "common/ini/SafeWrite.h"
#include "kalvo/core/BmpWriter.h"

namespace {

using kalvo::BmpWriter;

std::uint32_t get32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return std::uint32_t{b[at]} | (std::uint32_t{b[at + 1]} << 8) |
           (std::uint32_t{b[at + 2]} << 16) | (std::uint32_t{b[at + 3]} << 24);
}

constexpr QImage::Format kFormats[] = {
    QImage::Format_RGB32,    QImage::Format_ARGB32, QImage::Format_ARGB32_Premultiplied,
    QImage::Format_RGB888,   QImage::Format_RGB16,  QImage::Format_Grayscale8,
    QImage::Format_Indexed8, QImage::Format_Mono,   QImage::Format_RGBA64,
};

QImage makeImage(FuzzedDataProvider& in) {
    const int width = in.ConsumeIntegralInRange(0, 3000);
    const int height = in.ConsumeIntegralInRange(0, 3000);
    const QImage::Format format = in.PickValueInArray(kFormats);
    // Large captures cost time, not coverage: at most 2^14 pixels.
    const int rows = std::min(height, (1 << 14) / std::max(width, 1));
    QImage img(width, rows, format);
    if (img.isNull()) {
        return img;
    }
    if (format == QImage::Format_Indexed8 || format == QImage::Format_Mono) {
        QList<QRgb> table;
        const int colours = format == QImage::Format_Mono ? 2 : 256;
        for (int i = 0; i < colours; ++i) {
            table.push_back(in.ConsumeIntegral<QRgb>());
        }
        img.setColorTable(table);
    }
    const std::vector<std::uint8_t> pixels =
        in.ConsumeBytes<std::uint8_t>(in.remaining_bytes() / 2);
    const auto bytesPerLine = static_cast<std::size_t>(img.bytesPerLine());
    for (int y = 0; y < img.height(); ++y) {
        std::uint8_t* line = img.scanLine(y);
        for (std::size_t x = 0; x < bytesPerLine; ++x) {
            line[x] = pixels.empty() ? static_cast<std::uint8_t>(x * 7 + y)
                                     : pixels[(y * bytesPerLine + x) % pixels.size()];
        }
    }
    return img;
}

void checkEncoding(const kalvo::ScreenCapture& capture, const std::vector<std::uint8_t>& file) {
    const QImage& img = capture.image;
    const int bpp = capture.bitsPerPixel;
    const bool refused = img.isNull() || (bpp != 24 && bpp != 32);
    FUZZ_CHECK(file.empty() == refused);
    if (refused) {
        return;
    }
    const std::uint64_t row =
        kalvo::bmpRowSize(static_cast<std::uint64_t>(img.width()), static_cast<std::uint64_t>(bpp));
    const std::uint64_t imageSize = row * static_cast<std::uint64_t>(img.height());
    FUZZ_CHECK(file.size() == BmpWriter::kHeaderSize + imageSize);
    FUZZ_CHECK(file[0] == 'B' && file[1] == 'M');
    FUZZ_CHECK(get32(file, 2) == file.size());
    FUZZ_CHECK(get32(file, 10) == 54 && get32(file, 14) == 40);
    FUZZ_CHECK(get32(file, 18) == static_cast<std::uint32_t>(img.width()));
    FUZZ_CHECK(get32(file, 22) == static_cast<std::uint32_t>(img.height()));
    FUZZ_CHECK((get32(file, 26) & 0xFFFF) == 1 && (get32(file, 26) >> 16) == std::uint32_t(bpp));
    FUZZ_CHECK(get32(file, 30) == 0 && get32(file, 34) == imageSize);

    const std::uint64_t used = static_cast<std::uint64_t>(img.width()) * (bpp / 8);
    for (int y = 0; y < img.height(); ++y) {
        for (std::uint64_t x = used; x < row; ++x) {
            FUZZ_CHECK(file[54 + y * row + x] == 0);
        }
    }

    const QImage decoded = QImage::fromData(file.data(), static_cast<int>(file.size()), "BMP");
    FUZZ_CHECK(decoded.size() == img.size());
    const QImage expected = img.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            // Colour channels as the capture has them; alpha is not stored.
            QRgb want = img.format() == QImage::Format_ARGB32
                            ? reinterpret_cast<const QRgb*>(img.constScanLine(y))[x]
                            : expected.pixel(x, y);
            FUZZ_CHECK(qRgb(qRed(want), qGreen(want), qBlue(want)) ==
                       (decoded.pixel(x, y) | 0xFF000000u));
        }
    }
}

void checkWrite(FuzzedDataProvider& in, const kalvo::ScreenCapture& capture,
                const std::vector<std::uint8_t>& file) {
    const std::string& dir = fuzzsupport::scratchDir();
    const std::string path = dir + "/picture.bmp";
    const std::string before = "an earlier picture";
    fuzzsupport::writeFile(path, before);

    const bool fault = in.ConsumeBool();
    if (fault) {
        common::injectWriteFault(in.ConsumeIntegralInRange<std::size_t>(0, file.size() + 1),
                                 in.ConsumeBool() ? ENOSPC : EROFS);
    }
    const common::FileWriteResult r = BmpWriter::writeFile(capture, path);
    common::clearWriteFault();

    FUZZ_CHECK(fuzzsupport::listDir(dir).size() == 1);
    const std::string after = fuzzsupport::readFile(path);
    if (r.ok()) {
        FUZZ_CHECK(!file.empty());
        FUZZ_CHECK(after == std::string(file.begin(), file.end()));
    } else {
        FUZZ_CHECK(file.empty() || fault);
        FUZZ_CHECK(after == before);
        FUZZ_CHECK(!r.describe(path).empty());
    }
    fuzzsupport::clearDir(dir);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const int depths[] = {24, 32, 24, 32, 0, 8, 16, in.ConsumeIntegral<int>()};
    kalvo::ScreenCapture capture;
    capture.bitsPerPixel = in.PickValueInArray(depths);
    capture.image = makeImage(in);

    const std::vector<std::uint8_t> file = BmpWriter::encode(capture);
    checkEncoding(capture, file);
    checkWrite(in, capture, file);
    return 0;
}
