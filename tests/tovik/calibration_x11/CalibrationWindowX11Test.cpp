#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QScreen>
#include <QThread>
#include <QWindow>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include <unistd.h>

#include <opencv2/imgproc.hpp>

#include "common/TempDir.h"
#include "common/platform/Clock.h"
#include "common/platform/KeyState.h"
#include "sim/ScreenScene.h"
#include "sim/SimCamera.h"
#include "tests/support/Wait.h"
#include "tovik/calibration/CalibrationGeometry.h"
#include "tovik/camera/CameraDS.h"
#include "tovik/console/CalibrationController.h"
#include "tovik/console/CalibrationWindow.h"

namespace tovik {
namespace {

using tktest::haveDisplay;
using tktest::waitUntil;
using namespace std::chrono_literals;

cv::Vec3b screenPixel(sim::ScreenScene& screen, int x, int y) {
    cv::Mat shot;
    EXPECT_TRUE(screen.capture(shot));
    if (shot.channels() == 4) {
        const cv::Vec4b p = shot.at<cv::Vec4b>(y, x);
        return {p[0], p[1], p[2]};
    }
    return shot.at<cv::Vec3b>(y, x);
}

TEST(CalibrationWindowX11, CoversTheScreenAndShowsTheBoardOnceFlushed) {
    if (!haveDisplay()) {
        GTEST_SKIP() << "needs an X display";
    }
    sim::ScreenScene screen("");
    ASSERT_TRUE(screen.isOpen());
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
    EXPECT_EQ(screenPixel(screen, 41, 41), cv::Vec3b(0, 0, 0));
    EXPECT_EQ(screenPixel(screen, 200, 100), cv::Vec3b(255, 255, 255));
    EXPECT_EQ(screenPixel(screen, 58, 58), cv::Vec3b(0, 0, 255));
    // Esc is ignored by a window that does not accept it.
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &esc);
    EXPECT_TRUE(window->isVisible());
    window->close();
}

struct Recorded {
    QThread* countDownThread = nullptr;
    int countDowns = 0;
    int runs = 0;
    int previewStops = 0;
    int previewStarts = 0;
    int threshold = -1;
    std::optional<CalibrationReport> report;
};

ConsoleCalibrationHooks recordingHooks(Recorded& r, bool accept) {
    ConsoleCalibrationHooks h;
    h.stopPreview = [&r] { ++r.previewStops; };
    h.startPreview = [&r] { ++r.previewStarts; };
    h.showAutoThreshold = [&r](int t) { r.threshold = t; };
    h.showReport = [&r](const CalibrationReport& rep) { r.report = rep; };
    h.runCountDown = [&r, accept](int) {
        r.countDownThread = QThread::currentThread();
        ++r.countDowns;
        return accept;
    };
    h.threadStarted = [] { return false; };
    h.onRun = [&r] { ++r.runs; };
    return h;
}

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

    CalibrationController::Services services(Recorded& r, bool accept) {
        return {camera,
                settings,
                state,
                keys,
                (dir / "none.ini").string(),
                dir.string(),
                recordingHooks(r, accept),
                nullptr};
    }

    CCameraDS camera;
    sim::SimCamera* sim = nullptr;
    TrackingSettings settings;
    CalibrationState state;
    common::ScriptedKeyState keys;
    tktest::TempDir temp;
    std::filesystem::path dir{temp.path()};
};

TEST_F(CalibrationGlueX11, AutomaticCalibrationCompletesWhileTheEventLoopRuns) {
    Recorded r;
    CalibrationController controller(services(r, true));
    std::optional<CalibrationOutcome> outcome;
    QObject::connect(&controller, &CalibrationController::finished,
                     [&](CalibrationOutcome o) { outcome = o; });

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
    const cv::Matx33d pose = sim->poseMatrix();
    const QRect g = QGuiApplication::primaryScreen()->geometry();
    double sum = 0;
    int n = 0;
    for (int y = 0; y <= g.height(); y += 20) {
        for (int x = 0; x <= g.width(); x += 20) {
            cv::Point2d cam;
            sim::projectPoint(pose, {double(x), double(y)}, cam);
            const cv::Vec3d back = cv::Matx33d(state.Homography) * cv::Vec3d(cam.x, cam.y, 1);
            sum += std::hypot(back[0] / back[2] - x, back[1] / back[2] - y);
            ++n;
        }
    }
    EXPECT_LT(sum / n, 1.5);
}

TEST_F(CalibrationGlueX11, EscClosingTheManualWindowAbortsTheCalibration) {
    Recorded r;
    CalibrationController controller(services(r, true));
    std::optional<CalibrationOutcome> outcome;
    QObject::connect(&controller, &CalibrationController::finished,
                     [&](CalibrationOutcome o) { outcome = o; });

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

}  // namespace
}  // namespace tovik
