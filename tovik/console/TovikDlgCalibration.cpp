// The calibration commands of the console: the procedures run through the
// calibration controller, which keeps the event loop serving the calibration
// window while they wait.
#include <QGroupBox>
#include <QLabel>

#include "tovik/console/CalibrationController.h"
#include "tovik/console/TovikDlg.h"

namespace tovik {

namespace {

// A line at the bottom of the status panel ("运行状态") with the fit of the
// last calibration.
void showReportLine(CTovikDlg& dlg, const CalibrationReport& report) {
    auto* panel = dlg.findChild<QGroupBox*>(QStringLiteral("1082"));
    if (panel == nullptr) {
        return;
    }
    auto* line = panel->findChild<QLabel*>(QStringLiteral("CalibrationReport"));
    if (line == nullptr) {
        line = new QLabel(panel);
        line->setObjectName(QStringLiteral("CalibrationReport"));
        const int h = line->fontMetrics().height();
        line->setGeometry(8, panel->height() - h - 2, panel->width() - 16, h);
    }
    line->setText(CalibrationController::reportText(report));
    line->show();
}

CalibrationController& controllerOf(CTovikDlg& dlg) {
    auto* c = dlg.findChild<CalibrationController*>(QStringLiteral("CalibrationController"));
    if (c != nullptr) {
        return *c;
    }
    ConsoleCalibrationHooks hooks;
    hooks.stopPreview = [&dlg] { dlg.stopPreviewTimer(); };
    hooks.startPreview = [&dlg] { dlg.startPreviewTimer(); };
    hooks.showAutoThreshold = [&dlg](int value) { dlg.ShowAutoThreshold(value); };
    hooks.showReport = [&dlg](const CalibrationReport& r) {
        showReportLine(dlg, r);
        // The report comes once the new homography is in place.
        if (TrackingTrace* trace = dlg.Trace()) {
            trace->calibrationCompleted(
                r.kind == CalibrationReport::Kind::Automatic ? "auto" : "manual",
                dlg.Calibration().Homography);
        }
    };
    hooks.runCountDown = [&dlg](int) { return dlg.RunCountDown() == QDialog::Accepted; };
    hooks.threadStarted = [&dlg] { return dlg.ThreadStarted != 0; };
    hooks.onRun = [&dlg] { dlg.RunAfterCalibration(false); };
    hooks.onPause = [&dlg] { dlg.RunAfterCalibration(true); };
    hooks.targetScreen = [&dlg] { return dlg.TargetScreen(); };
    c = new CalibrationController(
        {dlg.Camera(), dlg.Settings(), dlg.Calibration(), dlg.Keys(), dlg.SettingsFilePath(),
         dlg.ProgramDirectory(), std::move(hooks), &dlg.TimeSource()},
        &dlg);
    c->setObjectName(QStringLiteral("CalibrationController"));
    return *c;
}

}  // namespace

// Offered only while tracking never started or is paused, so the detection
// thread is parked for the whole calibration (a thread that did not reach its
// safe point when paused keeps the calibration out).
void CTovikDlg::OnAutoCalibrate() {
    if (Running != 0 || (loop_ && !loop_->parked())) {
        return;
    }
    (void)controllerOf(*this).startAuto();
}

void CTovikDlg::OnManualCalibrate() {
    if (Running != 0 || (loop_ && !loop_->parked())) {
        return;
    }
    (void)controllerOf(*this).startManual();
}

bool CTovikDlg::CalibrationRunning() const {
    const auto* c = findChild<CalibrationController*>(QStringLiteral("CalibrationController"));
    return c != nullptr && c->running();
}

bool CTovikDlg::calibrationHoldsConsole() const {
    return CalibrationRunning() && !calibrationFinishing_;
}

void CTovikDlg::RunAfterCalibration(bool continueThread) {
    calibrationFinishing_ = true;
    if (continueThread) {
        OnPause();
    } else {
        OnRun();
    }
    calibrationFinishing_ = false;
}

void CTovikDlg::EndCalibration() {
    delete findChild<CalibrationController*>(QStringLiteral("CalibrationController"));
}

}  // namespace tovik
