#include "kalvo/ui/ScreenGrab.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>

namespace kalvo {
namespace {

TEST(ScreenGrab, CaptureDepthFollowsTheImageFormat) {
    QImage rgb888(3, 2, QImage::Format_RGB888);
    rgb888.fill(Qt::red);
    QImage argb(3, 2, QImage::Format_ARGB32_Premultiplied);
    argb.fill(Qt::blue);

    const ScreenCapture c24 = captureFromImage(rgb888);
    const ScreenCapture c32 = captureFromImage(argb);

    EXPECT_EQ(c24.bitsPerPixel, 24);
    EXPECT_EQ(c32.bitsPerPixel, 32);
    EXPECT_EQ(c32.image.format(), QImage::Format_RGB32);
    EXPECT_EQ(c32.image.pixel(2, 1), qRgb(0, 0, 255));
    EXPECT_TRUE(captureFromImage(QImage()).image.isNull());
}

TEST(ScreenGrab, GrabsTheWholePrimaryScreen) {
    const ScreenCapture c = grabScreen();

    ASSERT_FALSE(c.image.isNull());
    EXPECT_EQ(c.image.size(), QGuiApplication::primaryScreen()->geometry().size() *
                                  QGuiApplication::primaryScreen()->devicePixelRatio());
    EXPECT_TRUE(c.bitsPerPixel == 24 || c.bitsPerPixel == 32);
}

}  // namespace
}  // namespace kalvo
