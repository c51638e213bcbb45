// The calibration commands of the console: the procedures run through the
// calibration controller, which keeps the event loop serving the calibration
// window while they wait.
#include <QGroupBox>
#include <QLabel>

#include <chrono>
#include <cstdio>

#include "tovik/camera/CameraDS.h"
#include "tovik/console/CalibrationController.h"
#include "tovik/console/MessagePresenter.h"
#include "tovik/console/StoredCalibration.h"
#include "tovik/console/StringTable.h"
#include "tovik/console/TovikDlg.h"

namespace tovik {

namespace {

// A line at the bottom of the status panel ("运行状态") about the calibration
// in use: the fit of the last one, or the stored one taken at start-up.
void showCalibrationLine(CTovikDlg& dlg, const QString& text, bool warning) {
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
    line->setText(text);
    line->setStyleSheet(warning ? QStringLiteral("color: #C00000;") : QString());
    line->show();
}

void showReportLine(CTovikDlg& dlg, const CalibrationReport& report) {
    // A fit too poor to track well stands out.
    showCalibrationLine(dlg, CalibrationController::reportText(report),
                        report.suggestsRecalibration());
}

// Kept for the next start when "ReuseCalibration" is on; a failure only
// costs that, so it is told on stderr and calibration goes on.
void storeForNextStart(CTovikDlg& dlg) {
    if (dlg.Settings().ReuseCalibration == 0) {
        return;
    }
    std::string error;
    if (!StoreCalibration(dlg.ProgramDirectory(), dlg.Calibration(), dlg.CurrentCalibrationOrigin(),
                          error)) {
        std::fprintf(stderr, "tovik: the calibration is not kept: %s\n", error.c_str());
    }
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
        storeForNextStart(dlg);
        // The report comes once the new homography is in place.
        if (TrackingTrace* trace = dlg.Trace()) {
            trace->calibrationCompleted(
                r.kind == CalibrationReport::Kind::Automatic ? "auto" : "manual",
                dlg.Calibration().Homography);
        }
    };
    hooks.showRefusal = [&dlg](CalibrationFault fault) {
        // Told in the status panel and a message box; the calibration in
        // use (or none) stays, and tracking does not start.
        const QString text =
            CalibrationController::refusalText(fault, dlg.Calibration().Calibrated != 0);
        showCalibrationLine(dlg, text, true);
        (void)dlg.Messages().show(&dlg, text, LoadString(141), MessageIcon::Warning,
                                  MessageButtons::Ok);
    };
    hooks.runCountDown = [&dlg](int) { return dlg.RunCountDown() == QDialog::Accepted; };
    hooks.threadStarted = [&dlg] { return dlg.Tracking().threadStarted(); };
    hooks.onRun = [&dlg] { dlg.RunAfterCalibration(false); };
    hooks.onPause = [&dlg] { dlg.RunAfterCalibration(true); };
    hooks.filesNotWritten = [&dlg](const std::string& reason) {
        dlg.ReportFileNotWritten(LoadString(186), reason);
    };
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
    if (tracking_.running() || (loop_ && !loop_->parked())) {
        return;
    }
    (void)controllerOf(*this).startAuto();
}

void CTovikDlg::OnManualCalibrate() {
    if (tracking_.running() || (loop_ && !loop_->parked())) {
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

CalibrationOrigin CTovikDlg::CurrentCalibrationOrigin() {
    CalibrationOrigin origin;
    const std::vector<DeviceInfo> devices = Camera().Devices();
    if (CameraIndex >= 0 && CameraIndex < static_cast<int>(devices.size())) {
        origin.camera = devices[static_cast<std::size_t>(CameraIndex)].name;
    }
    origin.frameSize = {Camera().frameWidth(), Camera().frameHeight()};
    origin.screen = TargetScreen();
    origin.lensCorrection = Settings().LensCorrection != 0;
    origin.madeAt = std::chrono::duration_cast<std::chrono::seconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count();
    return origin;
}

void CTovikDlg::RestoreStoredCalibration() {
    if (Settings().ReuseCalibration == 0) {
        return;
    }
    std::string error;
    const std::optional<CalibrationOrigin> stored =
        LoadStoredCalibration(ProgramDirectory(), CurrentCalibrationOrigin(), Calibration(), error);
    if (stored) {
        showCalibrationLine(*this,
                            LoadString(183)
                                .arg(QString::fromLatin1(kStoredCalibrationFile))
                                .arg(QString::fromStdString(FormatMadeAt(stored->madeAt))),
                            false);
    } else if (!error.empty()) {
        std::fprintf(stderr, "tovik: the stored calibration is not used: %s\n", error.c_str());
        showCalibrationLine(*this, LoadString(184).arg(QString::fromStdString(error)), true);
    }
}

void CTovikDlg::EndCalibration() {
    delete findChild<CalibrationController*>(QStringLiteral("CalibrationController"));
}

}  // namespace tovik
