#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "common/TempDir.h"
#include "common/WriteFault.h"
#include "tovik/tracking/SettingsFile.h"

namespace tovik {
namespace {

namespace fs = std::filesystem;

class SettingsFileTest : public testing::Test {
protected:
    void write(const std::string& text) const { tktest::writeBytes(path, text); }
    [[nodiscard]] std::string read() const { return tktest::readBytes(path); }
    // Non-empty lines of the file, line ends stripped.
    [[nodiscard]] std::vector<std::string> lines() const {
        std::vector<std::string> out;
        std::istringstream in(read());
        for (std::string l; std::getline(in, l);) {
            if (!l.empty() && l.back() == '\r') {
                l.pop_back();
            }
            if (!l.empty()) {
                out.push_back(l);
            }
        }
        return out;
    }
    // The settings as loaded from the file.
    [[nodiscard]] TrackingSettings load() const {
        TrackingSettings s;
        LoadSettings(s, path);
        return s;
    }

    tktest::TempDir temp;
    fs::path dir = temp.path();
    std::string path = temp.file("Tovik.ini");
};

const std::vector<std::string> kDefaultFile = {
    "[Software]",      "Amp=180",         "Area=5",         "AreaUp=1000",
    "Move=5",          "DbClickThd=20",   "RunExpoTime=-6", "AutoTh=1",
    "[Camera]",        "camBrightness=0", "camContrast=10", "camHue=0",
    "camSaturation=0", "camSharpness=4",  "camGamma=130",   "camBacklightCompensation=1",
    "camGain=0",       "[Functions]",     "MouseLeft=1",    "F13Trig=1",
};

TEST_F(SettingsFileTest, MissingFileGivesDefaultsAndSaveWritesAll17Keys) {
    TrackingSettings s;
    s.SamplingInterval = 55;

    LoadSettings(s, path);

    EXPECT_EQ(s.SamplingInterval, 21);
    EXPECT_EQ(s.Amp, 180);
    EXPECT_EQ(s.AreaUp, 1000);
    EXPECT_EQ(s.RunExpoTime, -6);
    EXPECT_EQ(s.camera.gamma, 130);
    EXPECT_FALSE(fs::exists(path));  // loading never creates the file

    ASSERT_TRUE(SaveSettings(s, path));
    EXPECT_EQ(lines(), kDefaultFile);
}

TEST_F(SettingsFileTest, AccuracyOptionsRoundTripInTheirOwnSection) {
    write("[Accuracy]\nSubPixelSpot=1\nPointerSmoothing=1\n");
    TrackingSettings s = load();

    s.LensCorrection = 1;
    s.PointerSmoothing = 0;
    ASSERT_TRUE(SaveSettings(s, path));
    const TrackingSettings back = load();

    EXPECT_EQ(back.LensCorrection, 1);
    EXPECT_EQ(back.SubPixelSpot, 1);
    EXPECT_EQ(back.PointerSmoothing, 0);
    // Present in the file, so kept there even at its default.
    EXPECT_NE(read().find("PointerSmoothing=0"), std::string::npos);
}

TEST_F(SettingsFileTest, RightClickKeysAreBroughtIntoRangeAndWrittenOnceUsed) {
    for (const auto& [text, hold, radius] : {std::tuple{"RightHold=100\nRightRadius=1", 300, 2},
                                             {"RightHold=5000\nRightRadius=99", 3000, 50},
                                             {"RightHold=-4\nRightRadius=12", 0, 12}}) {
        write(std::string("[Functions]\n") + text + "\n");
        EXPECT_EQ(load().RightHold, hold) << text;
        EXPECT_EQ(load().RightRadius, radius) << text;
    }

    fs::remove(path);
    TrackingSettings s = load();
    s.RightHold = 800;
    ASSERT_TRUE(SaveSettings(s, path));
    const TrackingSettings again = load();

    std::vector<std::string> expected = kDefaultFile;
    expected.push_back("RightHold=800");
    EXPECT_EQ(lines(), expected);
    EXPECT_EQ(again.RightHold, 800);
    EXPECT_EQ(again.RightRadius, 8);
}

TEST_F(SettingsFileTest, LoadingOverwritesEveryPersistedMember) {
    write("[Software]\nAmp=77\nMove=0\n[Functions]\nF13Trig=0\n");
    TrackingSettings s;
    s.Area = 999;
    s.camera.contrast = -3;
    s.MouseLeft = 0;

    LoadSettings(s, path);

    EXPECT_EQ(s.Amp, 77);
    EXPECT_EQ(s.Move, 0);
    EXPECT_EQ(s.F13Trig, 0);
    EXPECT_EQ(s.Area, 5);
    EXPECT_EQ(s.camera.contrast, 10);
    EXPECT_EQ(s.MouseLeft, 1);
}

TEST_F(SettingsFileTest, NegativeAndHandSetValuesRoundTrip) {
    write("[Software]\nRunExpoTime=-10\nDbClickThd=35\nAmp=12abc\n");
    TrackingSettings s = load();

    s.Move = 12;
    ASSERT_TRUE(SaveSettings(s, path));
    const TrackingSettings again = load();

    EXPECT_EQ(s.RunExpoTime, -10);
    EXPECT_EQ(s.Amp, 12);  // reading stops at the first non-digit
    EXPECT_EQ(again.RunExpoTime, -10);
    EXPECT_EQ(again.DbClickThd, 35);
    EXPECT_EQ(again.Move, 12);
    const auto l = lines();
    EXPECT_NE(std::find(l.begin(), l.end(), "RunExpoTime=-10"), l.end());
    EXPECT_NE(std::find(l.begin(), l.end(), "DbClickThd=35"), l.end());
}

TEST_F(SettingsFileTest, CalibParamsAreReadButNeverWritten) {
    const TrackingSettings s = load();
    ASSERT_TRUE(SaveSettings(s, path));

    const CalibParams defaults = ReadCalibParams(path);

    EXPECT_EQ(defaults.SmoothWndLen, 5);
    EXPECT_EQ(defaults.ManCalibAmpThd, 180);
    EXPECT_EQ(defaults.ManCalibAreaThd, 10);
    EXPECT_EQ(read().find("CalibParams"), std::string::npos);

    write("[CalibParams]\nSmoothWndLen=7\nManCalibAreaThd=3\n");
    ASSERT_TRUE(SaveSettings(s, path));
    const CalibParams handSet = ReadCalibParams(path);

    EXPECT_EQ(handSet.SmoothWndLen, 7);
    EXPECT_EQ(handSet.ManCalibAmpThd, 180);
    EXPECT_EQ(handSet.ManCalibAreaThd, 3);
    EXPECT_EQ(lines().size(), kDefaultFile.size() + 3);
}

TEST_F(SettingsFileTest, UnwritablePlaceReportsFailure) {
    TrackingSettings s;

    EXPECT_FALSE(SaveSettings(s, (dir / "no-such-folder" / "Tovik.ini").string()));
}

TEST_F(SettingsFileTest, FullDiskOrReadOnlyFolderKeepsTheOldFileAndSaysWhy) {
    TrackingSettings s;
    ASSERT_TRUE(SaveSettings(s, path));
    const std::string before = read();
    s.Amp = 20;

    for (const auto& [bytes, error, reason] :
         {std::tuple{std::size_t{0}, EROFS, "只读"}, {std::size_t{40}, ENOSPC, "磁盘已满"}}) {
        tktest::ScopedWriteFault fault(bytes, error);
        const common::FileWriteResult r = SaveSettings(s, path);
        EXPECT_EQ(r.error, error);
        EXPECT_NE(r.describe(path).find(reason), std::string::npos) << r.describe(path);
    }

    EXPECT_EQ(read(), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(SettingsFileTest, AnUnreadableFileIsReportedAsUnreadableNotAsAnUnwritableFolder) {
    fs::create_directories(dir / "Tovik.ini");  // something that cannot be read as a file

    const common::FileWriteResult r = SaveSettings(TrackingSettings{}, path);

    EXPECT_EQ(r.describe(path).rfind("无法读取已有的文件 " + path + "：", 0), 0u)
        << r.describe(path);
}

TEST_F(SettingsFileTest, ScreenIsWrittenOnceChosenAndClearedWhenUnset) {
    TrackingSettings s;
    ASSERT_TRUE(SaveSettings(s, path));
    EXPECT_EQ(read().find("Screen"), std::string::npos);  // never chosen: not written

    s.Screen = "HDMI-1";
    ASSERT_TRUE(SaveSettings(s, path));
    EXPECT_EQ(load().Screen, "HDMI-1");

    s.Screen.clear();
    ASSERT_TRUE(SaveSettings(s, path));
    EXPECT_EQ(load().Screen, "");
}

TEST_F(SettingsFileTest, PrintShowsPathThenEveryValue) {
    TrackingSettings s = load();
    s.Amp = 42;
    CalibParams c;
    c.ManCalibAreaThd = 11;
    std::ostringstream out;

    PrintSettings(out, s, c, path);

    std::vector<std::string> expected = kDefaultFile;
    std::erase_if(expected, [](const std::string& l) { return l.front() == '['; });
    expected[0] = "Amp=42";
    expected.insert(expected.begin(), "SettingsFile=" + path);
    expected.insert(expected.end(),
                    {"RightHold=0", "RightRadius=8", "ReuseCalibration=0",
                     "Screen=", "LensCorrection=0", "SubPixelSpot=0", "PointerSmoothing=0",
                     "SmoothWndLen=5", "ManCalibAmpThd=180", "ManCalibAreaThd=11"});
    std::vector<std::string> got;
    std::istringstream in(out.str());
    for (std::string l; std::getline(in, l);) {
        got.push_back(l);
    }
    EXPECT_EQ(got, expected);
}

}  // namespace
}  // namespace tovik
