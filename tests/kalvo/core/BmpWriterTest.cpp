#include "kalvo/core/BmpWriter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace kalvo {
namespace {

std::uint32_t u32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t{b[at + 3]} << 24);
}
std::uint16_t u16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

// Every pixel distinct: red = x, green = y, blue = 200.
QImage pattern(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            img.setPixel(x, y, qRgb(x, y, 200));
        }
    }
    return img;
}

TEST(BmpWriter, RowSizeRoundsUpToFourBytes) {
    EXPECT_EQ(bmpRowSize(1, 24), 4u);
    EXPECT_EQ(bmpRowSize(3, 24), 12u);
    EXPECT_EQ(bmpRowSize(5, 24), 16u);
    EXPECT_EQ(bmpRowSize(5, 32), 20u);
    EXPECT_EQ(bmpRowSize(1920, 32), 7680u);
    // Widths whose bit count no longer fits in 32 bits.
    EXPECT_EQ(bmpRowSize(1u << 27, 32), std::uint64_t{1} << 29);
    EXPECT_EQ(bmpRowSize(0xFFFFFFFFu, 24), 0x300000000ull);
}

TEST(BmpWriter, HeadersFollowTheFileFormat) {
    for (const int bpp : {24, 32}) {
        SCOPED_TRACE(bpp);
        const auto bytes = BmpWriter::encode({pattern(5, 3), bpp});

        const std::uint64_t row = bmpRowSize(5, static_cast<std::uint32_t>(bpp));
        ASSERT_EQ(bytes.size(), 54 + row * 3);
        EXPECT_EQ(bytes[0], 'B');
        EXPECT_EQ(bytes[1], 'M');
        EXPECT_EQ(u16(bytes, 26), 1);
        EXPECT_EQ(u16(bytes, 28), bpp);
        // The 32-bit fields by offset: sizes, offsets, width, height, and
        // zero for compression, resolution and palette.
        const std::pair<std::size_t, std::uint64_t> fields[] = {
            {2, 54 + row * 3}, {6, 0},        {10, 54}, {14, 40}, {18, 5}, {22, 3},
            {30, 0},           {34, row * 3}, {38, 0},  {42, 0},  {46, 0}, {50, 0}};
        for (const auto& [at, value] : fields) {
            EXPECT_EQ(u32(bytes, at), value) << at;
        }
    }
}

TEST(BmpWriter, RowsAreBottomUpInBlueGreenRedWithZeroPadding) {
    const auto b24 = BmpWriter::encode({pattern(5, 3), 24});
    const auto b32 = BmpWriter::encode({pattern(5, 3), 32});

    // 24 bits: 15 bytes of pixels and one padding byte per row.
    for (int fileRow = 0; fileRow < 3; ++fileRow) {
        const int y = 2 - fileRow;
        for (int x = 0; x < 5; ++x) {
            const std::size_t p = 54 + std::size_t(fileRow) * 16 + std::size_t(x) * 3;
            EXPECT_EQ(b24[p], 200);
            EXPECT_EQ(b24[p + 1], y);
            EXPECT_EQ(b24[p + 2], x);
            const std::size_t q = 54 + std::size_t(fileRow) * 20 + std::size_t(x) * 4;
            EXPECT_EQ(b32[q], 200);
            EXPECT_EQ(b32[q + 1], y);
            EXPECT_EQ(b32[q + 2], x);
            EXPECT_EQ(b32[q + 3], 0);
        }
        EXPECT_EQ(b24[54 + std::size_t(fileRow) * 16 + 15], 0);
    }
}

TEST(BmpWriter, OtherImageFormatsAreConvertedAndBadDepthsRefused) {
    QImage rgb888 = pattern(2, 2).convertToFormat(QImage::Format_RGB888);

    const auto bytes = BmpWriter::encode({rgb888, 24});

    ASSERT_EQ(bytes.size(), 54u + 8u * 2u);
    EXPECT_EQ(bytes[54 + 8 + 3 + 2], 1);  // top row, x = 1: red 1
    EXPECT_TRUE(BmpWriter::encode({rgb888, 16}).empty());
    EXPECT_TRUE(BmpWriter::encode({QImage(), 32}).empty());
}

}  // namespace
}  // namespace kalvo
