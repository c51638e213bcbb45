#pragma once
// Runs the automatic or manual calibration for the console on a worker
// thread, so the event loop keeps painting the calibration window. Window
// drawing, the cursor, the exposure change (which may show a message box)
// and the console's hooks are carried out on the UI thread; the worker waits
// for each. The console keeps the detection thread parked and must not start
// a second calibration or exit while one runs (running()).

#include <QObject>
#include <QPointer>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "common/platform/Clock.h"
#include "common/platform/KeyState.h"
#include "common/platform/ScreenInfo.h"
#include "tovik/calibration/CalibrationServices.h"
#include "tovik/calibration/CalibrationState.h"
#include "tovik/calibration/Calibrator.h"
#include "tovik/camera/CameraDS.h"
#include "tovik/tracking/TrackingSettings.h"

namespace tovik {

class CalibrationWindow;

// What the console does for a calibration; each is called on the UI thread.
// Unset hooks do nothing (RunCountDown then answers "later").
struct ConsoleCalibrationHooks {
    std::function<void()> stopPreview;
    std::function<void()> startPreview;
    std::function<void(int)> showAutoThreshold;  // control 1032
    std::function<void(const CalibrationReport&)> showReport;
    // A calibration refused by its checks; the previous one stays.
    std::function<void(CalibrationFault)> showRefusal;
    std::function<bool(int seconds)> runCountDown;  // true for IDOK
    std::function<bool()> threadStarted;
    std::function<void()> onRun;
    std::function<void()> onPause;
    // Calibration files that could not be written, in words for the user.
    std::function<void(const std::string& reason)> filesNotWritten;
    // The monitor to calibrate, in device pixels; unset or empty: the
    // primary screen.
    std::function<common::ScreenRect()> targetScreen;
};

class CalibrationController final : public QObject {
    Q_OBJECT
public:
    struct Services {
        CCameraDS& camera;
        TrackingSettings& settings;
        CalibrationState& state;
        common::KeyState& keys;  // Esc and F13, read on the worker thread
        std::string iniPath;     // section "CalibParams"
        std::string dataDir;     // where the pictures and the matrix go
        ConsoleCalibrationHooks hooks;
        common::Clock* clock = nullptr;  // the waits; null for the system clock
    };

    explicit CalibrationController(Services services, QObject* parent = nullptr);
    // Ends a calibration in progress (as Esc would for the manual one) and
    // waits for the worker.
    ~CalibrationController() override;

    // False when a calibration is already running.
    bool startAuto();
    bool startManual();
    [[nodiscard]] bool running() const { return running_.load(); }

    // The fit of the last completed calibration.
    [[nodiscard]] std::optional<CalibrationReport> lastReport() const;
    // The window of the calibration in progress, null when none (tests).
    [[nodiscard]] CalibrationWindow* window() const;

    // The report as one status line, e.g. for the console's status panel.
    [[nodiscard]] static QString reportText(const CalibrationReport& report);
    // Why a calibration was refused, what to do, and what stays in use.
    [[nodiscard]] static QString refusalText(CalibrationFault fault, bool calibrated);

signals:
    void finished(tovik::CalibrationOutcome outcome);

private:
    class Canvas;
    class Host;
    class Cursor;
    class Exposure;
    class Frames;

    bool start(bool automatic);
    void done(CalibrationOutcome outcome, const std::string& filesError);

    Services s_;
    common::SystemClock systemClock_;
    std::unique_ptr<Canvas> canvas_;
    std::unique_ptr<Host> host_;
    std::unique_ptr<Cursor> cursor_;
    std::unique_ptr<Exposure> exposure_;
    std::unique_ptr<Frames> frames_;
    std::atomic<bool> running_{false};
    std::atomic<bool> closing_{false};
    std::optional<CalibrationReport> report_;
    std::jthread worker_;
};

}  // namespace tovik
