// Tovik killed at random moments while it starts, asks to exit and saves its
// settings: the settings file is always the old one or a whole new one.
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "common/TempDir.h"
#include "common/ini/IniFile.h"
#include "tests/support/Process.h"
#include "tests/support/Wait.h"
#include "tovik/tracking/TrackingSettings.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A file as an earlier version wrote it, without DbClickThd, so a file Tovik
// wrote is told from this one.
const std::string kOldFile =
    "[Software]\nAmp=100\nArea=5\nAreaUp=1000\nMove=5\nRunExpoTime=-6\nAutoTh=1\n"
    "[Camera]\ncamBrightness=0\ncamContrast=10\ncamHue=0\ncamSaturation=0\ncamSharpness=4\n"
    "camGamma=130\ncamBacklightCompensation=1\ncamGain=0\n"
    "[Functions]\nMouseLeft=1\nF13Trig=1\n[CalibParams]\nSmoothWndLen=7\n";

// Starts Tovik, asks it to exit, and kills it after `delay` unless it ended
// before; returns how long it ran.
Clock::duration runOnce(const std::string& program, std::chrono::milliseconds delay, bool& killed) {
    const auto start = Clock::now();
    auto tovik = tktest::Process::start({program, "--camera", "sim:scene=blank,fps=30",
                                         "--print-messages", "--commands-from-stdin"},
                                        {.out = "/dev/null", .err = "/dev/null", .input = true});
    if (!tovik) {
        return {};
    }
    tovik->send("exit");
    killed = !tovik->waitExit(delay);
    if (killed) {
        tovik->signal(SIGKILL);
        tovik->waitExit(std::chrono::minutes(1));
    }
    return Clock::now() - start;
}

void expectOldOrWhole(const std::string& path) {
    const std::string text = tktest::readBytes(path);
    if (text == kOldFile) {
        return;
    }
    common::IniFile ini(path);
    ASSERT_TRUE(ini.load());
    // Every key a save always writes.
    for (const tovik::SettingKey& k : tovik::SettingKeys()) {
        EXPECT_TRUE(k.written != tovik::SettingKey::Written::Always || ini.value(k.section, k.name))
            << k.name << " missing in:\n"
            << text;
    }
    EXPECT_EQ(ini.getInt("Camera", "camGamma", 0), 130) << text;
    EXPECT_EQ(ini.getInt("Functions", "F13Trig", 0), 1) << text;
    EXPECT_EQ(ini.getInt("CalibParams", "SmoothWndLen", 0), 7) << text;
}

TEST(KilledTovik, SettingsFileIsAlwaysTheOldOrAWholeNewOne) {
    if (!tktest::haveDisplay()) {
        GTEST_SKIP() << "needs an X display";
    }
    tktest::TempDir dir;
    fs::create_directories(dir.file("run"));
    ::setenv("XDG_RUNTIME_DIR", dir.file("run").c_str(), 1);
    // A copy, so that its settings file is ours.
    const std::string program = dir.file("tovik");
    fs::copy_file(TK_BINARY_DIR "/bin/tovik", program);
    const std::string ini = dir.file("tovik.ini");

    // A whole run first: how long a start and a confirmed exit take.
    tktest::writeBytes(ini, kOldFile);
    bool killed = false;
    const auto whole = runOnce(program, 20s, killed);
    ASSERT_FALSE(killed) << "Tovik did not exit";
    ASSERT_NE(tktest::readBytes(ini), kOldFile) << "the exit did not save";
    expectOldOrWhole(ini);

    std::mt19937 random(17);
    const auto ms = [](auto d) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(d).count() + 1;
    };
    auto span = ms(whole);
    const auto end = Clock::now() + 60s;
    int rounds = 0;
    int kills = 0;
    int saved = 0;
    while (rounds < 12 && Clock::now() < end && !HasFailure()) {
        tktest::writeBytes(ini, kOldFile);
        // Around the end of a whole run, where the save happens.
        const auto took =
            runOnce(program, std::chrono::milliseconds(span / 2 + random() % span), killed);
        kills += killed ? 1 : 0;
        // A run quicker than the first (a machine less busy now) moves the aim.
        span = killed ? span : std::min(span, ms(took));
        ++rounds;
        expectOldOrWhole(ini);
        saved += tktest::readBytes(ini) != kOldFile ? 1 : 0;
    }
    std::printf("%d rounds, %d killed before the exit ended, %d saved\n", rounds, kills, saved);
    EXPECT_GE(kills, 1);
}

}  // namespace
