#include <QBuffer>
#include <QByteArray>

#include <gtest/gtest.h>

#include <array>
#include <tuple>

#include "kalvo/core/CArchive.h"
#include "kalvo/core/CHandwright.h"
#include "kalvo/core/CText.h"

namespace kalvo {
namespace {

QByteArray store(CObject& object) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    CArchive ar(buffer, CArchive::Mode::Store);
    object.Serialize(ar);
    return bytes;
}

// Loads `object` from `bytes`; true when it read without running short.
bool load(CObject& object, QByteArray bytes) {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    CArchive ar(buffer, CArchive::Mode::Load);
    try {
        object.Serialize(ar);
    } catch (const CArchive::ArchiveEof&) {
        return false;
    }
    return true;
}

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

// The fields of a segment and of a text in their stored order.
using SegmentFields = std::array<std::int64_t, 6>;
SegmentFields fields(const CHandwright& s) {
    return {s.m_x1, s.m_y1, s.m_x2, s.m_y2, s.m_color, s.m_width};
}
using TextFields = std::tuple<std::string, std::string, int, int, int>;
TextFields fields(const CText& t) {
    return {t.m_text.toStdString(), t.m_faceName.toStdString(), t.m_x, t.m_y, t.m_pointSize};
}

TEST(SegmentArchive, StoresTwentyFourLittleEndianBytesInFieldOrder) {
    CHandwright segment(1, -2, 0x01020304, 640, 0x00FF8040, 3);

    const QByteArray bytes = store(segment);

    EXPECT_EQ(bytes, hex("01000000"
                         "feffffff"
                         "04030201"
                         "80020000"
                         "4080ff00"
                         "03000000"));
}

TEST(SegmentArchive, RoundTripKeepsEveryField) {
    CHandwright original(-7, 1079, 1919, 0, 0xFFFFFF, -4);
    CHandwright copy;

    ASSERT_TRUE(load(copy, store(original)));

    EXPECT_EQ(fields(copy), (SegmentFields{-7, 1079, 1919, 0, 0xFFFFFF, -4}));
}

TEST(SegmentArchive, ShortReadStopsAtTheBlockThatRanOutAndKeepsEarlierBlocks) {
    const QByteArray full = store(*std::make_unique<CHandwright>(11, 12, 13, 14, 15, 16));
    for (int length = 0; length < CHandwright::kArchiveSize; ++length) {
        SCOPED_TRACE(length);
        CHandwright segment(-1, -1, -1, -1, 0xABCDEF, -1);

        EXPECT_FALSE(load(segment, full.left(length)));

        const bool start = length >= 8;
        const bool end = length >= 16;
        EXPECT_EQ(fields(segment),
                  (SegmentFields{start ? 11 : -1, start ? 12 : -1, end ? 13 : -1, end ? 14 : -1,
                                 length >= 20 ? 15 : 0xABCDEF, -1}));
    }
}

TEST(TextArchive, DefaultTextIsEmptyAtOriginInTwentyPointSongTi) {
    const CText text;

    EXPECT_EQ(fields(text), (TextFields{"", "宋体", 0, 0, 200}));
}

TEST(TextArchive, StoresWideStringsThenThreeIntegers) {
    CText text;
    text.m_text = QStringLiteral("A中");
    text.m_x = 5;
    text.m_y = -1;
    text.m_pointSize = 120;

    const QByteArray bytes = store(text);

    EXPECT_EQ(bytes, hex("fffeff02"
                         "41002d4e"
                         "fffeff02"
                         "8b5b534f"
                         "05000000"
                         "ffffffff"
                         "78000000"));
}

struct LengthCase {
    int length;
    const char* prefix;  // hex of the tag and the length field
};

class TextLengthForms : public ::testing::TestWithParam<LengthCase> {};

TEST_P(TextLengthForms, LengthFieldTakesTheSmallestFormAndRoundTrips) {
    const LengthCase c = GetParam();
    CText text;
    text.m_text = QString(c.length, QChar(0x4E2D));
    const QByteArray prefix = hex(c.prefix);

    const QByteArray bytes = store(text);
    CText copy;
    copy.m_faceName.clear();
    const bool complete = load(copy, bytes);

    EXPECT_EQ(bytes.left(prefix.size()), prefix);
    EXPECT_EQ(bytes.size(), prefix.size() + 2 * c.length + 4 + 2 * 2 + 12);
    ASSERT_TRUE(complete);
    EXPECT_EQ(copy.m_text, text.m_text);
    EXPECT_EQ(copy.m_faceName, QStringLiteral("宋体"));
}

INSTANTIATE_TEST_SUITE_P(Lengths, TextLengthForms,
                         ::testing::Values(LengthCase{0, "fffeff00"}, LengthCase{254, "fffefffe"},
                                           LengthCase{255, "fffeffffff00"},
                                           LengthCase{65533, "fffefffffdff"},
                                           // 65534 is the wide-string tag: the long form
                                           LengthCase{65534, "fffeffffffff feff0000"},
                                           LengthCase{70000, "fffeffffffff70110100"}));

TEST(TextArchive, ReadsOneByteStringsAsCodePage936) {
    // "宋体" as one-byte characters (GBK), then "Ab" with a 16-bit length field.
    QByteArray bytes = hex("04cbcecce5");
    bytes += hex("ff0200") + "Ab";
    bytes +=
        hex("0a000000"
            "14000000"
            "64000000");
    CText text;

    ASSERT_TRUE(load(text, bytes));

    EXPECT_EQ(fields(text), (TextFields{"宋体", "Ab", 10, 20, 100}));
}

TEST(TextArchive, ShortReadInEachFieldThrowsAndKeepsTheFieldsBefore) {
    CText original;
    original.m_text = QStringLiteral("hi");
    original.m_faceName = QStringLiteral("Sans");
    original.m_x = 1;
    original.m_y = 2;
    original.m_pointSize = 3;
    const QByteArray full = store(original);
    const int textEnd = 4 + 4;
    const int faceEnd = textEnd + 4 + 8;
    struct Cut {
        int length;
        int fieldsRead;  // 0 none, 1 text, 2 face, 3 x, 4 y
    };
    const Cut cuts[] = {{0, 0},           {3, 0},           {textEnd - 1, 0}, {textEnd, 1},
                        {faceEnd - 1, 1}, {faceEnd, 2},     {faceEnd + 3, 2}, {faceEnd + 4, 3},
                        {faceEnd + 8, 4}, {faceEnd + 11, 4}};
    for (const Cut& cut : cuts) {
        SCOPED_TRACE(cut.length);
        CText text;
        text.m_text = QStringLiteral("old");
        text.m_faceName = QStringLiteral("oldface");
        text.m_x = text.m_y = text.m_pointSize = -9;

        EXPECT_FALSE(load(text, full.left(cut.length)));

        const int n = cut.fieldsRead;
        EXPECT_EQ(fields(text), (TextFields{n >= 1 ? "hi" : "old", n >= 2 ? "Sans" : "oldface",
                                            n >= 3 ? 1 : -9, n >= 4 ? 2 : -9, -9}));
    }
    CText complete;
    EXPECT_TRUE(load(complete, full));
}

TEST(TextArchive, AnyAnnouncedLengthBeyondTheDataIsTheEndOfFileError) {
    // 4 000 000 000 wide characters; a million with a few bytes behind them;
    // the 64-bit form with 2^40 characters and with the largest length.
    const char* cases[] = {"fffeffffffff00286bee", "fffeffffffff40420f00616263",
                           "fffeffffffffffffffff0000000000010000",
                           "fffeffffffffffffffffffffffffffffffff"};
    for (const char* bytes : cases) {
        SCOPED_TRACE(bytes);
        CText text;

        EXPECT_FALSE(load(text, hex(bytes)));
    }
}

}  // namespace
}  // namespace kalvo
