// The writers of both programs killed at random moments, over and over: the
// file under each real name is always a whole one, from a single round.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <QImage>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include "common/TempDir.h"
#include "common/ini/IniFile.h"
#include "tests/support/Process.h"
#include "tovik/tracking/TrackingSettings.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using Keys = std::vector<std::pair<std::string, std::string>>;

// Every key holds the same round number.
void expectOneRound(const std::string& path, const Keys& keys) {
    common::IniFile ini(path);
    ASSERT_TRUE(ini.load());
    const auto first = ini.value(keys[0].first, keys[0].second);
    ASSERT_TRUE(first) << path << " lacks " << keys[0].second;
    for (const auto& [section, key] : keys) {
        EXPECT_EQ(ini.value(section, key), first) << path << ": " << key;
    }
}

const char* const kNames[] = {"tovik.ini", "kalvo.ini", "picture.bmp", "Gg.bmp",
                              "HomographyMat.txt"};

// The writers' temporary files: the real name, a dot, a unique part, ".tmp".
bool isTemporary(const std::string& name) {
    for (const std::string real : kNames) {
        if (name.starts_with(real + ".") && name.ends_with(".tmp")) {
            return true;
        }
    }
    return false;
}

// The writer finished a first round before it was killed: every file is there.
bool present(const std::string& path) {
    EXPECT_TRUE(fs::exists(path)) << path;
    return fs::exists(path);
}

void expectWholeFiles(const std::string& dir) {
    if (present(dir + "/tovik.ini")) {
        Keys keys;
        for (const tovik::SettingKey& k : tovik::SettingKeys()) {
            keys.emplace_back(k.section, k.name);
        }
        expectOneRound(dir + "/tovik.ini", keys);
    }
    if (present(dir + "/kalvo.ini")) {
        expectOneRound(dir + "/kalvo.ini", {{"PEN", "COLOR"}, {"PEN", "TYPE"}, {"PEN", "L"}});
    }
    if (present(dir + "/picture.bmp")) {
        EXPECT_EQ(fs::file_size(dir + "/picture.bmp"), 54u + 1600u * 3u * 1200u);
        const QImage picture(QString::fromStdString(dir + "/picture.bmp"));
        ASSERT_EQ(picture.size(), QSize(1600, 1200));
        EXPECT_EQ(picture.pixel(0, 0), picture.pixel(1599, 1199));
    }
    if (present(dir + "/Gg.bmp")) {
        const cv::Mat image = cv::imread(dir + "/Gg.bmp", cv::IMREAD_UNCHANGED);
        ASSERT_EQ(image.size(), cv::Size(640, 480));
        EXPECT_EQ(image.at<cv::Vec3b>(0, 0), image.at<cv::Vec3b>(479, 639));
    }
    if (present(dir + "/HomographyMat.txt")) {
        cv::FileStorage fs(dir + "/HomographyMat.txt", cv::FileStorage::READ);
        cv::Mat h;
        fs["HomographyMat"] >> h;
        ASSERT_EQ(h.size(), cv::Size(3, 3));
        EXPECT_EQ(h.at<float>(0, 0), h.at<float>(2, 2));
    }
}

TEST(KilledWriter, NeverLeavesAPartFileUnderTheRealName) {
    tktest::TempDir dir;
    const std::string writer = TK_BINARY_DIR "/bin/tk_file_writer";
    ASSERT_TRUE(fs::exists(writer)) << "build tk_file_writer first";
    std::mt19937 random(17);
    const auto end = std::chrono::steady_clock::now() + 30s;
    int kills = 0;
    int midWrite = 0;  // kills that left a temporary file: the write was under way

    // Most kills land between writes; go on until a few landed inside one.
    while (kills < 100 && (kills < 20 || midWrite < 3) && std::chrono::steady_clock::now() < end) {
        auto process = tktest::Process::start({writer, dir.path()}, {.reportFd = 1});
        ASSERT_TRUE(process);
        // Past its start-up, so that the kill lands among the writes.
        process->readLine(60s);
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 300));
        process->signal(SIGKILL);
        ASSERT_TRUE(process->waitExit(60s));
        ASSERT_TRUE(WIFSIGNALED(process->status()))
            << "the writer ended by itself: " << process->status();
        ++kills;

        expectWholeFiles(dir.path());
        for (const auto& e : fs::directory_iterator(dir.path())) {
            if (isTemporary(e.path().filename().string())) {
                ++midWrite;
                fs::remove(e.path());
            }
        }
        if (HasFailure()) {
            break;
        }
    }
    std::printf("%d kills, %d during a write\n", kills, midWrite);
    EXPECT_GE(kills, 10);
    EXPECT_GE(midWrite, 1) << "no kill landed during a write: the test proved nothing";
}

}  // namespace
