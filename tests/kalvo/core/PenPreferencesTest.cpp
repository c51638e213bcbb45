#include <gtest/gtest.h>

#include <array>
#include <filesystem>

#include "common/TempDir.h"
#include "common/WriteFault.h"
#include "common/ini/IniFile.h"
#include "kalvo/core/PenPreferences.h"

namespace kalvo {
namespace {

// Colour (as the signed number the file holds), style and width.
std::array<std::int32_t, 3> penOf(const PenPreferences& p) {
    return {static_cast<std::int32_t>(p.color), p.style, p.width};
}

class PenPreferencesTest : public ::testing::Test {
protected:
    std::string path() const { return dir_.file("kalvo.ini"); }
    void write(const std::string& text) const { tktest::writeBytes(path(), text); }
    std::string read() const { return tktest::readBytes(path()); }

    tktest::TempDir dir_;
};

TEST_F(PenPreferencesTest, FirstRunGivesRedSolidThreePixels) {
    const PenPreferences prefs = PenPreferences::load(path());

    EXPECT_EQ(penOf(prefs), (std::array{255, 0, 3}));
}

TEST_F(PenPreferencesTest, SaveWritesDecimalValuesThatLoadBack) {
    write("[Other]\nkeep=1\n");
    PenPreferences prefs;
    prefs.color = 0x00FF8040;
    prefs.style = 2;
    prefs.width = -1;

    ASSERT_TRUE(prefs.save(path()));
    const PenPreferences loaded = PenPreferences::load(path());

    EXPECT_EQ(penOf(loaded), (std::array{0x00FF8040, 2, -1}));
    common::IniFile ini(path());
    ASSERT_TRUE(ini.load());
    EXPECT_EQ(ini.getString("PEN", "COLOR", ""), "16744512");
    EXPECT_EQ(ini.getString("Other", "keep", ""), "1");
}

TEST_F(PenPreferencesTest, FullDiskOrReadOnlyFolderKeepsTheOldPreferences) {
    write("[PEN]\nCOLOR=65280\nTYPE=0\nL=5\n");
    PenPreferences prefs;
    prefs.color = 7;

    for (const auto& [bytes, error] :
         {std::pair{std::size_t{0}, EROFS}, {std::size_t{12}, ENOSPC}}) {
        tktest::ScopedWriteFault fault(bytes, error);
        EXPECT_EQ(prefs.save(path()).error, error);
        EXPECT_EQ(saveFramePosition(path(), 1, 2).error, error);
    }

    EXPECT_EQ(read(), "[PEN]\nCOLOR=65280\nTYPE=0\nL=5\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 1);
}

struct ColorCase {
    const char* text;
    std::int32_t expected;
};

class ColorText : public ::testing::TestWithParam<ColorCase> {};

TEST_P(ColorText, ReadsLeadingSignedDecimalOfNineteenCharacters) {
    EXPECT_EQ(parseColorText(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, ColorText,
                         ::testing::Values(ColorCase{"abc", 0}, ColorCase{"-5", -5},
                                           ColorCase{"  42xyz", 42}, ColorCase{"+7", 7},
                                           ColorCase{"", 0}, ColorCase{"0x10", 0},
                                           // Only the first 19 characters are read.
                                           ColorCase{"0000000000000000012345", 12},
                                           ColorCase{"99999999999", 2147483647},
                                           ColorCase{"-99999999999", -2147483647 - 1}));

TEST_F(PenPreferencesTest, HandEditedColourReadsAsNumberOrBlackAndNegativeSurvivesASave) {
    write("[PEN]\nCOLOR=abc\n");
    EXPECT_EQ(PenPreferences::load(path()).color, 0u);

    write("[PEN]\nCOLOR=-5\nTYPE=1\nL=0\n");
    const PenPreferences prefs = PenPreferences::load(path());
    ASSERT_TRUE(prefs.save(path()));

    EXPECT_EQ(penOf(prefs), (std::array{-5, 1, 0}));
    EXPECT_NE(read().find("COLOR=-5"), std::string::npos) << read();
}

TEST_F(PenPreferencesTest, FramePositionGoesToItsOwnSection) {
    ASSERT_TRUE(saveFramePosition(path(), -20, -50));

    common::IniFile ini(path());
    ASSERT_TRUE(ini.load());
    EXPECT_EQ(ini.getString("POSITION", "CX", ""), "-20");
    EXPECT_EQ(ini.getString("POSITION", "CY", ""), "-50");
    EXPECT_FALSE(saveFramePosition(dir_.file("no/such/dir/k.ini"), 1, 1));
}

}  // namespace
}  // namespace kalvo
