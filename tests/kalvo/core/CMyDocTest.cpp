#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "kalvo/core/CMyDoc.h"
#include "kalvo/core/DocumentDump.h"
#include "kalvo/core/RecordingSurfaceActions.h"

namespace kalvo {
namespace {

using testing::addSegments;

TEST(CMyDoc, DeleteSegmentOutsideTheListChangesNothing) {
    CMyDoc doc;
    addSegments(doc, 3, 255, 3);
    int changes = 0;
    doc.SetChangeCallback([&] { ++changes; });

    doc.DeleteSegment(3);
    doc.DeleteSegment(-1);
    doc.DeleteSegment(1000);

    ASSERT_EQ(doc.GetSegmentCount(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(doc.GetSegment(i)->m_x1, i);
    }
    EXPECT_EQ(changes, 0);
}

TEST(CMyDoc, DeleteSegmentMovesLaterSegmentsDown) {
    CMyDoc doc;
    addSegments(doc, 4, 255, 3);

    doc.DeleteSegment(1);
    doc.DeleteSegment(0);

    ASSERT_EQ(doc.GetSegmentCount(), 2);
    EXPECT_EQ(doc.GetSegment(0)->m_x1, 2);
    EXPECT_EQ(doc.GetSegment(1)->m_x1, 3);
}

TEST(CMyDoc, GettersAreNullOutsideTheLists) {
    CMyDoc doc;
    addSegments(doc, 1, 255, 3);
    doc.AddText(std::make_unique<CText>());

    EXPECT_NE(doc.GetSegment(0), nullptr);
    EXPECT_EQ(doc.GetSegment(1), nullptr);
    EXPECT_EQ(doc.GetSegment(-1), nullptr);
    EXPECT_NE(doc.GetText(0), nullptr);
    EXPECT_EQ(doc.GetText(1), nullptr);
    EXPECT_EQ(doc.GetText(-1), nullptr);
}

TEST(CMyDoc, ClearSegmentsKeepsTextsAndReportsOnlyRealChanges) {
    CMyDoc doc;
    doc.AddText(std::make_unique<CText>());
    int changes = 0;
    doc.SetChangeCallback([&] { ++changes; });

    doc.ClearSegments();
    addSegments(doc, 2, 255, 3);
    doc.ClearSegments();

    EXPECT_EQ(doc.GetSegmentCount(), 0);
    EXPECT_EQ(doc.GetTextCount(), 1);
    EXPECT_EQ(changes, 3);  // two additions and one clear
}

TEST(DocumentDump, FileHoldsEverySegmentInStoredFormAndIsReplacedWhole) {
    QTemporaryDir dir;
    const QString path = dir.filePath("doc.bin");
    CMyDoc doc;
    doc.AddSegment(1, 2, 3, 4, 0x0000FF, 5);
    doc.AddSegment(-1, -2, -3, -4, 0xFF0000, 1);
    ASSERT_TRUE(dumpSegments(doc, path));
    doc.DeleteSegment(0);

    ASSERT_TRUE(dumpSegments(doc, path));

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_EQ(bytes, QByteArray::fromHex("ffffffff"
                                         "feffffff"
                                         "fdffffff"
                                         "fcffffff"
                                         "0000ff00"
                                         "01000000"));
    EXPECT_FALSE(dumpSegments(doc, dir.filePath("missing/folder/doc.bin")));
}

// On a scaled screen the document holds Qt's logical desktop coordinates; the
// dump holds the X screen's pixels the ink covers, scaled about the corner of
// the surface's monitor.
TEST(DocumentDump, ScalesPointsAndWidthsToDevicePixels) {
    CMyDoc doc;
    doc.AddSegment(110, 21, 97, 0, 0x0000FF, 3);
    CMyDoc twice;
    twice.AddSegment(120, 42, 94, 0, 0x0000FF, 6);
    CMyDoc half;
    half.AddSegment(115, 32, 95, 0, 0x0000FF, 5);  // 31.5, -4.5 and 4.5 away from zero

    EXPECT_EQ(serializeSegments(doc, 2.0, {100, 0}), serializeSegments(twice));
    EXPECT_EQ(serializeSegments(doc, 1.5, {100, 0}), serializeSegments(half));
}

}  // namespace
}  // namespace kalvo
