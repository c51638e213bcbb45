#pragma once
// A camera over the fake back end; a console on it, with recorded messages
// and pointer events.

#include <QApplication>
#include <QGroupBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <utility>
#include <vector>

#include "FakeCaptureBackend.h"
#include "common/TempDir.h"
#include "common/ini/ProgramPaths.h"
#include "tests/support/Wait.h"
#include "tovik/camera/CameraDS.h"
#include "tovik/console/MessagePresenter.h"
#include "tovik/console/TovikDlg.h"

// Failure messages show texts and image values as such, not as bytes.
inline void PrintTo(const QString& s, std::ostream* out) {
    *out << '"' << s.toStdString() << '"';
}
namespace tovik {
inline void PrintTo(const ImageControls& c, std::ostream* out) {
    for (int ImageControls::*control : kImageControlMembers) {
        *out << c.*control << ' ';
    }
}
}  // namespace tovik

namespace tovik::testing {

// The tray menu's items (command, text) when idle, tracking and paused.
using MenuItems = std::vector<std::pair<QString, QString>>;
inline const MenuItems kTrayMenus[] = {
    {{"1071", "显示主界面"},
     {"1005", "自动标定"},
     {"1009", "手动9点标定"},
     {"1006", "运行(&R)"},
     {"2", "退出"}},
    {{"1071", "显示主界面"}, {"1007", "暂停(&P)"}, {"2", "退出"}},
    {{"1071", "显示主界面"},
     {"1005", "自动标定"},
     {"1009", "手动9点标定"},
     {"1007", "继续"},
     {"2", "退出"}},
};

// Device 0 of three open at 640x480; the device in use is 0 before and after.
class FakeCameraFixture : public ::testing::Test {
protected:
    FakeCameraFixture() {
        auto b = std::make_unique<FakeCaptureBackend>(3);
        backend = b.get();
        camera.setBackend(std::move(b));
        EXPECT_TRUE(camera.OpenDevice(0, false, 640, 480));
        CameraIndex = 0;
    }
    ~FakeCameraFixture() override { CameraIndex = 0; }

    FakeCaptureBackend* backend = nullptr;
    CCameraDS camera;
};

class ConsoleFixture : public FakeCameraFixture {
protected:
    ConsoleFixture() {
        camera.setMessageSink(&cameraMessages);
        paths = common::resolveProgramPaths(dir.path().toStdString() + "/tovik", "tovik", true);
    }

    CTovikDlg& makeConsole(MessagePresenter* presenter = nullptr) {
        console = std::make_unique<CTovikDlg>(ConsoleServices{
            camera, keys, injector, clock, screen, presenter ? *presenter : messages, paths, {}});
        console->trayAvailable = [] { return false; };
        console->runModal = [](QDialog&) { return int(QDialog::Rejected); };
        return *console;
    }

    // A console calibrated for a 640x480 camera filling a 1280x960 screen at
    // twice its size, over a flat grey background.
    CTovikDlg& makeCalibratedConsole() {
        CalibrationState& c = makeConsole().Calibration();
        c.Homography = cv::Matx33f(2, 0, 0, 0, 2, 0, 0, 0, 1);
        c.BackgroundFrame = cv::Mat(480, 640, CV_8UC3, cv::Scalar::all(40));
        c.Window = {0, 640, 0, 480};
        c.AutoThreshold = 100;
        c.Calibrated = 1;
        return *console;
    }

    // A manual calibration, waited for until it runs.
    void startCalibration() {
        console->OnManualCalibrate();
        ASSERT_TRUE(tktest::waitUntil([&] { return console->CalibrationRunning(); }));
    }
    // Esc held until the calibration running has ended.
    void escapeCalibration() {
        keys.setDown(common::VK_ESCAPE_KEY, true);
        ASSERT_TRUE(tktest::waitUntil([&] { return !console->CalibrationRunning(); }));
        keys.setDown(common::VK_ESCAPE_KEY, false);
    }
    // The settings file as saved; empty when there is none.
    QByteArray savedIni() const {
        return QByteArray::fromStdString(tktest::readBytes(paths.iniPath));
    }

    QPushButton* button(int id) const {
        return console->findChild<QPushButton*>(QString::number(id));
    }
    // What a control says: its title for a group, its text otherwise.
    QString text(int id) const {
        const QWidget* w = console->control(id);
        return w->property(qobject_cast<const QGroupBox*>(w) ? "title" : "text").toString();
    }

    QTemporaryDir dir;
    RecordingMessageSink cameraMessages;
    common::ProgramPaths paths;
    common::ScriptedKeyState keys;
    common::RecordingInjector injector;
    common::SystemClock clock;
    common::FixedScreenInfo screen{{1280, 960}};
    RecordingMessagePresenter messages;
    std::unique_ptr<CTovikDlg> console;
};

}  // namespace tovik::testing
