#include <gtest/gtest.h>

#include "common/TempDir.h"
#include "kalvo/core/CMyDoc.h"
#include "kalvo/core/DocumentDump.h"
#include "kalvo/core/RecordingSurfaceActions.h"

namespace kalvo {
namespace {

using testing::addSegments;
using testing::segmentsText;
using Segments = std::vector<std::string>;

TEST(CMyDoc, DeleteSegmentOutsideTheListChangesNothing) {
    CMyDoc doc;
    addSegments(doc, 3, 255, 3);
    int changes = 0;
    doc.SetChangeCallback([&] { ++changes; });

    doc.DeleteSegment(3);
    doc.DeleteSegment(-1);
    doc.DeleteSegment(1000);

    EXPECT_EQ(segmentsText(doc), (Segments{"0,0-1,1", "1,1-2,2", "2,2-3,3"}));
    EXPECT_EQ(changes, 0);
}

TEST(CMyDoc, DeleteSegmentMovesLaterSegmentsDown) {
    CMyDoc doc;
    addSegments(doc, 4, 255, 3);

    doc.DeleteSegment(1);
    doc.DeleteSegment(0);

    EXPECT_EQ(segmentsText(doc), (Segments{"2,2-3,3", "3,3-4,4"}));
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
    tktest::TempDir dir;
    const QString path = QString::fromStdString(dir.file("doc.bin"));
    CMyDoc doc;
    doc.AddSegment(1, 2, 3, 4, 0x0000FF, 5);
    doc.AddSegment(-1, -2, -3, -4, 0xFF0000, 1);
    ASSERT_TRUE(dumpSegments(doc, path));
    doc.DeleteSegment(0);

    ASSERT_TRUE(dumpSegments(doc, path));

    EXPECT_EQ(tktest::readBytes(dir.file("doc.bin")), QByteArray::fromHex("ffffffff"
                                                                          "feffffff"
                                                                          "fdffffff"
                                                                          "fcffffff"
                                                                          "0000ff00"
                                                                          "01000000")
                                                          .toStdString());
    EXPECT_FALSE(dumpSegments(doc, QString::fromStdString(dir.file("missing/doc.bin"))));
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
