// The main console: its controls, collapse and expand, Run / Pause / Continue
// with their button states, the tray, exit, and the dialogs it opens.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QSlider>

#include <algorithm>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <set>
#include <sstream>
#include <utility>

#include "ConsoleFixture.h"
#include "common/WriteFault.h"
#include "tovik/console/ControlIds.h"
#include "tovik/console/CountDownDlg.h"
#include "tovik/console/DialogUnits.h"
#include "tovik/console/FrameView.h"
#include "tovik/console/SelectDlg.h"
#include "tovik/console/SettingDlg.h"
#include "tovik/console/StoredCalibration.h"
#include "tovik/tracking/SettingsFile.h"

namespace tovik::testing {

namespace {

using ConsoleTest = ConsoleFixture;

struct ControlRow {
    int id;
    const char* text;  // nullptr: no text to check
    int x, y, w, h;
    bool hidden;
};

TEST_F(ConsoleTest, EveryControlOfTheTemplateIsPlacedWithItsText) {
    CTovikDlg& dlg = makeConsole();
    const DialogUnits du(dlg.font());
    const ControlRow rows[] = {
        {1079, "校准", 15, 12, 169, 44, false},
        {1005, "自动(&A)", 25, 26, 52, 22, false},
        {1009, "手动(&M)", 93, 26, 49, 22, false},
        {1080, "命令", 15, 59, 169, 39, false},
        {1006, "运行(&R)", 26, 70, 50, 21, false},
        {1007, "暂停(&P)", 93, 70, 50, 21, false},
        {1081, "设置", 15, 101, 169, 45, false},
        {1058, "高级设置(&S)", 27, 115, 50, 23, false},
        {1040, "打开画面", 93, 115, 50, 23, false},
        {1067, "显示状态↓", 17, 156, 53, 27, false},
        {1057, "最小化(&N)", 74, 156, 52, 27, false},
        {2, "退出", 130, 156, 52, 27, false},
        {1027, nullptr, 192, 16, 216, 172, false},
        {1047, "调整摄像头(&D)", 353, 169, 50, 14, true},
        {1008, "关于(&B)", 234, 21, 36, 12, true},
        {1071, "Show", 197, 21, 34, 12, true},
        {1025, nullptr, 381, 20, 22, 12, true},
        {1032, nullptr, 151, 124, 22, 12, true},
        {1082, "运行状态", 15, 209, 393, 42, true},
        {1028, nullptr, 23, 228, 28, 12, true},
        {1083, "帧/秒", 54, 229, 18, 8, true},
        {1084, "x:", 77, 229, 8, 8, true},
        {1030, nullptr, 89, 228, 28, 12, true},
        {1085, "y:", 119, 230, 8, 8, true},
        {1031, nullptr, 132, 228, 28, 12, true},
        {1086, "左键", 165, 230, 15, 8, true},
        {1026, nullptr, 183, 228, 26, 12, true},
        {1087, "面积", 214, 230, 15, 8, true},
        {1029, nullptr, 231, 228, 28, 12, true},
        {1088, "采样间隔", 264, 230, 36, 8, true},
        {1036, nullptr, 297, 227, 74, 15, true},
        {1066, nullptr, 374, 227, 23, 14, true},
    };
    for (const ControlRow& r : rows) {
        QWidget* w = dlg.control(r.id);
        ASSERT_NE(w, nullptr) << r.id;
        EXPECT_EQ(w->geometry(), du.rect(r.x, r.y, r.w, r.h)) << r.id;
        if (r.text != nullptr) {
            EXPECT_EQ(text(r.id), QString::fromUtf8(r.text)) << r.id;
        }
        // Collapsed: the status panel is out of sight as well.
        EXPECT_EQ(w->isHidden(), r.hidden) << r.id;
    }
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Vesko-控制台"));
    EXPECT_EQ(dlg.control(1005)->toolTip(), QStringLiteral("自动标定"));
    EXPECT_EQ(dlg.control(1009)->toolTip(), QStringLiteral("手动9点标定"));
    EXPECT_EQ(dlg.control(1058)->toolTip(), QStringLiteral("修改软件参数"));
    EXPECT_EQ(dlg.width(), du.x(423));
    EXPECT_TRUE(dlg.control(1066)->property("readOnly").toBool());
}

TEST_F(ConsoleTest, IsANormalWindowWithACaptionOnly) {
    CTovikDlg& dlg = makeConsole();
    const Qt::WindowFlags flags = dlg.windowFlags();

    // A dialog-type window gets no taskbar entry.
    EXPECT_EQ(dlg.windowType(), Qt::Window);
    EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
    EXPECT_FALSE(flags.testAnyFlags(Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                                    Qt::WindowCloseButtonHint));
}

TEST_F(ConsoleTest, StartsCollapsedAndTogglesTheStatusPanel) {
    CTovikDlg& dlg = makeConsole();
    dlg.show();
    EXPECT_EQ(dlg.height(), 390);
    EXPECT_EQ(dlg.StatusShown, 0);
    EXPECT_FALSE(dlg.control(1082)->isVisible());

    dlg.OnToggleStatus();
    EXPECT_EQ(dlg.height(), 490);
    EXPECT_EQ(dlg.StatusShown, 1);
    EXPECT_EQ(text(1067), QStringLiteral("隐藏状态↑"));
    EXPECT_TRUE(dlg.control(1082)->isVisible());
    EXPECT_TRUE(dlg.control(1036)->isVisible());

    QTest::mouseClick(button(1067), Qt::LeftButton);
    EXPECT_EQ(dlg.height(), 390);
    EXPECT_EQ(text(1067), QStringLiteral("显示状态↓"));
    EXPECT_FALSE(dlg.control(1029)->isVisible());
}

TEST_F(ConsoleTest, StatusPanelSaysWhenThePenButtonCannotBeRead) {
    CTovikDlg& dlg = makeConsole();
    auto* status = qobject_cast<QGroupBox*>(dlg.control(1082));
    ASSERT_NE(status, nullptr);
    const QString usual = status->title();

    dlg.SetPenButtonProblem(QString());
    EXPECT_EQ(status->title(), usual);
    dlg.SetPenButtonProblem(QStringLiteral("the pen button (F13) cannot be read"));

    EXPECT_TRUE(status->title().contains(QStringLiteral("F13Trig")))
        << status->title().toStdString();
    EXPECT_EQ(status->toolTip(), QStringLiteral("the pen button (F13) cannot be read"));
}

TEST_F(ConsoleTest, InitialisationPushesTheSettingsToTheCamera) {
    tktest::writeBytes(paths.iniPath, "[Camera]\ncamBrightness=5\ncamGamma=120\ncamGain=7\n");
    backend->exposures.clear();

    CTovikDlg& dlg = makeConsole();

    // The keys missing from the file at their defaults (contrast 10...).
    EXPECT_EQ(backend->images, (ImageControls{.brightness = 5, .gamma = 120, .gain = 7}));
    ASSERT_FALSE(backend->exposureLog().empty());
    EXPECT_EQ(backend->exposureLog().back(), (FakeCaptureBackend::ExposureRequest{0, true}));
    // The interval starts at 21 whatever the slider's range did.
    EXPECT_EQ(dlg.Settings().SamplingInterval.get(), 21);
    EXPECT_EQ(text(1066), QStringLiteral("21"));
    EXPECT_EQ(dlg.findChild<QSlider*>(QStringLiteral("1036"))->value(), 21);
}

TEST_F(ConsoleTest, SliderAndIntervalFollowEachOther) {
    CTovikDlg& dlg = makeConsole();
    auto* slider = dlg.findChild<QSlider*>(QStringLiteral("1036"));
    EXPECT_EQ(slider->minimum(), 1);
    EXPECT_EQ(slider->maximum(), 60);

    slider->setValue(40);

    EXPECT_EQ(text(1066), QStringLiteral("40"));
    EXPECT_EQ(dlg.Settings().SamplingInterval.get(), 40);
}

TEST_F(ConsoleTest, RunBeforeACalibrationIsRefused) {
    CTovikDlg& dlg = makeConsole();

    QTest::mouseClick(button(1006), Qt::LeftButton);

    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text,
              QStringLiteral("摄像头模式已改变，请点击“标定”按钮重新进行标定"));
    EXPECT_EQ(messages.messages[0].caption, QStringLiteral("请先标定"));
    EXPECT_EQ(messages.messages[0].icon, MessageIcon::Information);
    EXPECT_FALSE(dlg.Tracking().threadStarted());
    EXPECT_TRUE(button(1006)->isEnabled());
    EXPECT_FALSE(button(1007)->isEnabled());
    EXPECT_FALSE(button(1040)->isEnabled());
    EXPECT_TRUE(dlg.previewTimerActive());
}

TEST_F(ConsoleTest, StoredCalibrationIsTakenAtStartOnlyWhenReuseIsOnAndItMatches) {
    makeCalibratedConsole();
    const CalibrationOrigin here = console->CurrentCalibrationOrigin();
    std::string error;
    ASSERT_TRUE(StoreCalibration(paths.dataDir, console->Calibration(), here, error)) << error;
    const auto line = [this] {
        const auto* l = console->findChild<QLabel*>(QStringLiteral("CalibrationReport"));
        return l ? l->text() : QString();
    };

    makeConsole().RestoreStoredCalibration();  // ReuseCalibration is off
    EXPECT_EQ(console->Calibration().Calibrated, 0);
    std::ofstream(paths.iniPath) << "[Software]\nReuseCalibration=1\n";
    makeConsole().RestoreStoredCalibration();

    EXPECT_EQ(console->Calibration().Calibrated, 1);
    EXPECT_EQ(console->Calibration().Homography, cv::Matx33f(2, 0, 0, 0, 2, 0, 0, 0, 1));
    EXPECT_EQ(here.camera, camera.Devices()[0].name);
    EXPECT_TRUE(line().startsWith(QStringLiteral("使用保存的标定 StoredCalibration.yml（")))
        << line().toStdString();
    QTest::mouseClick(button(1006), Qt::LeftButton);
    EXPECT_TRUE(console->Tracking().threadStarted());  // Run is allowed at once
    console->OnPause();

    CalibrationOrigin elsewhere = here;
    elsewhere.screen.width = 1024;
    ASSERT_TRUE(StoreCalibration(paths.dataDir, console->Calibration(), elsewhere, error));
    makeConsole().RestoreStoredCalibration();
    EXPECT_EQ(console->Calibration().Calibrated, 0);
    EXPECT_TRUE(line().startsWith(QStringLiteral("保存的标定不可用："))) << line().toStdString();
}

TEST_F(ConsoleTest, AnUnknownScreenFallsBackToThePrimarySaidOnceInTheStatusPanel) {
    CTovikDlg& dlg = makeConsole();
    dlg.Settings().Screen = "HDMI-9";
    ::testing::internal::CaptureStderr();

    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(dlg.TargetScreen(), (common::ScreenRect{0, 0, 1280, 960}));
    }

    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    const auto* line = dlg.findChild<QLabel*>(QStringLiteral("ScreenWarning"));
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->text(), QStringLiteral("找不到显示器“HDMI-9”，改用主显示器 default"));
}

TEST_F(ConsoleTest, RunPauseAndContinueFollowTheButtonTable) {
    CTovikDlg& dlg = makeCalibratedConsole();
    const auto enabled = [&](int id) { return dlg.control(id)->isEnabled(); };
    const auto lastExposure = [&] { return backend->exposureLog().back(); };
    using E = FakeCaptureBackend::ExposureRequest;
    // Idle.
    EXPECT_TRUE(enabled(1005) && enabled(1009) && enabled(1047) && enabled(1006));
    EXPECT_FALSE(enabled(1007));

    dlg.OnRun();  // Tracking
    EXPECT_TRUE(dlg.Tracking().threadStarted());
    EXPECT_TRUE(dlg.Tracking().running());
    EXPECT_FALSE(enabled(1005) || enabled(1009) || enabled(1047) || enabled(1006));
    EXPECT_TRUE(enabled(1007) && enabled(1040));
    EXPECT_EQ(text(1007), QStringLiteral("暂停(&P)"));
    EXPECT_FALSE(dlg.previewTimerActive());
    EXPECT_EQ(lastExposure(), (E{-6, false}));
    EXPECT_TRUE(dlg.isMinimized());  // no tray here: hidden by minimising

    dlg.OnPause();  // Paused
    EXPECT_FALSE(dlg.Tracking().running());
    EXPECT_TRUE(dlg.Tracking().paused());
    EXPECT_TRUE(dlg.Loop()->parked());
    EXPECT_TRUE(enabled(1005) && enabled(1009) && enabled(1047));
    EXPECT_FALSE(enabled(1006));
    EXPECT_EQ(text(1007), QStringLiteral("继续"));
    EXPECT_TRUE(dlg.previewTimerActive());
    EXPECT_EQ(lastExposure(), (E{0, true}));

    dlg.Settings().RunExpoTime = -4;
    dlg.OnPause();  // Tracking again
    EXPECT_TRUE(dlg.Tracking().running());
    EXPECT_FALSE(dlg.Tracking().paused());
    EXPECT_FALSE(enabled(1005) || enabled(1009) || enabled(1047) || enabled(1006));
    EXPECT_EQ(text(1007), QStringLiteral("暂停(&P)"));
    EXPECT_FALSE(dlg.previewTimerActive());
    EXPECT_EQ(lastExposure(), (E{-4, false}));  // Continue: the value of now, fixed

    dlg.OnPause();
    dlg.Settings().RunExpoTime = 0;
    const std::size_t requestsBefore = backend->exposureLog().size();
    dlg.OnPause();
    EXPECT_EQ(backend->exposureLog().size(), requestsBefore + 1);
    EXPECT_EQ(lastExposure(), (E{0, true}));  // Continue: automatic for 0
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(ConsoleTest, ASecondRunIsRefusedByTheThreadGuard) {
    CTovikDlg& dlg = makeCalibratedConsole();
    dlg.OnRun();

    dlg.OnRun();

    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, QStringLiteral("光笔检测线程已经打开"));
    EXPECT_EQ(messages.messages[0].caption, QStringLiteral("Vesko·控制台"));
}

TEST_F(ConsoleTest, TrackingDrivesThePointerAndTheStatusControls) {
    CTovikDlg& dlg = makeCalibratedConsole();
    dlg.Settings().F13Trig = 0;
    dlg.Settings().AutoTh = 0;
    dlg.Settings().Amp = 100;
    backend->setSpot(true, {320, 240});

    dlg.OnRun();
    // The button is shown as the frame is processed, the counts once it is.
    ASSERT_TRUE(tktest::waitUntil([&] {
        dlg.statusTick();
        return text(1026) == QStringLiteral("按下") && text(1025).toInt() > 0;
    }));

    EXPECT_EQ(text(1030), QStringLiteral("640"));
    EXPECT_EQ(text(1031), QStringLiteral("480"));  // 960 - 480, from the bottom
    EXPECT_GT(text(1029).toInt(), 5);
    EXPECT_TRUE(std::ranges::any_of(injector.events(), [](const auto& e) {
        return (e.flags & common::MouseFlags::LeftDown) != 0;
    }));

    // The picture: the processed frames reach control 1027 once switched on.
    const int before = dlg.picture()->framesShown();
    dlg.OnTogglePicture();
    EXPECT_EQ(text(1040), QStringLiteral("关闭画面"));
    EXPECT_TRUE(tktest::waitUntil([&] {
        dlg.statusTick();
        return dlg.picture()->framesShown() > before;
    }));
    dlg.OnTogglePicture();
    EXPECT_EQ(text(1040), QStringLiteral("打开画面"));

    backend->setSpot(false);
    EXPECT_TRUE(tktest::waitUntil([&] {
        dlg.statusTick();
        return text(1026) == QStringLiteral("弹起");
    }));

    // An unplugged camera shows there until it is back.
    backend->lost = true;
    dlg.statusTick();
    EXPECT_EQ(text(1026), QStringLiteral("摄像头已断开"));
    backend->lost = false;
    dlg.statusTick();
    EXPECT_EQ(text(1026), QStringLiteral("弹起"));
}

TEST_F(ConsoleTest, ThePreviewDrawsOnlyWhileTheThreadIsNotRunning) {
    CTovikDlg& dlg = makeCalibratedConsole();
    int shown = dlg.picture()->framesShown();
    dlg.previewTick();
    EXPECT_EQ(dlg.picture()->framesShown(), ++shown);

    dlg.PreviewSuspended = 1;
    dlg.previewTick();
    EXPECT_EQ(dlg.picture()->framesShown(), shown);
    dlg.PreviewSuspended = 0;

    dlg.OnRun();
    dlg.previewTick();
    EXPECT_EQ(dlg.picture()->framesShown(), shown);

    dlg.OnPause();
    dlg.previewTick();
    EXPECT_EQ(dlg.picture()->framesShown(), shown + 1);
}

TEST_F(ConsoleTest, RateTimerShowsFramesPerSecondOfTheUtcClock) {
    CTovikDlg& dlg = makeConsole();
    RateReading now{12, 0, 0, 0, 0};
    dlg.utcNow = [&] { return now; };

    dlg.rateTick();  // against the zero reading
    EXPECT_EQ(text(1028), QStringLiteral("0"));
    now.second = 2;
    dlg.rateTick();  // no frames counted while idle
    EXPECT_EQ(text(1028), QStringLiteral("0"));
}

MenuItems Shown(QMenu& menu) {
    MenuItems items;
    for (QAction* a : menu.actions()) {
        items.emplace_back(a->objectName(), a->text());
    }
    return items;
}

TEST_F(ConsoleTest, TrayMenuIsBuiltFromTheStateEachTime) {
    CTovikDlg& dlg = makeCalibratedConsole();
    EXPECT_EQ(Shown(*dlg.buildTrayMenu()), kTrayMenus[0]);
    dlg.OnRun();
    EXPECT_EQ(Shown(*dlg.buildTrayMenu()), kTrayMenus[1]);
    dlg.OnPause();
    EXPECT_EQ(Shown(*dlg.buildTrayMenu()), kTrayMenus[2]);
}

TEST_F(ConsoleTest, TrayMenuItemsRunTheConsoleCommands) {
    CTovikDlg& dlg = makeCalibratedConsole();
    auto menu = dlg.buildTrayMenu();
    menu->findChild<QAction*>(QStringLiteral("1006"))->trigger();
    QApplication::processEvents();
    EXPECT_TRUE(dlg.Tracking().running());

    menu = dlg.buildTrayMenu();
    messages.answerNext(MessageResult::Cancel);
    menu->findChild<QAction*>(QStringLiteral("2"))->trigger();
    QApplication::processEvents();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, QStringLiteral("是否真的退出？"));
    EXPECT_TRUE(dlg.Tracking().running());  // cancelled: still tracking
}

TEST_F(ConsoleTest, TheTrayIconAndBalloonComeOnlyWithTheFirstHide) {
    CTovikDlg& dlg = makeConsole();
    dlg.trayAvailable = [] { return true; };
    dlg.show();

    dlg.HideToTray();
    EXPECT_FALSE(dlg.isVisible());
    dlg.OnTrayActivated(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(dlg.isVisible());
    dlg.HideToTray();

    EXPECT_EQ(dlg.TrayIconAdded, 1);
    EXPECT_EQ(dlg.BalloonsShown, 1);
    ASSERT_NE(dlg.trayIcon(), nullptr);
    EXPECT_EQ(dlg.trayIcon()->toolTip(), QStringLiteral("Vesko-控制台"));
    EXPECT_FALSE(dlg.isVisible());
    dlg.runCommand(1071);
    EXPECT_TRUE(dlg.isVisible());
}

TEST_F(ConsoleTest, WithoutATrayHidingMinimises) {
    CTovikDlg& dlg = makeConsole();
    dlg.show();

    QTest::mouseClick(button(1057), Qt::LeftButton);

    EXPECT_TRUE(dlg.isMinimized());
    EXPECT_EQ(dlg.TrayIconAdded, 0);
    dlg.OnShowConsole();
    EXPECT_FALSE(dlg.isMinimized());
}

TEST_F(ConsoleTest, EnterDoesNothingAndEscapeAsksBeforeExiting) {
    CTovikDlg& dlg = makeConsole();
    dlg.show();

    QTest::keyClick(&dlg, Qt::Key_Return);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_TRUE(messages.messages.empty());

    messages.answerNext(MessageResult::Cancel);
    QTest::keyClick(&dlg, Qt::Key_Escape);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, QStringLiteral("是否真的退出？"));
    EXPECT_EQ(messages.messages[0].caption, QStringLiteral("Vesko-控制台"));
    EXPECT_EQ(messages.messages[0].buttons, MessageButtons::OkCancel);
    EXPECT_EQ(messages.messages[0].icon, MessageIcon::Information);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_FALSE(QFile::exists(QString::fromStdString(paths.iniPath)));  // nothing saved

    QTest::keyClick(&dlg, Qt::Key_Escape);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_FALSE(camera.connected());
    EXPECT_TRUE(savedIni().contains("RunExpoTime=-6"));
    EXPECT_TRUE(savedIni().contains("[Functions]"));
}

TEST_F(ConsoleTest, ExitWaitsWhileACalibrationUsesTheCamera) {
    CTovikDlg& dlg = makeConsole();
    dlg.show();
    ASSERT_NO_FATAL_FAILURE(startCalibration());

    dlg.OnExit();

    EXPECT_TRUE(messages.messages.empty());  // not even the question
    EXPECT_TRUE(camera.connected());
    ASSERT_NO_FATAL_FAILURE(escapeCalibration());
    dlg.OnExit();
    EXPECT_FALSE(camera.connected());
}

// A calibration can start (from the tray menu) while the exit question is
// open; answering OK then must not close the camera under it.
TEST_F(ConsoleTest, ExitAnsweredWhileACalibrationStartedWaits) {
    struct Presenter final : MessagePresenter {
        std::function<void()> onQuestion;
        int shown = 0;
        MessageResult show(QWidget*, const QString&, const QString&, MessageIcon,
                           MessageButtons) override {
            ++shown;
            if (auto f = std::exchange(onQuestion, nullptr)) {
                f();
            }
            return MessageResult::Ok;
        }
    } presenter;
    CTovikDlg& dlg = makeConsole(&presenter);
    dlg.show();
    presenter.onQuestion = [&] {
        (void)dlg.runCommand(ids::ManualCalibrate);
        ASSERT_TRUE(tktest::waitUntil([&] { return dlg.CalibrationRunning(); }));
    };

    dlg.OnExit();

    EXPECT_EQ(presenter.shown, 1);
    EXPECT_TRUE(camera.connected());
    EXPECT_FALSE(dlg.Tracking().stopRequested());
    EXPECT_TRUE(dlg.CalibrationRunning());
    ASSERT_NO_FATAL_FAILURE(escapeCalibration());
    dlg.OnExit();
    EXPECT_FALSE(camera.connected());
}

TEST_F(ConsoleTest, ClosingTheConsoleEndsACalibrationInProgressFirst) {
    makeConsole().show();
    ASSERT_NO_FATAL_FAILURE(startCalibration());

    console.reset();  // the worker must not outlive what it uses

    EXPECT_EQ(console, nullptr);
}

// The event loop runs while a calibration works, so the console's other
// commands can arrive (buttons, tray menu). Those that would start or resume
// the thread, or open a dialog that switches devices, wait for it to end.
TEST_F(ConsoleTest, TrackingAndCameraCommandsWaitWhileACalibrationRuns) {
    CTovikDlg& dlg = makeCalibratedConsole();
    int dialogs = 0;
    dlg.runModal = [&](QDialog&) {
        ++dialogs;
        return int(QDialog::Rejected);
    };
    dlg.show();

    // From Idle: Run would start a thread on the camera the worker grabs.
    ASSERT_NO_FATAL_FAILURE(startCalibration());
    dlg.OnRun();
    dlg.OnAdvancedSettings();
    dlg.OnAdjustCamera();
    EXPECT_FALSE(dlg.Tracking().threadStarted());
    EXPECT_EQ(dlg.Loop(), nullptr);
    EXPECT_EQ(dialogs, 0);
    ASSERT_NO_FATAL_FAILURE(escapeCalibration());
    dlg.OnRun();
    ASSERT_TRUE(dlg.Tracking().threadStarted());

    // From Paused: Continue would snapshot a calibration being replaced.
    dlg.OnPause();
    ASSERT_TRUE(dlg.Loop()->parked());
    ASSERT_NO_FATAL_FAILURE(startCalibration());
    dlg.OnPause();
    EXPECT_TRUE(dlg.Tracking().paused());
    EXPECT_FALSE(dlg.Tracking().running());
    EXPECT_TRUE(dlg.Loop()->parked());
    ASSERT_NO_FATAL_FAILURE(escapeCalibration());
    dlg.OnPause();
    EXPECT_FALSE(dlg.Tracking().paused());
    EXPECT_TRUE(dlg.Tracking().running());
}

TEST_F(ConsoleTest, ExitWhilePausedSavesAndStopsTheThread) {
    CTovikDlg& dlg = makeCalibratedConsole();
    dlg.OnRun();
    dlg.OnPause();
    dlg.Settings().Amp = 77;

    dlg.OnExit();

    EXPECT_TRUE(dlg.Tracking().stopRequested());
    EXPECT_TRUE(dlg.Loop()->finished());
    EXPECT_FALSE(camera.connected());
    EXPECT_TRUE(savedIni().contains("Amp=77"));
}

TEST_F(ConsoleTest, ExitOnAFullDiskKeepsTheOldSettingsAndSaysWhy) {
    CTovikDlg& dlg = makeConsole();
    ASSERT_TRUE(SaveSettings(dlg.Settings(), paths.iniPath));
    const QByteArray before = savedIni();
    ASSERT_FALSE(before.isEmpty());
    dlg.Settings().Amp = 77;

    {
        tktest::ScopedWriteFault full(30, ENOSPC);
        dlg.OnExit();
    }

    ASSERT_EQ(messages.messages.size(), 2u);  // the exit question, then the failure
    EXPECT_EQ(messages.messages[1].icon, MessageIcon::Warning);
    EXPECT_TRUE(messages.messages[1].text.startsWith(QStringLiteral("设置未能保存\n无法写入 ")));
    EXPECT_TRUE(messages.messages[1].text.contains(QStringLiteral("磁盘已满（No space left")))
        << messages.messages[1].text.toStdString();
    EXPECT_TRUE(dlg.Tracking().stopRequested());  // the exit goes on
    EXPECT_EQ(savedIni(), before);
}

// Every key of the settings file goes from the console into the dialog that
// edits it, shows there, and comes back as the user left it; keys no dialog
// edits come back as they went. A new key fails here until it is given a
// control or said to be edited in the file only.
TEST_F(ConsoleTest, EverySettingsKeyReachesItsDialogAndComesBack) {
    const std::map<std::string, int> controls = {
        {"Amp", 1000},          {"Area", 1001},
        {"AreaUp", 1054},       {"Move", 1004},
        {"RunExpoTime", 1005},  {"AutoTh", 1078},
        {"MouseLeft", 1035},    {"F13Trig", 1036},
        {"RightHold", 1101},    {"RightRadius", 1102},
        {"Screen", 1100},       {"LensCorrection", 1201},
        {"SubPixelSpot", 1202}, {"PointerSmoothing", 1203}};
    const std::set<std::string> fileOnly = {"DbClickThd", "ReuseCalibration"};
    // Two values each key accepts other than its default: one sent, one chosen.
    const auto text = [](const SettingKey& k, bool chosen) {
        const auto index = static_cast<int>(&k - SettingKeys().data());
        if (k.isText()) {
            return QString::fromLatin1(chosen ? "HDMI-2" : "DP-1");
        }
        if (k.minimum == 0 && k.maximum == 1) {
            return QString::number(chosen ? k.fileDefault : 1 - k.fileDefault);
        }
        return QString::number(k.maximum == std::numeric_limits<std::int32_t>::max()
                                   ? (chosen ? 2000 : 1000) + index
                                   : (chosen ? (k.minimum + k.maximum) / 2 : k.maximum - 1));
    };
    const auto settings = [&](bool chosen) {
        TrackingSettings s;
        for (const SettingKey& k : SettingKeys()) {
            const QString t = text(k, chosen && controls.contains(k.name));
            k.isText() ? void(s.*k.text = t.toStdString()) : k.set(s, t.toInt());
        }
        return s;
    };
    const auto printed = [](const TrackingSettings& s) {
        std::ostringstream out;
        PrintSettings(out, s, {}, "");
        return out.str();
    };
    CTovikDlg& dlg = makeConsole();
    const TrackingSettings sent = settings(false);
    dlg.Settings() = sent;
    // What each control shows, then the user's choice in every one; the
    // device switch pushes the image values. A second round goes back, so that
    // every switch is seen on and off.
    bool back = false;
    dlg.runModal = [&](QDialog& d) {
        auto& s = dynamic_cast<CSettingDlg&>(d);
        s.show();
        for (const auto& [name, id] : controls) {
            QWidget* w = s.findChild<QWidget*>(QString::number(id));
            const SettingKey& k = FindSettingKey(name);
            if (auto* box = qobject_cast<QComboBox*>(w)) {
                EXPECT_EQ(box->currentText(), text(k, back)) << name << " did not reach the dialog";
                box->setEditText(text(k, !back));
            } else if (auto* check = qobject_cast<QCheckBox*>(w)) {
                EXPECT_EQ(check->isChecked(), text(k, back) == "1") << name << " did not reach it";
                check->setChecked(text(k, !back) == "1");
            }
        }
        emit s.findChild<QComboBox*>(QStringLiteral("1074"))->activated(0);
        s.OnOK();
        return s.result();
    };

    dlg.OnAdvancedSettings();

    for (const SettingKey& k : SettingKeys()) {
        EXPECT_TRUE(controls.contains(k.name) || fileOnly.contains(k.name) || k.control != nullptr)
            << k.name << " has no place in a dialog";
    }
    EXPECT_EQ(printed(dlg.Settings()), printed(settings(true)));
    EXPECT_EQ(backend->images, sent.camera);
    back = true;
    dlg.OnAdvancedSettings();
    EXPECT_EQ(printed(dlg.Settings()), printed(sent));

    // The camera dialog pushes the image values on opening and brings back
    // what the device's pages left, whatever way it ends.
    const ImageControls pages{3000, 3001, 3002, 3003, 3004, 3005, 3006, 3007};
    dlg.runModal = [&](QDialog& d) {
        auto& s = dynamic_cast<CSelectDlg&>(d);
        s.show();
        EXPECT_EQ(dlg.PreviewSuspended, 1);
        EXPECT_EQ(backend->images, sent.camera);
        backend->images = pages;
        s.OnVideoProperties();
        return int(QDialog::Rejected);
    };
    dlg.OnAdjustCamera();
    EXPECT_EQ(dlg.Settings().camera, pages);
    EXPECT_EQ(dlg.PreviewSuspended, 0);

    // Cancel keeps the record as it was.
    const std::string before = printed(dlg.Settings());
    dlg.runModal = [&](QDialog& d) {
        d.show();
        d.findChild<QComboBox*>(QStringLiteral("1000"))->setEditText(QStringLiteral("90"));
        d.reject();
        return d.result();
    };
    dlg.OnAdvancedSettings();
    EXPECT_EQ(printed(dlg.Settings()), before);
}

TEST_F(ConsoleTest, AboutAndCountDownRunAsModalDialogs) {
    CTovikDlg& dlg = makeConsole();
    EXPECT_EQ(Shown(*dlg.buildWindowMenu()), (MenuItems{{"16", "关于 Tovik(&A)..."}}));

    QString title;
    int seconds = 0;
    dlg.runModal = [&](QDialog& d) {
        title = d.windowTitle();
        if (auto* c = dynamic_cast<CCountDownDlg*>(&d)) {
            seconds = c->SecondsLeft;
        }
        return int(QDialog::Accepted);
    };
    dlg.runCommand(1008);
    EXPECT_EQ(title, QStringLiteral("`"));
    EXPECT_EQ(dlg.RunCountDown(), int(QDialog::Accepted));
    EXPECT_EQ(title, QStringLiteral("标定完成"));
    EXPECT_EQ(seconds, 5);
}

}  // namespace
}  // namespace tovik::testing
