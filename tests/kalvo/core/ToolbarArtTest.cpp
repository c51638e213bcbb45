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

TEST(ToolbarPlacement, KeepOnScreenMovesTheStripInJustFarEnough) {
    // The frame's anchor on 1280 x 800: already on the screen.
    EXPECT_EQ(keepOnScreen({1210, 350}, {50, 380}, {1280, 800}), QPoint(1210, 350));
    // 640 x 400: the anchor (570, -50) is above the screen.
    EXPECT_EQ(keepOnScreen({570, -50}, {50, 380}, {640, 400}), QPoint(570, 0));
    // Sticking out to the right and below: pushed in, never past 0.
    EXPECT_EQ(keepOnScreen({1250, 700}, {100, 380}, {1280, 800}), QPoint(1180, 420));
    EXPECT_EQ(keepOnScreen({60, -150}, {50, 380}, {100, 300}), QPoint(50, 0));
    EXPECT_EQ(keepOnScreen({60, 150}, {150, 380}, {100, 300}), QPoint(0, 0));
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
