#include "kalvo/ui/ScreenGrab.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
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
    QImage shot(8, 3, QImage::Format_RGB32);  // two monitors at twice the scale
    shot.fill(qRgb(10, 200, 30));
    QPainter(&shot).fillRect(4, 0, 4, 3, QColor(0, 0, 250));
    ASSERT_TRUE(shot.save(png));
    FakePictures pictures;
    QString problem;
    const QRect desktop(-2, 0, 4, 2);

    pictures.picture = {png.toStdString(), {}};
    const ScreenCapture right = grabScreenThrough(pictures, QRect(0, 0, 2, 2), desktop, problem);
    EXPECT_EQ(right.image.size(), QSize(4, 3));
    EXPECT_EQ(right.image.pixel(0, 0), qRgb(0, 0, 250));
    EXPECT_TRUE(problem.isEmpty());
    EXPECT_FALSE(QFile::exists(png)) << "the portal's picture is left behind";
    ASSERT_TRUE(shot.save(png));
    EXPECT_EQ(grabScreenThrough(pictures, {}, desktop, problem).image.size(), QSize(8, 3));

    pictures.picture = {{}, "taking the picture was refused"};
    EXPECT_TRUE(grabScreenThrough(pictures, {}, desktop, problem).image.isNull());
    EXPECT_EQ(problem, QStringLiteral("taking the picture was refused"));

    pictures.picture = {dir.filePath(QStringLiteral("gone.png")).toStdString(), {}};
    EXPECT_TRUE(grabScreenThrough(pictures, {}, desktop, problem).image.isNull());
    EXPECT_TRUE(problem.contains(QStringLiteral("cannot be read"))) << problem.toStdString();
}

}  // namespace
}  // namespace kalvo
