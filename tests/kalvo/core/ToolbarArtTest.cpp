#include <QImage>

#include <gtest/gtest.h>

#include "kalvo/core/ToolbarCommands.h"
#include "kalvo/core/ToolbarPlacement.h"
#include "kalvo/core/TrueColorStrip.h"

namespace kalvo {
namespace {

TEST(TrueColorStrip, MaskColourFromBottomLeftIsTransparentEverywhere) {
    QImage strip(72, 24, QImage::Format_RGB888);
    strip.fill(QColor(255, 0, 255));
    strip.setPixelColor(30, 5, QColor(10, 20, 30));  // icon pixel of image 1
    strip.setPixelColor(0, 23, QColor(0, 128, 0));   // the mask colour is green here
    strip.setPixelColor(31, 6, QColor(0, 128, 0));   // green inside an icon, too

    const std::vector<QImage> images = splitTrueColorStrip(strip, 24);

    ASSERT_EQ(images.size(), 3u);
    EXPECT_EQ(stripMaskColor(strip), QColor(0, 128, 0));
    EXPECT_EQ(qAlpha(images[0].pixel(0, 23)), 0);
    EXPECT_EQ(qAlpha(images[1].pixel(7, 6)), 0);
    EXPECT_EQ(images[1].pixel(6, 5), qRgb(10, 20, 30));
    EXPECT_EQ(images[2].pixel(0, 0), qRgb(255, 0, 255));  // magenta is opaque now
    EXPECT_EQ(images[2].size(), QSize(24, 24));
}

TEST(TrueColorStrip, UnusableStripsGiveNoImages) {
    EXPECT_TRUE(splitTrueColorStrip(QImage(), 24).empty());
    EXPECT_TRUE(splitTrueColorStrip(QImage(20, 24, QImage::Format_RGB32), 24).empty());
    EXPECT_TRUE(splitTrueColorStrip(QImage(48, 24, QImage::Format_RGB32), 0).empty());
    EXPECT_EQ(splitTrueColorStrip(QImage(50, 24, QImage::Format_RGB32), 24).size(), 2u);
}

TEST(ToolbarPlacement, StripStandsNearTheRightEdgeAndStaysOnSmallScreens) {
    EXPECT_EQ(floatingToolbarPosition({1280, 800}, {50, 380}), QPoint(1210, 350));
    EXPECT_EQ(floatingToolbarPosition({1920, 1080}, {50, 380}), QPoint(1850, 630));
    // 640 x 400: the anchor (570, -50) is above the screen.
    EXPECT_EQ(floatingToolbarPosition({640, 400}, {50, 380}), QPoint(570, 0));
    // Narrow and short: pushed in from the right and bottom, never past 0.
    EXPECT_EQ(floatingToolbarPosition({100, 300}, {50, 380}), QPoint(30, 0));
    EXPECT_EQ(floatingToolbarPosition({1280, 800}, {100, 380}), QPoint(1180, 350));
}

TEST(ToolbarCommands, ModesSelectTheirImageStrips) {
    EXPECT_EQ(imagesForMode(0).normal, 209);
    EXPECT_EQ(imagesForMode(0).hot, 208);
    EXPECT_EQ(imagesForMode(1).normal, 207);
    EXPECT_EQ(imagesForMode(1).hot, 210);
    EXPECT_EQ(imagesForMode(2).normal, 211);
    EXPECT_EQ(imagesForMode(2).hot, 212);
    EXPECT_EQ(imagesForMode(7).normal, 209);
}

}  // namespace
}  // namespace kalvo
