#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <limits>

#include "kalvo/core/CHandwright.h"
#include "kalvo/core/CText.h"
#include "kalvo/core/QtColor.h"

namespace kalvo {
namespace {

constexpr COLORREF kRed = makeColorRef(255, 0, 0);
constexpr COLORREF kBlue = makeColorRef(0, 0, 255);

// The shape on a white 40 x 30 canvas.
template <typename Shape>
QImage drawn(const Shape& shape, COLORREF penColor = 0) {
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(toQColor(penColor));
    shape.Draw(painter);
    painter.end();
    return image;
}

// "HH" in a font every test machine has.
CText hh(int x, int y) {
    CText text;
    text.m_text = QStringLiteral("HH");
    text.m_faceName = QStringLiteral("DejaVu Sans");
    text.m_x = x;
    text.m_y = y;
    return text;
}

int countNonWhite(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += image.pixel(x, y) != qRgb(255, 255, 255);
        }
    }
    return count;
}

TEST(ColorConversion, ColourReferenceKeepsRedInTheLowByte) {
    EXPECT_EQ(toQColor(0x0000FF), QColor(255, 0, 0));
    EXPECT_EQ(toQColor(0x804020), QColor(0x20, 0x40, 0x80));
    EXPECT_EQ(fromQColor(QColor(0x20, 0x40, 0x80)), 0x804020u);
}

TEST(SegmentDrawing, ThreePixelRedLinePaintsItsLengthButNotItsEndPoint) {
    const CHandwright segment(5, 10, 25, 10, kRed, 3);

    const QImage image = drawn(segment);

    for (int x = 5; x < 25; ++x) {
        for (int y = 9; y <= 11; ++y) {
            EXPECT_EQ(image.pixel(x, y), qRgb(255, 0, 0)) << x << "," << y;
        }
    }
    EXPECT_EQ(image.pixel(25, 10), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(15, 8), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(15, 12), qRgb(255, 255, 255));
    EXPECT_EQ(countNonWhite(image), 20 * 3);
}

TEST(SegmentDrawing, WideLinesDrawnBackwardsPaintTheStartColumnInsteadOfTheEnd) {
    const CHandwright segment(30, 10, 10, 10, kRed, 3);

    const QImage image = drawn(segment);

    EXPECT_EQ(image.pixel(30, 10), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(11, 11), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(10, 10), qRgb(255, 255, 255));
    EXPECT_EQ(countNonWhite(image), 20 * 3);
}

struct ThinCase {
    int x1, y1, x2, y2, width;
};

class ThinLines : public ::testing::TestWithParam<ThinCase> {};

TEST_P(ThinLines, PaintOnePixelPerStepFromTheStartAndLeaveTheEnd) {
    const ThinCase c = GetParam();
    const CHandwright segment(c.x1, c.y1, c.x2, c.y2, kBlue, c.width);

    const QImage image = drawn(segment);

    EXPECT_EQ(image.pixel(c.x1, c.y1), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(c.x2, c.y2), qRgb(255, 255, 255));
    EXPECT_EQ(countNonWhite(image), std::max(std::abs(c.x2 - c.x1), std::abs(c.y2 - c.y1)));
}

INSTANTIATE_TEST_SUITE_P(Directions, ThinLines,
                         ::testing::Values(ThinCase{10, 20, 30, 20, 1}, ThinCase{30, 20, 10, 20, 1},
                                           ThinCase{5, 25, 5, 2, 0}, ThinCase{2, 3, 17, 11, -3},
                                           ThinCase{30, 28, 1, 1, 1}));

TEST(SegmentDrawing, ZeroLengthSegmentAndBaseShapePaintNothing) {
    const CHandwright dot(12, 12, 12, 12, kRed, 6);
    const CShape shape(kRed, 6);

    EXPECT_EQ(countNonWhite(drawn(dot)), 0);
    EXPECT_EQ(countNonWhite(drawn(shape)), 0);
}

TEST(TextDrawing, TextIsWrittenBelowAndRightOfItsPointInThePenColour) {
    CText text = hh(4, 6);
    text.m_pointSize = 100;
    const CText empty;

    const QImage image = drawn(text, kBlue);

    int inked = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) == qRgb(255, 255, 255)) {
                continue;
            }
            ++inked;
            EXPECT_GE(x, 4);
            EXPECT_GE(y, 6);
            EXPECT_GT(qBlue(image.pixel(x, y)), qRed(image.pixel(x, y)));
        }
    }
    EXPECT_GT(inked, 10);
    EXPECT_EQ(countNonWhite(drawn(empty, kBlue)), 0);
}

TEST(TextDrawing, PositionsAtTheIntegerLimitsDrawNothingVisible) {
    // Positions come unchecked from loaded archives.
    for (const std::int32_t y :
         {std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::min()}) {
        EXPECT_EQ(countNonWhite(drawn(hh(4, y), kBlue)), 0) << y;
    }
}

}  // namespace
}  // namespace kalvo
