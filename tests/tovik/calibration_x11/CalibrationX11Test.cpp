// The calibration window, the controller that runs a calibration and the
// console's calibration button on a real X screen, filmed by the simulated
// camera; skipped without DISPLAY.
#include <gtest/gtest.h>

#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QThread>

#include <cmath>
#include <filesystem>
#include <optional>
#include <string>

#include "../calibration/CalibrationRig.h"
#include "common/TempDir.h"
#include "common/platform/Clock.h"
#include "common/platform/KeyState.h"
#include "common/platform/X11InputInjector.h"
#include "common/platform/X11ScreenInfo.h"
#include "sim/PenKeyState.h"
#include "sim/SimCamera.h"
#include "tests/support/Wait.h"
#include "tests/support/X11.h"
#include "tovik/calibration/CalibrationGeometry.h"
#include "tovik/camera/CameraDS.h"
#include "tovik/console/CalibrationController.h"
#include "tovik/console/CalibrationWindow.h"
#include "tovik/console/CountDownDlg.h"
#include "tovik/console/MessagePresenter.h"
#include "tovik/console/TovikDlg.h"

namespace tovik {
namespace {

using tktest::haveDisplay;
using tktest::waitUntil;
using namespace std::chrono_literals;

TEST(CalibrationWindowX11, CoversTheScreenAndShowsTheBoardOnceFlushed) {
    if (!haveDisplay()) {
        GTEST_SKIP() << "needs an X display";
    }
    const tktest::DisplayPtr x = tktest::openDisplay();
    ASSERT_NE(x, nullptr);
    auto* window = new CalibrationWindow(false);

    window->showOnScreen();
    const QRect geometry = QGuiApplication::primaryScreen()->geometry();
    const common::ScreenSize size{geometry.width(), geometry.height()};
    for (const cv::Vec4i& s : BoardSquares(BoardCellFor(size))) {
        window->drawRectangle(s[0], s[1], s[2], s[3]);
    }
    window->drawDot(58, 58, true);
    window->flush();

    EXPECT_EQ(window->geometry(), geometry);
    EXPECT_EQ(window->windowTitle(), "Calibration");
    EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowStaysOnTopHint);
    // Right after the flush, without serving events, the X screen shows it.
    EXPECT_EQ(tktest::rootPixel(x.get(), 41, 41), 0xFF000000u);
    EXPECT_EQ(tktest::rootPixel(x.get(), 200, 100), 0xFFFFFFFFu);
    EXPECT_EQ(tktest::rootPixel(x.get(), 58, 58), 0xFFFF0000u);
    // Esc is ignored by a window that does not accept it.
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &esc);
    EXPECT_TRUE(window->isVisible());
    window->close();
}

// The simulated camera filming the X screen at a keystone angle, open at
// 640x480, and a calibration controller over it whose console hooks are
// recorded (the count-down answers "run now").
class CalibrationGlueX11 : public ::testing::Test {
protected:
    void SetUp() override {
        if (!haveDisplay()) {
            GTEST_SKIP() << "needs an X display";
        }
        std::string error;
        auto backend = sim::SimCamera::create("scene=screen,pose=keystone,fps=30", error);
        ASSERT_TRUE(backend) << error;
        sim = backend.get();
        camera.setBackend(std::move(backend));
        ASSERT_TRUE(camera.OpenDevice(0, false, 640, 480));
        settings.Amp = 77;
        settings.RunExpoTime = -6;
    }

    CalibrationController& makeController() {
        ConsoleCalibrationHooks h;
        h.stopPreview = [this] { ++r.previewStops; };
        h.startPreview = [this] { ++r.previewStarts; };
        h.showAutoThreshold = [this](int t) { r.threshold = t; };
        h.showReport = [this](const CalibrationReport& rep) { r.report = rep; };
        h.runCountDown = [this](int) {
            r.countDownThread = QThread::currentThread();
            ++r.countDowns;
            return true;
        };
        h.threadStarted = [] { return false; };
        h.onRun = [this] { ++r.runs; };
        made = std::make_unique<CalibrationController>(CalibrationController::Services{
            camera, settings, state, keys, (dir / "none.ini").string(), dir.string(), h, nullptr});
        QObject::connect(made.get(), &CalibrationController::finished,
                         [this](CalibrationOutcome o) { outcome = o; });
        return *made;
    }

    CCameraDS camera;
    sim::SimCamera* sim = nullptr;
    TrackingSettings settings;
    CalibrationState state;
    common::ScriptedKeyState keys;
    tktest::TempDir temp;
    std::filesystem::path dir{temp.path()};
    // What the console's hooks were told.
    struct {
        QThread* countDownThread = nullptr;
        int countDowns = 0, runs = 0, previewStops = 0, previewStarts = 0, threshold = -1;
        std::optional<CalibrationReport> report;
    } r;
    std::optional<CalibrationOutcome> outcome;
    std::unique_ptr<CalibrationController> made;
};

TEST_F(CalibrationGlueX11, AutomaticCalibrationCompletesWhileTheEventLoopRuns) {
    CalibrationController& controller = makeController();

    ASSERT_TRUE(controller.startAuto());
    EXPECT_FALSE(controller.startAuto());  // one at a time
    ASSERT_TRUE(waitUntil([&] { return outcome.has_value(); }, 60s));

    EXPECT_EQ(*outcome, CalibrationOutcome::Completed);
    EXPECT_FALSE(controller.running());
    EXPECT_EQ(controller.window(), nullptr);
    EXPECT_EQ(state.Calibrated, 1);
    EXPECT_EQ(r.countDowns, 1);
    EXPECT_EQ(r.countDownThread, QThread::currentThread());
    EXPECT_EQ(r.runs, 1);
    EXPECT_EQ(r.previewStops, 1);
    EXPECT_EQ(r.previewStarts, 1);
    EXPECT_EQ(r.threshold, state.AutoThreshold);
    ASSERT_TRUE(r.report.has_value());
    EXPECT_EQ(r.report->points, 35);
    EXPECT_LT(r.report->meanError, 1.0);
    EXPECT_TRUE(std::filesystem::exists(dir / "Gg.bmp"));
    // Screen points through the pose and back through the new homography.
    const QRect g = QGuiApplication::primaryScreen()->geometry();
    EXPECT_LT(tktest::screenError(*sim, state, {g.width(), g.height()}, 20).first, 1.5);
}

TEST_F(CalibrationGlueX11, EscClosingTheManualWindowAbortsTheCalibration) {
    CalibrationController& controller = makeController();

    ASSERT_TRUE(controller.startManual());
    // Wait for the first red dot.
    ASSERT_TRUE(waitUntil(
        [&] {
            CalibrationWindow* w = controller.window();
            return w != nullptr && w->isVisible() && w->picture().pixel(58, 58) == qRgb(255, 0, 0);
        },
        20s));
    EXPECT_EQ(settings.Amp, 180);
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(controller.window(), &esc);
    ASSERT_TRUE(waitUntil([&] { return outcome.has_value(); }, 20s));

    EXPECT_EQ(*outcome, CalibrationOutcome::Aborted);
    EXPECT_EQ(controller.window(), nullptr);
    EXPECT_EQ(settings.Amp, 77);
    EXPECT_EQ(state.Calibrated, 0);
    EXPECT_EQ(r.countDowns, 0);
    EXPECT_EQ(r.previewStarts, 1);
}

// The same camera under a whole console.
using ConsoleCalibrationX11 = CalibrationGlueX11;

// The console's automatic calibration button, filmed by the simulated camera
// on the X screen, ends in tracking; the pen then drives the X pointer. Paused,
// the right of two RandR monitors is chosen and calibrated: Continue goes there.
TEST_F(ConsoleCalibrationX11, AutomaticButtonEndsInTrackingThatFollowsThePenOnTheChosenMonitor) {
    sim::PenKeyState penKeys(sim->sharedPen(), std::make_unique<common::ScriptedKeyState>());
    auto injector = common::X11InputInjector::open(nullptr);
    auto screen = common::X11ScreenInfo::open(nullptr);
    ASSERT_TRUE(injector && screen);
    common::SystemClock clock;
    RecordingMessagePresenter messages;
    common::ProgramPaths paths;
    paths.programDir = dir.string() + "/";
    paths.dataDir = paths.programDir;
    paths.iniPath = (dir / "tovik.ini").string();
    auto dlg = std::make_unique<CTovikDlg>(
        ConsoleServices{camera, penKeys, *injector, clock, *screen, messages, paths, {}});
    int countDowns = 0;
    dlg->runModal = [&](QDialog& d) {
        auto* countDown = dynamic_cast<CCountDownDlg*>(&d);
        if (countDown == nullptr) {
            return static_cast<int>(QDialog::Rejected);
        }
        ++countDowns;
        // Let the count run out, a second at a time.
        for (int s = 0; s < 5; ++s) {
            countDown->tick();
        }
        return countDown->result();
    };
    dlg->show();

    dlg->findChild<QPushButton*>(QStringLiteral("1005"))->click();
    ASSERT_TRUE(waitUntil([&] { return dlg->Tracking().running(); }, 60s));

    EXPECT_EQ(countDowns, 1);
    EXPECT_EQ(dlg->Calibration().Calibrated, 1);
    const auto* report = dlg->findChild<QLabel*>(QStringLiteral("CalibrationReport"));
    ASSERT_NE(report, nullptr);
    EXPECT_TRUE(report->text().contains(QStringLiteral("35")));
    const auto follow = [&](const QPoint target) {
        sim->setPen({double(target.x()), double(target.y())}, true);
        sim->pen().setButton(true);
        const bool reached = waitUntil([&] {
            const QPoint p = QCursor::pos();
            return std::hypot(p.x() - target.x(), p.y() - target.y()) <= 3.0;
        });
        EXPECT_TRUE(reached) << "pointer at " << QCursor::pos().x() << "," << QCursor::pos().y()
                             << " for " << target.x() << "," << target.y();
        sim->pen().setLit(false);
        sim->pen().setButton(false);
        tktest::pause(200ms);
    };
    for (const QPoint target : {QPoint(400, 300), QPoint(1000, 620), QPoint(150, 700)}) {
        follow(target);
    }

    const int w = screen->monitors().front().rect.width, h = screen->monitors().front().rect.height;
    const tktest::DisplayPtr x = tktest::openDisplay();
    ASSERT_TRUE(x && tktest::setMonitors(x.get(), {{"TK-LEFT", 0, 0, w / 2, h, false},
                                                   {"TK-RIGHT", w / 2, 0, w / 2, h, false}}));
    dlg->OnPause();
    dlg->Settings().Screen = "TK-RIGHT";
    dlg->findChild<QPushButton*>(QStringLiteral("1005"))->click();
    if (waitUntil([&] { return dlg->Tracking().running(); }, 60s)) {
        follow(QPoint(w * 3 / 4 + 37, h / 2 + 41));
    }
    tktest::clearMonitors(x.get());
    QString told = report->text();
    for (const auto& m : messages.messages) {
        told += QStringLiteral(" | ") + m.text;
    }
    EXPECT_EQ(countDowns, 2) << qPrintable(told);
    dlg.reset();
}

}  // namespace
}  // namespace tovik
