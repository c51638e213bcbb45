#include "common/ini/IniFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <filesystem>
#include <random>

#include "TempDir.h"
#include "WriteFault.h"

namespace {

using common::IniFile;
using common::parseProfileInt;
using tktest::readBytes;
using tktest::TempDir;
using tktest::writeBytes;

TEST(ParseProfileInt, FollowsTheIntegerReadingRule) {
    // The text, and what it reads as with 99 as the default.
    const std::pair<const char*, std::int32_t> cases[] = {
        {"-6", -6},
        {"180", 180},
        {"+7", 7},
        {"  7", 7},
        {"\t7", 7},
        {" \t-7", -7},
        {"12abc", 12},
        {"12 34", 12},
        {"abc", 0},
        {"-", 0},
        {"- 5", 0},
        {"", 99},
        {"0x10", 0},
        {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"4294967297", 1},           // 2^32 + 1 wraps to 1
        {"2147483648", INT32_MIN},   // 2^31 wraps to the smallest value
        {"-2147483649", INT32_MAX},  // -(2^31 + 1) wraps to the largest value
        {"99999999999999999999999", -159383553},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(parseProfileInt(text, 99), expected) << '"' << text << '"';
    }
}

class IniFileTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = dir.file("Tovik.ini");

    IniFile loaded() {
        IniFile ini(path);
        EXPECT_TRUE(ini.load());
        return ini;
    }
    // The file holds `text`, loaded.
    IniFile written(const std::string& text) {
        writeBytes(path, text);
        return loaded();
    }
    // Saved: what the file holds then.
    std::string saved(IniFile& ini) {
        EXPECT_TRUE(ini.save());
        return readBytes(path);
    }
};

TEST_F(IniFileTest, HandEditedFileKeepsEveryUntouchedLineByteForByte) {
    IniFile ini = written(
        "; settings written by hand\n"
        "# another comment\n"
        "\n"
        "[Software]\n"
        "Amp = 180\n"
        "Unknown=keep me\n"
        "not a key line\n"
        "Area=5\n"
        "\n"
        "; trailing comment of Software\n"
        "[Camera]\n"
        "camGain=0\n");

    ini.setInt("Software", "Amp", 200);     // replaced in place, spacing kept
    ini.setInt("Software", "Move", 5);      // new key after the last key line
    ini.setInt("Functions", "F13Trig", 1);  // new section at the end
    ini.setValue("Camera", "camGain", "-3");

    EXPECT_EQ(saved(ini),
              "; settings written by hand\n"
              "# another comment\n"
              "\n"
              "[Software]\n"
              "Amp = 200\n"
              "Unknown=keep me\n"
              "not a key line\n"
              "Area=5\n"
              "Move=5\n"
              "\n"
              "; trailing comment of Software\n"
              "[Camera]\n"
              "camGain=-3\n"
              "[Functions]\n"
              "F13Trig=1\n");
}

TEST_F(IniFileTest, NamesMatchWithoutCaseAndAroundSpaces) {
    IniFile ini = written("[ software ]\n  AMP \t=  12  \nDbClickThd=\n");

    EXPECT_EQ(ini.getInt("Software", "amp", 0), 12);
    EXPECT_EQ(ini.getInt(" SOFTWARE", "Amp ", 0), 12);
    EXPECT_EQ(ini.value("Software", "Amp"), "12");
    EXPECT_EQ(ini.value("Software", "DbClickThd"), "");
    EXPECT_EQ(ini.getInt("Software", "DbClickThd", 20), 20);  // empty value gives the default
    EXPECT_EQ(ini.getInt("Software", "Missing", 20), 20);
    EXPECT_EQ(ini.getInt("Other", "Amp", -1), -1);
    EXPECT_EQ(ini.getString("Other", "Amp", "def"), "def");

    ini.setInt("SOFTWARE", "amp", 13);
    EXPECT_EQ(saved(ini), "[ software ]\n  AMP \t=  13\nDbClickThd=\n");
}

TEST_F(IniFileTest, FirstMatchingSectionAndKeyWinForReadsAndWrites) {
    IniFile ini = written(
        "[A]\nk=1\nk=2\n"
        "[B]\nk=3\n"
        "[a]\nk=4\nonly=5\n");

    EXPECT_EQ(ini.getInt("A", "k", 0), 1);
    EXPECT_EQ(ini.getInt("B", "k", 0), 3);
    EXPECT_FALSE(ini.value("A", "only"));  // lives in the second [a] only

    ini.setInt("a", "K", 9);
    ini.setInt("A", "only", 6);
    EXPECT_EQ(saved(ini),
              "[A]\nk=9\nk=2\nonly=6\n"
              "[B]\nk=3\n"
              "[a]\nk=4\nonly=5\n");
}

TEST_F(IniFileTest, MatchingQuotesAroundAValueAreRemoved) {
    IniFile ini = written(
        "[S]\n"
        "a=\"x y\"\n"
        "b= 'z' \n"
        "c=\"unbalanced\n"
        "d='mixed\"\n"
        "e=\"\"\n"
        "f=\"\n"
        "g=in\"side\"\n");

    const std::pair<const char*, const char*> values[] = {
        {"a", "x y"}, {"b", "z"},  {"c", "\"unbalanced"}, {"d", "'mixed\""},
        {"e", ""},    {"f", "\""}, {"g", "in\"side\""}};
    for (const auto& [key, value] : values) {
        EXPECT_EQ(ini.value("S", key), value) << key;
    }
    EXPECT_EQ(ini.getInt("S", "e", 4), 4);
}

TEST_F(IniFileTest, ByteOrderMarkAndCrLfAreReadAndKept) {
    IniFile ini = written("\xEF\xBB\xBF[Software]\r\nAmp=30\r\n\r\n;c\r\n");

    EXPECT_EQ(ini.getInt("Software", "Amp", 0), 30);
    EXPECT_EQ(ini.value("Software", "Amp"), "30");

    ini.setInt("Software", "Area", 5);
    ini.setInt("Camera", "camHue", 0);
    EXPECT_EQ(saved(ini),
              "\xEF\xBB\xBF[Software]\r\nAmp=30\r\nArea=5\r\n\r\n;c\r\n"
              "[Camera]\r\ncamHue=0\r\n");
}

TEST_F(IniFileTest, ByteOrderMarkBeforeTheFirstSectionDoesNotHideIt) {
    IniFile ini = written("\xEF\xBB\xBF[PEN]\nCOLOR=255\n");

    EXPECT_EQ(ini.getInt("PEN", "COLOR", 0), 255);
}

TEST_F(IniFileTest, MissingFileReadsEmptyAndFirstSaveCreatesIt) {
    IniFile ini = loaded();

    EXPECT_EQ(ini.getInt("Software", "RunExpoTime", -6), -6);
    ini.setInt("Software", "RunExpoTime", -6);
    ini.setInt("Software", "Amp", INT32_MIN);
    ini.setValue("Functions", "MouseLeft", "1");

    EXPECT_EQ(saved(ini),
              "[Software]\nRunExpoTime=-6\nAmp=-2147483648\n[Functions]\nMouseLeft=1\n");
    IniFile again = loaded();
    EXPECT_EQ(again.getInt("Software", "RunExpoTime", 0), -6);
    EXPECT_EQ(again.getInt("Software", "Amp", 0), INT32_MIN);
}

TEST_F(IniFileTest, LastLineWithoutLineEndGetsOneBeforeAnAddedLine) {
    IniFile ini = written("[S]\na=1");

    ini.setInt("S", "b", 2);
    ini.setInt("T", "c", 3);

    EXPECT_EQ(saved(ini), "[S]\na=1\nb=2\n[T]\nc=3\n");
}

TEST_F(IniFileTest, KeyAddedToAnEmptySectionFollowsItsHeader) {
    IniFile ini = written("[S]\n; nothing yet\n[T]\nx=1\n");

    ini.setInt("S", "a", 1);

    EXPECT_EQ(saved(ini), "[S]\na=1\n; nothing yet\n[T]\nx=1\n");
}

TEST_F(IniFileTest, CommentedOutKeyIsNotAKey) {
    IniFile ini = written("[S]\n;Amp=1\n#Amp=2\nAmp=3\n");

    EXPECT_EQ(ini.getInt("S", "Amp", 0), 3);
    EXPECT_FALSE(ini.value("S", ";Amp"));
}

TEST_F(IniFileTest, ValueWithLineBreaksStaysOnOneLine) {
    IniFile ini = loaded();

    ini.setValue("S", "a", "1\n[Evil]\r\nb=2");
    ASSERT_TRUE(ini.save());

    IniFile again = loaded();
    EXPECT_FALSE(again.value("Evil", "b"));
    EXPECT_EQ(again.value("S", "a"), "1 [Evil]  b=2");
}

TEST_F(IniFileTest, BinaryGarbageWithNulBytesSurvivesARoundTrip) {
    std::mt19937 rng(1234);
    std::string garbage(64 * 1024, '\0');
    for (char& c : garbage) {
        c = static_cast<char>(rng() & 0xFF);
    }
    garbage += "\n[Software]\nAmp=77\n";
    garbage += std::string("x\0y=1\n", 6);
    IniFile ini = written(garbage);

    EXPECT_EQ(ini.getInt("Software", "Amp", 0), 77);
    ini.setInt("Zeta", "k", 1);

    EXPECT_EQ(saved(ini), garbage + "[Zeta]\nk=1\n");
}

TEST_F(IniFileTest, TenMegabyteFileAndVeryLongLinesAreHandled) {
    std::string big = "[Software]\nAmp=1\n";
    big += std::string(2 * 1024 * 1024, 'x') + "\n";  // one long line without '='
    big += "long=" + std::string(1024 * 1024, '7') + "\n";
    while (big.size() < 10 * 1024 * 1024) {
        big += "[Filler]\nkey=value\n; comment line of some length for bulk\n";
    }
    big += "[Tail]\nlast=42\n";
    IniFile ini = written(big);

    EXPECT_EQ(ini.getInt("Tail", "last", 0), 42);
    // A million sevens, read modulo 2^32.
    EXPECT_EQ(ini.getInt("Software", "long", 0), 1908874353);
    ini.setInt("Software", "Amp", 2);

    std::string expected = big;
    expected.replace(expected.find("Amp=1"), 5, "Amp=2");
    EXPECT_EQ(saved(ini), expected);
}

TEST_F(IniFileTest, EveryOneLineValueReadsBackAsWritten) {
    IniFile ini = loaded();
    const char* const values[] = {" HDMI-1", "tab\t", "\"quoted\"", "'single'",
                                  "\"\"",    "\"",    "a b"};

    for (const char* v : values) {
        ini.setValue("Software", "Screen", v);
        EXPECT_EQ(ini.getString("Software", "Screen", "-"), v);
    }

    EXPECT_EQ(saved(ini), "[Software]\nScreen=a b\n");
    EXPECT_EQ(loaded().getString("Software", "Screen", "-"), "a b");
    ini.setValue("Software", "Screen", " x ");
    EXPECT_EQ(ini.text(), "[Software]\nScreen=\" x \"\n");
}

// POSIX file modes and symbolic links: not on Windows.
#ifndef _WIN32
TEST_F(IniFileTest, SaveKeepsPermissionsAndLeavesNoTemporaryFiles) {
    IniFile ini = written("[S]\na=1\n");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);

    ini.setInt("S", "a", 2);
    ASSERT_TRUE(ini.save());

    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(tktest::entryCount(dir.path()), 1u);
}

TEST_F(IniFileTest, SaveThroughSymbolicLinkUpdatesTheTargetAndKeepsTheLink) {
    const std::string target = dir.file("real.ini");
    writeBytes(target, "[S]\na=1\n");
    std::filesystem::create_symlink(target, path);
    IniFile ini = loaded();

    ini.setInt("S", "a", 2);
    ASSERT_TRUE(ini.save());

    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_EQ(readBytes(target), "[S]\na=2\n");
}
#endif

// Saving `path` fails and leaves the file `kept` as it was.
void expectSaveFails(const std::string& path, const std::string& kept) {
    const std::string before = readBytes(kept);
    IniFile ini(path);
    ASSERT_TRUE(ini.load());  // a missing file reads as empty

    ini.setInt("S", "a", 1);

    EXPECT_FALSE(ini.save());
    EXPECT_EQ(readBytes(kept), before);
}

TEST(IniFileFailure, SaveFailsWhenTheFolderIsARegularFile) {
    TempDir dir;
    writeBytes(dir.file("plain"), "x");
    expectSaveFails(dir.file("plain/Tovik.ini"), dir.file("plain"));
}

TEST(IniFileFailure, FileThatCannotBeReplacedIsLeftAsItWas) {
    // Nothing may be created in /proc, not even by root.
    expectSaveFails("/proc/version", "/proc/version");
}

TEST(IniFileFailure, UnreadableFileIsNeverOverwritten) {
    TempDir dir;
    const std::string path = dir.file("folder.ini");
    std::filesystem::create_directory(path);
    std::filesystem::create_directory(path + "/inside");
    IniFile ini(path);

    EXPECT_FALSE(ini.load());
    ini.setInt("S", "a", 1);
    EXPECT_FALSE(ini.save());
    EXPECT_TRUE(std::filesystem::is_directory(path + "/inside"));
}

}  // namespace
