#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QThread>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <unistd.h>

#include "common/TempDir.h"
#include "common/platform/Clock.h"
#include "common/platform/KeyState.h"
#include "common/platform/X11InputInjector.h"
#include "common/platform/X11ScreenInfo.h"
#include "sim/PenKeyState.h"
#include "sim/SimCamera.h"
#include "tests/support/Wait.h"
#include "tests/support/X11.h"
#include "tovik/camera/CameraDS.h"
#include "tovik/console/CountDownDlg.h"
#include "tovik/console/MessagePresenter.h"
#include "tovik/console/TovikDlg.h"

namespace tovik {
namespace {

using tktest::haveDisplay;
using tktest::waitUntil;
using namespace std::chrono_literals;

// The console's automatic calibration button, filmed by the simulated camera
// on the X screen, ends in tracking; the pen then drives the X pointer. Paused,
// the right of two RandR monitors is chosen and calibrated: Continue goes there.
TEST(ConsoleCalibrationX11, AutomaticButtonEndsInTrackingThatFollowsThePenOnTheChosenMonitor) {
    if (!haveDisplay()) {
        GTEST_SKIP() << "needs an X display";
    }
    const tktest::TempDir temp;
    const std::filesystem::path dir = temp.path();
    std::string error;
    auto backend = sim::SimCamera::create("scene=screen,pose=keystone,fps=30", error);
    ASSERT_TRUE(backend) << error;
    sim::SimCamera* sim = backend.get();
    CCameraDS camera;
    camera.setBackend(std::move(backend));
    ASSERT_TRUE(camera.OpenDevice(0, false, 640, 480));
    sim::PenKeyState keys(sim->sharedPen(), std::make_unique<common::ScriptedKeyState>());
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
        ConsoleServices{camera, keys, *injector, clock, *screen, messages, paths, {}});
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
