// Start-up order: a camera must be present, then no second copy, then the
// camera opens (or another is chosen) before the console runs.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstdlib>

#include "FakeCaptureBackend.h"
#include "common/ini/ProgramPaths.h"
#include "common/platform/InstanceLock.h"
#include "sim/SimCamera.h"
#include "tovik/app/CameraFactory.h"
#include "tovik/camera/CameraDS.h"
#include "tovik/console/MessagePresenter.h"
#include "tovik/console/TovikApp.h"
#include "tovik/console/TovikDlg.h"

namespace tovik::testing {
namespace {

class StartupTest : public ::testing::Test {
protected:
    StartupTest() {
        // Lock files in a folder of this test only.
        ::setenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit().constData(), 1);
        paths = common::resolveProgramPaths(runtime.path().toStdString() + "/tovik", "tovik", true);
        CameraIndex = 0;
    }
    ~StartupTest() override { CameraIndex = 0; }

    CTovikApp& makeApp(int devices) {
        CameraChoice camera;
        camera.backend = std::make_unique<FakeCaptureBackend>(devices);
        backend = static_cast<FakeCaptureBackend*>(camera.backend.get());
        app = std::make_unique<CTovikApp>(CommandLine{}, paths, std::move(camera), messages);
        app->lockName = "TovikStartupTest";
        app->cameraDialogs().runHook = [this](QDialog&) {
            ++formatPages;
            return int(QDialog::Accepted);  // the current format, selected
        };
        app->runConsole = [this](CTovikDlg& console) {
            ++consoleRuns;
            consoleCameraOpen = console.Camera().connected();
            return 0;
        };
        return *app;
    }

    // With another copy holding the lock, a start with `devices` cameras ends
    // with `code` and one message, and no console.
    void expectRefusedBesideAnotherCopy(int devices, int code, const char* text, MessageIcon icon) {
        const auto other = common::InstanceLock::tryAcquire("TovikStartupTest");
        ASSERT_NE(other, nullptr);

        EXPECT_EQ(makeApp(devices).InitInstance(), code);

        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].text, QString::fromUtf8(text));
        EXPECT_EQ(messages.messages[0].caption, QStringLiteral("提示"));
        EXPECT_EQ(messages.messages[0].icon, icon);
        EXPECT_EQ(consoleRuns, 0);
    }

    QTemporaryDir runtime;
    common::ProgramPaths paths;
    RecordingMessagePresenter messages;
    FakeCaptureBackend* backend = nullptr;
    std::unique_ptr<CTovikApp> app;
    int consoleRuns = 0;
    int formatPages = 0;
    bool consoleCameraOpen = false;
};

TEST_F(StartupTest, NoDeviceIsReportedBeforeTheSecondCopyCheck) {
    expectRefusedBesideAnotherCopy(0, exitcode::NoDevice, "请将Vesko与电脑连接",
                                   MessageIcon::Information);
}

TEST_F(StartupTest, ASecondCopyIsRefusedWithAWarning) {
    ASSERT_NO_FATAL_FAILURE(expectRefusedBesideAnotherCopy(
        1, exitcode::AlreadyRunning, "已有一个Vesko控制台程序在运行", MessageIcon::Warning));
    EXPECT_TRUE(backend->opens.empty());  // the camera is left alone
}

TEST_F(StartupTest, OpensTheCameraAtVgaAndRunsTheConsole) {
    const int code = makeApp(2).InitInstance();

    EXPECT_EQ(code, exitcode::Ok);
    EXPECT_EQ(consoleRuns, 1);
    EXPECT_TRUE(consoleCameraOpen);
    ASSERT_FALSE(backend->opens.empty());
    EXPECT_EQ(backend->opens[0], (std::pair<int, cv::Size>{0, {640, 480}}));
    EXPECT_TRUE(messages.messages.empty());
    // The lock went with the run: another start is possible.
    EXPECT_NE(common::InstanceLock::tryAcquire("TovikStartupTest"), nullptr);
}

TEST_F(StartupTest, ARefusedSizeFallsBackToTheFormatPage) {
    CTovikApp& a = makeApp(1);
    backend->refuse640 = true;
    backend->refusal = "permission denied for /dev/video0: add your user to the 'video' group";

    EXPECT_EQ(a.InitInstance(), exitcode::Ok);

    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text,
              QStringLiteral("摄像头出错\n") + QString::fromStdString(backend->refusal));
    EXPECT_EQ(messages.messages[0].caption, QStringLiteral("信息"));
    EXPECT_EQ(formatPages, 1);
    EXPECT_EQ(consoleRuns, 1);
    EXPECT_TRUE(consoleCameraOpen);
}

TEST_F(StartupTest, WithoutAnyWorkingCameraTheConsoleNeverStarts) {
    CTovikApp& a = makeApp(2);
    backend->refuseAll = true;
    int offers = 0;
    a.pickDevice = [&](const std::vector<DeviceInfo>& devices) -> std::optional<int> {
        EXPECT_EQ(devices.size(), 2u);
        return ++offers == 1 ? std::optional<int>(1) : std::nullopt;
    };

    EXPECT_EQ(a.InitInstance(), exitcode::NoCamera);

    EXPECT_EQ(offers, 2);
    EXPECT_EQ(consoleRuns, 0);
    EXPECT_EQ(CameraIndex, 1);
}

TEST_F(StartupTest, AnotherDeviceCanBeChosenWhenTheFirstFails) {
    CTovikApp& a = makeApp(2);
    a.pickDevice = [&](const std::vector<DeviceInfo>&) -> std::optional<int> {
        backend->refuseAll = false;
        return 1;
    };
    backend->refuseAll = true;

    EXPECT_EQ(a.InitInstance(), exitcode::Ok);

    EXPECT_EQ(consoleRuns, 1);
    EXPECT_EQ(backend->openIndex, 1);
}

// --camera: the simulator brings its pen's button as F13 and its frame
// numbers for the trace; a real camera brings neither.
TEST(CameraFactory, ChoosesTheCameraOrExplainsTheSpec) {
    std::string error;
    const CameraChoice real = chooseCamera("v4l2", error);
    ASSERT_TRUE(real.backend);
    EXPECT_FALSE(real.penKeys || real.lastFrame);

    CameraChoice simulated = chooseCamera("sim:fps=0", error);
    auto* camera = dynamic_cast<sim::SimCamera*>(simulated.backend.get());
    ASSERT_NE(camera, nullptr) << error;
    const auto keys = simulated.penKeys(std::make_unique<common::ScriptedKeyState>());
    EXPECT_EQ(keys->asyncKeyState(common::VK_F13_KEY), 0);
    camera->pen().setButton(true);
    EXPECT_EQ(keys->asyncKeyState(common::VK_F13_KEY) & 0x8000, 0x8000);
    EXPECT_FALSE(simulated.lastFrame());
    cv::Mat frame;
    ASSERT_TRUE(camera->open(0, {640, 480}) && camera->grab(frame, std::chrono::seconds(1)));
    ASSERT_TRUE(camera->grab(frame, std::chrono::seconds(1)));
    EXPECT_EQ(simulated.lastFrame().value_or(FrameStamp{}).number, 1u);

    for (const char* bad : {"v4l3", "sim:count=x", "sim:pose=sideways", "sim:fps", "simx"}) {
        error.clear();
        EXPECT_FALSE(chooseCamera(bad, error).backend) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    EXPECT_FALSE(chooseCamera("sim:script=/nonexistent/pen.txt", error).backend);
    EXPECT_NE(error.find("/nonexistent/pen.txt"), std::string::npos);
}

}  // namespace
}  // namespace tovik::testing
