#include "kalvo/ui/CEraser.h"

#include <gtest/gtest.h>

#include <QBitmap>
#include <QTemporaryDir>
#include <QTest>

#include "kalvo/ui/PickerResources.h"

namespace kalvo {
namespace {

TEST(CEraser, ShowsItsPictureCutToShapeOffTheScreen) {
    CEraser eraser;
    eraser.show();

    const QImage picture = pickerImage(159);
    ASSERT_EQ(picture.size(), QSize(52, 51));
    EXPECT_LE(picture.colorCount(), 16);
    EXPECT_EQ(eraser.geometry(), QRect(-100, -100, 100, 100));
    EXPECT_TRUE(eraser.m_bShaped);
    EXPECT_TRUE(eraser.m_bOwnsBitmap);
    EXPECT_EQ(eraser.m_crTransparent, 0xFFFFFFu);
    const QRegion mask = eraser.mask();
    // Every pixel of the picture but the white ones (masked), and no other.
    EXPECT_EQ(mask, QRegion(QPixmap::fromImage(picture).createMaskFromColor(Qt::white)));
    EXPECT_FALSE(mask.contains(QPoint(0, 0)));    // white corner
    EXPECT_FALSE(mask.contains(QPoint(70, 70)));  // beyond the picture
    EXPECT_TRUE(mask.contains(QPoint(26, 25)));   // the eraser's body
}

TEST(CEraser, PressAndReleaseReachTheCallbacks) {
    CEraser eraser;
    std::vector<std::string> events;
    eraser.onPress = [&] { events.push_back("press"); };
    eraser.onRelease = [&] { events.push_back("release"); };
    eraser.move(10, 10);
    eraser.show();

    QTest::mousePress(&eraser, Qt::LeftButton, {}, QPoint(26, 25));
    const Qt::CursorShape pressedShape = eraser.cursor().shape();
    QTest::mouseRelease(&eraser, Qt::LeftButton, {}, QPoint(26, 25));
    QTest::mousePress(&eraser, Qt::RightButton, {}, QPoint(26, 25));

    EXPECT_EQ(events, (std::vector<std::string>{"press", "release"}));
    EXPECT_EQ(pressedShape, Qt::BitmapCursor);
}

TEST(CBitmapDialog, BitmapSourcesSetOwnershipAndShape) {
    QImage shared(4, 2, QImage::Format_RGB32);
    shared.fill(Qt::white);
    shared.setPixel(1, 0, qRgb(0, 0, 0));
    CBitmapDialog dlg(nullptr, nullptr, 0, &shared);
    dlg.resize(4, 2);

    EXPECT_TRUE(dlg.m_bHasBitmap);
    EXPECT_FALSE(dlg.m_bOwnsBitmap);
    EXPECT_EQ(dlg.bitmap(), &shared);
    dlg.SetShaped(true);
    EXPECT_EQ(dlg.mask(), QRegion(1, 0, 1, 1));
    dlg.SetShaped(false);
    EXPECT_TRUE(dlg.mask().isEmpty());  // whole window

    ASSERT_TRUE(dlg.CopyBitmap(shared));
    shared.fill(Qt::black);
    EXPECT_TRUE(dlg.m_bOwnsBitmap);
    EXPECT_NE(dlg.bitmap(), &shared);
    EXPECT_EQ(dlg.bitmap()->pixel(0, 0), qRgb(255, 255, 255));

    EXPECT_FALSE(dlg.LoadBitmapById(4242));
    EXPECT_FALSE(dlg.m_bHasBitmap);
    EXPECT_FALSE(dlg.m_bOwnsBitmap);
    EXPECT_EQ(dlg.bitmap(), nullptr);
}

TEST(CBitmapDialog, ShapedWindowOfAWhollyTransparentPictureShowsNothing) {
    QImage blank(4, 2, QImage::Format_RGB32);
    blank.fill(Qt::white);
    CBitmapDialog dlg(nullptr, nullptr, 0, &blank);
    dlg.resize(4, 2);

    dlg.SetShaped(true);

    // Qt reads an empty mask as no mask at all, that is the whole window.
    const QRegion visible =
        dlg.mask().isEmpty() ? QRegion(dlg.rect()) : dlg.mask().intersected(dlg.rect());
    EXPECT_TRUE(visible.isEmpty());
}

TEST(CBitmapDialog, LoadsByResourceNameOrFromAFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage file(3, 3, QImage::Format_RGB32);
    file.fill(qRgb(1, 2, 3));
    const QString path = dir.filePath(QStringLiteral("pic.png"));
    ASSERT_TRUE(file.save(path));
    (void)pickerResourcePath(159);  // registers the resources
    CBitmapDialog dlg;

    EXPECT_TRUE(dlg.LoadBitmapByName("pickers/bitmap159.png"));
    EXPECT_EQ(dlg.bitmap()->size(), QSize(52, 51));
    EXPECT_TRUE(dlg.LoadBitmapByName(nullptr, path));
    EXPECT_EQ(dlg.bitmap()->pixel(1, 1), qRgb(1, 2, 3));
    EXPECT_FALSE(dlg.LoadBitmapByName(nullptr, dir.filePath(QStringLiteral("none.png"))));
    EXPECT_FALSE(dlg.m_bHasBitmap);
    EXPECT_FALSE(dlg.LoadBitmapByName("pickers/none.png"));
}

TEST(PickerResources, CursorsCarryTheirHotSpots) {
    for (const int id : {165, 168, 233}) {
        const QCursor c = pickerCursor(id);
        EXPECT_EQ(c.shape(), Qt::BitmapCursor) << id;
        EXPECT_EQ(c.hotSpot(), pickerCursorHotSpot(id)) << id;
        EXPECT_EQ(c.pixmap().size(), QSize(32, 32)) << id;
    }
    EXPECT_EQ(pickerCursorHotSpot(165), QPoint(1, 30));
    EXPECT_EQ(pickerCursor(1).shape(), Qt::ArrowCursor);
    // The pencil's tip is drawn at its hot spot.
    EXPECT_GT(qAlpha(pickerImage(165).pixel(1, 30)), 0);
}

}  // namespace
}  // namespace kalvo
