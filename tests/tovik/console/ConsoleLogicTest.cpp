// The console's pure rules: tray menu, frame rate, command line, field
// parsing, dialog units and the calibration file.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <opencv2/imgcodecs.hpp>

#include "ConsoleFixture.h"
#include "common/BuildInfo.h"
#include "common/WriteFault.h"
#include "tovik/console/CalibrationController.h"
#include "tovik/console/CalibrationFile.h"
#include "tovik/console/CommandLine.h"
#include "tovik/console/ControlIds.h"
#include "tovik/console/DialogUnits.h"
#include "tovik/console/FrameRate.h"
#include "tovik/console/IntegerField.h"
#include "tovik/console/StoredCalibration.h"
#include "tovik/console/StringTable.h"
#include "tovik/console/TrayMenu.h"

namespace tovik {
namespace {

testing::MenuItems Items(bool started, bool running) {
    testing::MenuItems out;
    for (const TrayMenuItem& i : BuildTrayMenu(started, running)) {
        const std::string_view text = StringText(i.stringId);
        out.emplace_back(QString::number(i.command), QString::fromUtf8(text.data(), text.size()));
    }
    return out;
}

TEST(CalibrationReportText, AdvisesCalibratingAgainOnlyAboveTenPixels) {
    CalibrationReport report;
    report.points = 9;
    report.meanError = 3.2;
    report.maxError = 10.0;
    report.checkedError = 1.234;
    const QString atTen = CalibrationController::reportText(report);
    report.maxError = 10.01;
    report.checkedError.reset();
    const QString above = CalibrationController::reportText(report);

    EXPECT_EQ(atTen, QStringLiteral("标定误差：平均 3.20 像素，最大 10.00 像素（9 点）"
                                    "；校验点实测最大偏差 1.23 像素"));
    EXPECT_EQ(above, QStringLiteral("标定误差：平均 3.20 像素，最大 10.01 像素（9 点）"
                                    "；校验已跳过。最大误差超过 10 像素，建议重新标定"));
    // A refusal says what to do and what stays in use.
    EXPECT_EQ(CalibrationController::refusalText(tovik::CalibrationFault::IllConditioned, false),
              QStringLiteral("标定失败：摄像头看屏幕的角度太斜。请把摄像头移到更正对屏幕的位置，"
                             "然后重新标定。尚未标定。"));
}

TEST(TrayMenuTest, ItemsFollowTheTrackingState) {
    EXPECT_EQ(Items(false, false), testing::kTrayMenus[0]);
    EXPECT_EQ(Items(true, true), testing::kTrayMenus[1]);
    EXPECT_EQ(Items(true, false), testing::kTrayMenus[2]);
}

TEST(StringTableTest, HoldsTheNumberedTextsAndNothingElse) {
    EXPECT_EQ(StringText(151), "摄像头模式已改变，请点击“标定”按钮重新进行标定");
    EXPECT_EQ(StringText(136), "秒后自动运行...");
    EXPECT_EQ(StringText(101), "关于 Tovik(&A)...");
    EXPECT_EQ(StringText(161), "自动对码");
    EXPECT_TRUE(StringText(139).empty());
    EXPECT_TRUE(StringText(162).empty());
    int count = 0;
    for (int id = 101; id <= 161; ++id) {
        count += StringText(id).empty() ? 0 : 1;
    }
    EXPECT_EQ(count, 58);
}

TEST(FrameRateTest, CountsFramesOverTheTimeOfDay) {
    const RateReading zero{};
    // The first tick compares with a zero reading: about nothing per second.
    EXPECT_EQ(FrameRate(zero, {10, 0, 0, 0, 600.0}), 0);
    EXPECT_EQ(FrameRate({10, 0, 0, 0, 100.0}, {10, 0, 2, 0, 200.0}), 50);
    EXPECT_EQ(FrameRate({10, 0, 0, 500, 100.0}, {10, 0, 2, 0, 175.0}), 50);  // 1.5 s
    EXPECT_EQ(FrameRate({10, 0, 0, 0, 100.0}, {10, 0, 2, 0, 100.0}), 0);     // paused
    // Across midnight the date is ignored: one negative figure.
    EXPECT_EQ(FrameRate({23, 59, 59, 0, 0.0}, {0, 0, 1, 0, 200000.0}), -2);  // over -86398 s
    // Two readings of the same instant must not divide by zero.
    EXPECT_EQ(FrameRate({10, 0, 0, 0, 100.0}, {10, 0, 0, 0, 160.0}), 0);
}

TEST(CommandLineTest, OptionsAndErrors) {
    const CommandLine a = ParseCommandLine(
        {"--camera", "sim:fps=0", "--calibration-file=c.yml", "--run", "--print-messages"});
    EXPECT_TRUE(a.error.empty());
    EXPECT_EQ(a.camera, "sim:fps=0");
    EXPECT_EQ(a.calibrationFile, "c.yml");
    EXPECT_TRUE(a.run);
    EXPECT_TRUE(a.printMessages);
    EXPECT_FALSE(a.listCameras);

    EXPECT_EQ(ParseCommandLine({}).camera, "v4l2");
    EXPECT_TRUE(ParseCommandLine({"--list-cameras"}).listCameras);
    EXPECT_TRUE(ParseCommandLine({"--print-settings"}).printSettings);
    EXPECT_TRUE(ParseCommandLine({"-h"}).help);
    EXPECT_TRUE(ParseCommandLine({"--version"}).version);
    EXPECT_EQ(ParseCommandLine({"--screen", "HDMI-1"}).screen, "HDMI-1");
    EXPECT_EQ(ParseCommandLine({"--camera=sim:count=2", "--camera", "v4l2"}).camera, "v4l2");
    EXPECT_EQ(ParseCommandLine({"--camera", "--run"}).camera,
              "--run");  // a value, whatever it looks like

    EXPECT_EQ(ParseCommandLine({}).input, common::InputBackend::Automatic);
    EXPECT_EQ(ParseCommandLine({"--input", "uinput"}).input, common::InputBackend::Uinput);
    EXPECT_EQ(ParseCommandLine({"--input=xtest"}).input, common::InputBackend::XTest);

    const std::pair<std::vector<std::string>, std::string> errors[] = {
        {{"--camera"}, "--camera needs a value"},
        {{"--run", "--calibration-file"}, "--calibration-file needs a value"},
        {{"--frobnicate"}, "unknown option: --frobnicate (see --help)"},
        {{"--run", "-x=1"}, "unknown option: -x=1 (see --help)"},
        {{"--run=1"}, "unknown option: --run=1 (see --help)"},
        {{"stray"}, "unknown option: stray (see --help)"},
        {{"--screen="}, "--screen needs a monitor name or index"},
        {{"--input", "wayland"}, "--input must be xtest or uinput, not wayland"},
    };
    for (const auto& [args, error] : errors) {
        const CommandLine cl = ParseCommandLine(args);
        EXPECT_EQ(cl.error, error) << args.front();
        EXPECT_FALSE(cl.run) << "nothing is applied when the line is refused";
    }
}

TEST(CommandLineTest, HelpNamesTheFileLocations) {
    common::ProgramPaths paths;
    paths.iniPath = "/opt/tovik/tovik.ini";
    paths.dataDir = "/opt/tovik/";
    const std::string help = HelpText(paths);
    for (const char* part : {"/opt/tovik/tovik.ini", "~/.config/tovik/", "~/.local/share/tovik/",
                             "--calibration-file", "--version"}) {
        EXPECT_NE(help.find(part), std::string::npos) << part;
    }
    EXPECT_EQ(VersionText(), std::string("tovik ") + common::kVersion + "\n");
}

TEST(CommandLineTest, ConsoleCommandsByNameOrNumber) {
    EXPECT_EQ(ParseConsoleCommand("run\n"), ids::Run);
    EXPECT_EQ(ParseConsoleCommand(" Pause "), ids::Pause);
    EXPECT_EQ(ParseConsoleCommand("exit"), ids::Exit);
    EXPECT_EQ(ParseConsoleCommand("1071"), ids::ShowConsole);
    EXPECT_EQ(ParseConsoleCommand(""), 0);
    EXPECT_EQ(ParseConsoleCommand("12x"), 0);
    EXPECT_EQ(ParseConsoleCommand("-5"), 0);
}

TEST(IntegerFieldTest, AcceptsOnlyWholeIntegers) {
    EXPECT_EQ(ParseIntegerField(QStringLiteral("180")), 180);
    EXPECT_EQ(ParseIntegerField(QStringLiteral(" -6 ")), -6);
    EXPECT_EQ(ParseIntegerField(QStringLiteral("+3")), 3);
    EXPECT_EQ(ParseIntegerField(QStringLiteral("-2147483648")), std::numeric_limits<int>::min());
    for (const char* bad : {"", "-", "12abc", "1.5", "99999999999"}) {
        EXPECT_FALSE(ParseIntegerField(QString::fromLatin1(bad))) << bad;
    }
    EXPECT_EQ(LeadingInteger(QStringLiteral("-3")), -3);
    EXPECT_EQ(LeadingInteger(QStringLiteral("abc")), 0);
    EXPECT_EQ(RangeMessage(QStringLiteral("检测阈值"), 1, 255),
              QStringLiteral("检测阈值: 请输入 1 到 255 之间的整数"));
}

TEST(DialogUnitsTest, ConvertsWithTheBaseUnits) {
    const DialogUnits du(7, 14);
    EXPECT_EQ(du.x(4), 7);
    EXPECT_EQ(du.y(8), 14);
    EXPECT_EQ(du.x(423), 740);  // 740.25
    EXPECT_EQ(du.y(209), 366);  // 365.75
    // Rectangles keep their right and bottom edges on the converted grid.
    EXPECT_EQ(du.rect(25, 26, 52, 22), QRect(44, 46, 91, 38));
}

class CalibrationFileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::string path(const char* name) const { return (dir.path() + "/" + name).toStdString(); }
};

TEST_F(CalibrationFileTest, FlatBackgroundRoundTrip) {
    CalibrationFileContent c;
    c.homography = cv::Matx33f(2, 0, 1, 0, 2, 3, 0, 0, 1);
    c.window = {10, 600, 20, 460};
    c.autoThreshold = 77;
    c.backgroundGrey = 30;
    ASSERT_TRUE(WriteCalibrationFile(path("c.yml"), c));

    CalibrationState state;
    std::string error;
    ASSERT_TRUE(LoadCalibrationFile(path("c.yml"), {640, 480}, state, error)) << error;

    EXPECT_EQ(state.Calibrated, 1);
    EXPECT_EQ(state.AutoThreshold, 77);
    EXPECT_EQ(state.Window, (DetectionWindow{10, 600, 20, 460}));
    EXPECT_EQ(state.Homography, c.homography);
    ASSERT_EQ(state.BackgroundFrame.size(), cv::Size(640, 480));
    EXPECT_EQ(state.BackgroundFrame.at<cv::Vec3b>(5, 5), cv::Vec3b(30, 30, 30));
}

TEST_F(CalibrationFileTest, BackgroundImageRelativeToTheFile) {
    cv::imwrite(path("bg.png"), cv::Mat(48, 64, CV_8UC3, cv::Scalar(1, 2, 3)));
    CalibrationFileContent c;
    c.backgroundPath = "bg.png";
    c.window = {0, 64, 0, 48};
    ASSERT_TRUE(WriteCalibrationFile(path("c.yml"), c));

    CalibrationState state;
    std::string error;
    ASSERT_TRUE(LoadCalibrationFile(path("c.yml"), {640, 480}, state, error)) << error;
    EXPECT_EQ(state.BackgroundFrame.size(), cv::Size(64, 48));
    EXPECT_EQ(state.BackgroundFrame.at<cv::Vec3b>(0, 0), cv::Vec3b(1, 2, 3));
}

TEST_F(CalibrationFileTest, StoredCalibrationComesBackOnlyForItsCameraFrameAndScreen) {
    const std::string folder = path("");
    CalibrationState made;
    made.Homography = cv::Matx33f(2, 0.5f, 1, 0, 2, 3, 0, 0.001f, 1);
    made.Window = {10, 600, 20, 460};
    made.AutoThreshold = 170;
    made.BackgroundFrame = cv::Mat(480, 640, CV_8UC3, cv::Scalar(10, 20, 30));
    made.BackgroundFrame.at<cv::Vec3b>(7, 9) = {200, 100, 50};
    made.Lens = {true, 500, {321.5, 239}, -0.2, 0.03};
    CalibrationOrigin origin{"Sim Cam 0", {640, 480}, {1920, 0, 1280, 800}, 1'780'000'000};
    origin.lensCorrection = true;
    std::string error;
    ASSERT_TRUE(StoreCalibration(folder, made, origin, error)) << error;

    CalibrationState state;
    const std::optional<CalibrationOrigin> back =
        LoadStoredCalibration(folder, origin, state, error);

    ASSERT_TRUE(back) << error;
    EXPECT_EQ(back->madeAt, origin.madeAt);
    EXPECT_EQ(state.Calibrated, 1);
    EXPECT_EQ(state.Homography, made.Homography);
    EXPECT_EQ(state.Window, made.Window);
    EXPECT_EQ(state.AutoThreshold, 170);
    EXPECT_EQ(cv::norm(state.BackgroundFrame, made.BackgroundFrame, cv::NORM_INF), 0.0);
    EXPECT_TRUE(state.Lens.valid && state.Lens.centre == made.Lens.centre &&
                state.Lens.k1 == made.Lens.k1);

    CalibrationOrigin otherCamera = origin, otherSize = origin, otherScreen = origin;
    otherCamera.camera = "USB Cam";
    otherSize.frameSize = {1280, 720};
    otherScreen.screen.x = 0;
    for (const CalibrationOrigin& o : {otherCamera, otherSize, otherScreen}) {
        CalibrationState untouched;
        EXPECT_FALSE(LoadStoredCalibration(folder, o, untouched, error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(untouched.Calibrated, 0);
    }
    EXPECT_NE(error.find("1280x800+0+0"), std::string::npos) << error;

    std::filesystem::remove(folder + kStoredBackgroundFile);
    CalibrationState noBackground;
    EXPECT_FALSE(LoadStoredCalibration(folder, origin, noBackground, error));
    EXPECT_FALSE(error.empty());
    std::ofstream(folder + kStoredCalibrationFile) << "this is : not [ yaml\n";
    EXPECT_FALSE(LoadStoredCalibration(folder, origin, noBackground, error));
    EXPECT_FALSE(error.empty());
    std::filesystem::remove(folder + kStoredCalibrationFile);
    EXPECT_FALSE(LoadStoredCalibration(folder, origin, noBackground, error));
    EXPECT_TRUE(error.empty());  // nothing stored: nothing to say
    EXPECT_EQ(noBackground.Calibrated, 0);
}

TEST_F(CalibrationFileTest, AFailedStoreLeavesThePreviousPairWholeAndLensCorrectionNeedsItsModel) {
    const std::string folder = path("");
    CalibrationState first;
    first.BackgroundFrame = cv::Mat(480, 640, CV_8UC3, cv::Scalar(1, 2, 3));
    first.Window = {0, 640, 0, 480};
    CalibrationOrigin origin{"Sim Cam 0", {640, 480}, {0, 0, 1280, 800}, 1'780'000'000};
    std::string error;
    ASSERT_TRUE(StoreCalibration(folder, first, origin, error)) << error;
    CalibrationState second = first;
    second.BackgroundFrame = cv::Mat(480, 640, CV_8UC3, cv::Scalar(9, 9, 9));

    for (const std::size_t writesBefore : {0, 1}) {  // the picture fails, then the description
        tktest::ScopedWriteFault full(10, ENOSPC, writesBefore);
        EXPECT_FALSE(StoreCalibration(folder, second, origin, error));
    }

    CalibrationState back;
    ASSERT_TRUE(LoadStoredCalibration(folder, origin, back, error)) << error;
    EXPECT_EQ(back.BackgroundFrame.at<cv::Vec3b>(0, 0), cv::Vec3b(1, 2, 3));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 2);
    // Stored before the lens model was: only usable without lens correction.
    std::stringstream yml;
    yml << std::ifstream(folder + kStoredCalibrationFile).rdbuf();
    std::ofstream(folder + kStoredCalibrationFile)
        << yml.str().replace(yml.str().find("lens:"), 4, "gone");
    origin.lensCorrection = true;
    EXPECT_FALSE(LoadStoredCalibration(folder, origin, back, error));
    origin.lensCorrection = false;
    EXPECT_TRUE(LoadStoredCalibration(folder, origin, back, error)) << error;
}

TEST_F(CalibrationFileTest, BadFilesAreRefusedWithAMessageAndChangeNothing) {
    std::ofstream(path("no_window.yml")) << "%YAML:1.0\n---\nhomography: !!opencv-matrix\n"
                                            "   rows: 3\n   cols: 3\n   dt: f\n"
                                            "   data: [1,0,0,0,1,0,0,0,1]\n"
                                            "auto_threshold: 5\nbackground_grey: 3\n";
    std::ofstream(path("garbage.yml")) << "this is : not [ yaml\n";
    CalibrationState state;
    for (const char* name : {"missing.yml", "no_window.yml", "garbage.yml"}) {
        std::string error;
        EXPECT_FALSE(LoadCalibrationFile(path(name), {640, 480}, state, error)) << name;
        EXPECT_FALSE(error.empty()) << name;
    }
    EXPECT_EQ(state.Calibrated, 0);
    EXPECT_TRUE(state.BackgroundFrame.empty());
}

}  // namespace
}  // namespace tovik
