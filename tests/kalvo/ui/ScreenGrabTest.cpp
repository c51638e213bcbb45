#include "kalvo/ui/ScreenGrab.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>

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

// Stands in for the desktop portal.
class FakePictures final : public common::ScreenPictureSource {
public:
    Picture picture;
    Picture takePicture() override { return picture; }
};

TEST(ScreenGrab, ThroughAPictureSourceReadsItsFileOrSaysWhyNot) {
    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("screen.png"));
    QImage shot(4, 3, QImage::Format_RGB32);
    shot.fill(qRgb(10, 200, 30));
    ASSERT_TRUE(shot.save(png));
    FakePictures pictures;
    QString problem;

    pictures.picture = {png.toStdString(), {}};
    const ScreenCapture taken = grabScreenThrough(pictures, problem);
    EXPECT_EQ(taken.image.size(), QSize(4, 3));
    EXPECT_EQ(taken.image.pixel(3, 2), qRgb(10, 200, 30));
    EXPECT_TRUE(problem.isEmpty());

    pictures.picture = {{}, "taking the picture was refused"};
    EXPECT_TRUE(grabScreenThrough(pictures, problem).image.isNull());
    EXPECT_EQ(problem, QStringLiteral("taking the picture was refused"));

    pictures.picture = {dir.filePath(QStringLiteral("gone.png")).toStdString(), {}};
    EXPECT_TRUE(grabScreenThrough(pictures, problem).image.isNull());
    EXPECT_TRUE(problem.contains(QStringLiteral("cannot be read"))) << problem.toStdString();
}

}  // namespace
}  // namespace kalvo
