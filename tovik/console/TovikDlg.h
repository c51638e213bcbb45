#pragma once
// The console: calibration buttons, Run and Pause, settings, the camera
// picture and a collapsible status panel. It owns the settings record, the
// calibration state, the tracking flags and the detection loop, and hides to
// the tray while tracking.

#include <QDialog>
#include <QSystemTrayIcon>
#include <QTimer>
#include <functional>
#include <memory>

#include <opencv2/core.hpp>

#include "common/ini/ProgramPaths.h"
#include "common/platform/Clock.h"
#include "common/platform/InputInjector.h"
#include "common/platform/KeyState.h"
#include "common/platform/ScreenInfo.h"
#include "tovik/calibration/CalibrationState.h"
#include "tovik/console/FrameRate.h"
#include "tovik/console/TrackingState.h"
#include "tovik/tracking/DetectionLoop.h"
#include "tovik/tracking/TrackingSettings.h"

class QLineEdit;
class QMenu;
class QPushButton;
class QSlider;

namespace tovik {

class CCameraDS;
class CCountDownDlg;
class FrameView;
class MessagePresenter;
struct CalibrationOrigin;

// What the console works with; the program passes the real ones, tests
// doubles.
struct ConsoleServices {
    CCameraDS& camera;
    common::KeyState& keys;
    common::InputInjector& injector;
    common::Clock& clock;
    const common::ScreenInfo& screen;
    MessagePresenter& messages;
    common::ProgramPaths paths;
    // --screen: the projected monitor for this run, over the "Screen" setting.
    std::string screenChoice;
};

class CTovikDlg : public QDialog {
    Q_OBJECT
public:
    explicit CTovikDlg(ConsoleServices services, QWidget* parent = nullptr);
    ~CTovikDlg() override;

    // Commands (buttons, tray menu, other parts of the program).
    void OnRun();
    void OnPause();
    void OnExit();
    void OnAbout();
    void OnTogglePicture();
    void OnToggleStatus();
    void OnShowConsole();
    void HideToTray();
    void OnAdjustCamera();
    void OnAdvancedSettings();
    void OnAutoCalibrate();
    void OnManualCalibrate();
    // A calibration is using the camera and the calibration state.
    [[nodiscard]] bool CalibrationRunning() const;
    // Ends a calibration in progress (the manual one as by Esc) and waits for it.
    void EndCalibration();
    // With "ReuseCalibration" on: the stored calibration, when it was made for
    // this camera and monitor, becomes the calibration, and the status panel
    // names it; one that does not match or cannot be read is left unused and
    // the panel says why. Called once at start-up.
    void RestoreStoredCalibration();
    // The camera, frame size and monitor a calibration made now is made for.
    [[nodiscard]] CalibrationOrigin CurrentCalibrationOrigin();
    // Run (or Continue of a parked thread) as a completed calibration's
    // count-down asks; other commands that touch the camera, the calibration
    // or the tracking state wait while a calibration runs.
    void RunAfterCalibration(bool continueThread);
    // Tells the user that a file was not written (the old one is intact).
    void ReportFileNotWritten(const QString& what, const std::string& reason);
    // Runs the command of that number as its button or menu item would;
    // false for an unknown number.
    bool runCommand(int command);

    // Tray icon: double-click shows the console, the context menu is built
    // afresh from the state each time it opens.
    void OnTrayActivated(QSystemTrayIcon::ActivationReason reason);
    // The tray menu for the current state; items named by command number.
    [[nodiscard]] std::unique_ptr<QMenu> buildTrayMenu();
    // The window menu's one entry, "关于 Tovik(&A)..." (command 16).
    [[nodiscard]] std::unique_ptr<QMenu> buildWindowMenu();

    // Timer work, public so tests can step it.
    void previewTick();  // timer 1
    void rateTick();     // timer 2
    void statusTick();   // shows what the detection thread published
    void OnSamplingIntervalDraw(int position);

    // For the calibration procedures.
    [[nodiscard]] CalibrationState& Calibration() { return calibration_; }
    [[nodiscard]] TrackingSettings& Settings() { return settings_; }
    [[nodiscard]] CCameraDS& Camera() { return services_.camera; }
    [[nodiscard]] common::KeyState& Keys() { return services_.keys; }
    [[nodiscard]] common::Clock& TimeSource() { return services_.clock; }
    [[nodiscard]] const common::ScreenInfo& Screen() { return services_.screen; }
    // The projected monitor in device pixels: --screen, else the "Screen"
    // setting, else (or when neither names a monitor that exists, said once
    // in the status panel) the primary monitor. Calibration and tracking
    // both take it from here.
    [[nodiscard]] common::ScreenRect TargetScreen();
    [[nodiscard]] MessagePresenter& Messages() { return services_.messages; }
    [[nodiscard]] const common::ProgramPaths& Paths() const { return services_.paths; }
    // Where calibration writes its files, with a trailing '/'.
    [[nodiscard]] const std::string& ProgramDirectory() const { return services_.paths.dataDir; }
    [[nodiscard]] const std::string& SettingsFilePath() const { return services_.paths.iniPath; }
    void startPreviewTimer();
    void stopPreviewTimer();
    [[nodiscard]] bool previewTimerActive() const { return previewTimer_.isActive(); }
    // Runs the count-down dialog with five seconds; the dialog's result.
    int RunCountDown();
    // Shows AutoThreshold in the hidden control 1032.
    void ShowAutoThreshold(int value);
    [[nodiscard]] DetectionLoop* Loop() { return loop_.get(); }
    // Developer hook: tracking and completed calibrations are recorded here
    // (null: nowhere). Set before the first Run.
    void SetTrace(TrackingTrace* trace) { trace_ = trace; }
    // Says in the status panel that the pen's button cannot be read (one
    // line for the user), so "F13Trig" cannot be used.
    void SetPenButtonProblem(const QString& problem);
    [[nodiscard]] TrackingTrace* Trace() const { return trace_; }

    // Runs a modal dialog; tests replace it to act on the dialog instead.
    std::function<int(QDialog&)> runModal;
    // Whether a system tray exists; tests replace it.
    std::function<bool()> trayAvailable;
    // UTC time of day for the rate timer; tests replace it.
    std::function<RateReading()> utcNow;

    // Run, Pause/Continue and Exit move it; everything else reads it.
    [[nodiscard]] const TrackingState& Tracking() const { return tracking_; }

    // Display flags.
    int ShowPicture = 0;
    int PreviewSuspended = 0;
    int StatusShown = 0;
    int TrayIconAdded = 0;
    int BalloonsShown = 0;

    [[nodiscard]] QWidget* control(int id) const;
    [[nodiscard]] FrameView* picture() const { return picture_; }
    [[nodiscard]] QSystemTrayIcon* trayIcon() const { return tray_.get(); }

    static constexpr int kCollapsedHeight = 390;
    static constexpr int kExpandedHeight = 490;

public slots:
    void accept() override;  // Enter does nothing
    void reject() override;  // Esc asks whether to exit

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void buildControls();
    void OnInitDialog();
    void setText(int id, const QString& text);
    void setEnabled(int id, bool enabled);
    [[nodiscard]] TrackingCalibration snapshotCalibration();
    void showScreenWarning(const QString& text);
    void showStatusPanel(bool show);
    void fillTrayMenu(QMenu& menu);
    // A calibration is using the camera and the calibration state, and is not
    // the one asking for the command.
    [[nodiscard]] bool calibrationHoldsConsole() const;

    ConsoleServices services_;
    TrackingTrace* trace_ = nullptr;
    TrackingSettings settings_;
    TrackingState tracking_;
    CalibrationState calibration_;

    QTimer previewTimer_;  // timer 1
    QTimer rateTimer_;     // timer 2
    QTimer statusTimer_;
    RateReading lastRate_;

    DetectionStatus status_;
    FrameSlot display_;
    std::uint64_t displaySeen_ = 0;
    std::unique_ptr<DetectionLoop> loop_;
    bool threadGuard_ = false;  // the "ThdMutex" of this process
    DetectionStatus::Values shown_;
    bool cameraLostShown_ = false;
    std::string screenWarning_;  // the one shown in the status panel

    cv::Mat previewFrame_;
    cv::Mat displayFrame_;
    FrameView* picture_ = nullptr;
    QSlider* slider_ = nullptr;
    std::unique_ptr<QSystemTrayIcon> tray_;
    std::unique_ptr<QMenu> trayMenu_;
    bool exiting_ = false;
    bool calibrationFinishing_ = false;
};

}  // namespace tovik
