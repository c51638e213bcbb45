// The ink image of a drawing surface: white is the transparent colour of a
// repaint, live lines show whatever their colour.

#include <gtest/gtest.h>

#include <QImage>

#include "kalvo/core/CMyDoc.h"
#include "kalvo/core/InkLayer.h"
#include "kalvo/core/LivePen.h"

namespace kalvo {
namespace {

constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kRed = 0x0000FF;

TEST(InkLayer, RebuildKeepsColouredSegmentsAndDropsWhiteOnes) {
    CMyDoc doc;
    doc.AddSegment(10, 10, 60, 10, kRed, 3);
    doc.AddSegment(10, 40, 60, 40, kWhite, 3);
    doc.AddSegment(10, 70, 60, 70, 0xFEFFFF, 3);  // almost white is a colour
    InkLayer layer(QSize(100, 100));

    layer.rebuild(doc);

    const QImage& img = layer.image();
    EXPECT_EQ(img.pixel(30, 10), qRgba(255, 0, 0, 255));
    EXPECT_EQ(qAlpha(img.pixel(30, 40)), 0);
    EXPECT_EQ(img.pixel(30, 70), qRgba(255, 255, 254, 255));
    EXPECT_EQ(qAlpha(img.pixel(80, 90)), 0);
}

TEST(InkLayer, WhiteLiveLineShowsUntilNextRebuild) {
    CMyDoc doc;
    InkLayer layer(QSize(100, 100));
    layer.rebuild(doc);

    const QRect touched = layer.drawLiveSegment({10, 50}, {90, 50}, kWhite, 1, 0);
    doc.AddSegment(10, 50, 90, 50, kWhite, 1);

    EXPECT_TRUE(touched.contains(10, 50));
    EXPECT_TRUE(touched.contains(90, 50));
    EXPECT_EQ(layer.image().pixel(50, 50), qRgba(255, 255, 255, 255));

    layer.rebuild(doc);

    EXPECT_EQ(qAlpha(layer.image().pixel(50, 50)), 0);
    EXPECT_EQ(doc.GetSegmentCount(), 1);
}

TEST(InkLayer, StyledLiveLineLeavesGapsOnlyWhenOnePixelWideAndNullStyleDrawsNothing) {
    const auto inked = [](int width) {
        InkLayer layer(QSize(200, 20));
        layer.drawLiveSegment({0, 10}, {199, 10}, kRed, width, 1);  // dashes
        int n = 0;
        for (int x = 0; x < 199; ++x) {
            n += qAlpha(layer.image().pixel(x, 10)) != 0;
        }
        return n;
    };

    EXPECT_GT(inked(1), 50);
    EXPECT_LT(inked(1), 199);
    EXPECT_LT(inked(0), 199);
    EXPECT_EQ(inked(3), 199);  // a wide pen of a dashed style is solid

    InkLayer none(QSize(200, 20));
    EXPECT_TRUE(none.drawLiveSegment({0, 10}, {199, 10}, kRed, 1, 5).isEmpty());
    EXPECT_EQ(qAlpha(none.image().pixel(100, 10)), 0);
}

TEST(InkLayer, ClearMakesAreaTransparentAndStaysInside) {
    CMyDoc doc;
    doc.AddSegment(0, 5, 100, 5, kRed, 1);
    InkLayer layer(QSize(100, 10));
    layer.rebuild(doc);

    layer.clear(QRect(-10, 0, 60, 10));

    EXPECT_EQ(qAlpha(layer.image().pixel(20, 5)), 0);
    EXPECT_EQ(layer.image().pixel(70, 5), qRgba(255, 0, 0, 255));
}

TEST(LivePen, StyleNumbersMapToQtStyles) {
    EXPECT_EQ(qtPenStyleFromGdi(0, 1), Qt::SolidLine);
    EXPECT_EQ(qtPenStyleFromGdi(1, 1), Qt::DashLine);
    EXPECT_EQ(qtPenStyleFromGdi(2, 0), Qt::DotLine);
    EXPECT_EQ(qtPenStyleFromGdi(3, 1), Qt::DashDotLine);
    EXPECT_EQ(qtPenStyleFromGdi(4, 1), Qt::DashDotDotLine);
    EXPECT_EQ(qtPenStyleFromGdi(4, 2), Qt::SolidLine);
    EXPECT_EQ(qtPenStyleFromGdi(5, 6), Qt::NoPen);
    EXPECT_EQ(qtPenStyleFromGdi(6, 1), Qt::SolidLine);
    EXPECT_EQ(qtPenStyleFromGdi(-3, 1), Qt::SolidLine);
}

}  // namespace
}  // namespace kalvo
