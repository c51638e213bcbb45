#include "tovik/console/CalibrationController.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>

#include "common/platform/ThreadName.h"
#include "tovik/calibration/FolderCalibrationFiles.h"
#include "tovik/console/CalibrationWindow.h"
#include "tovik/console/DeviceGeometry.h"
#include "tovik/console/StringTable.h"
#include "tovik/tracking/SettingsFile.h"

namespace tovik {

namespace {

// Runs `f` on the thread of `context` and waits for it; directly when the
// caller already is that thread.
template <class F>
void onUi(QObject* context, F&& f) {
    if (QThread::currentThread() == context->thread()) {
        f();
    } else {
        QMetaObject::invokeMethod(context, std::forward<F>(f), Qt::BlockingQueuedConnection);
    }
}

}  // namespace

class CalibrationController::Canvas final : public CalibrationCanvas {
public:
    Canvas(QObject* ui, const ConsoleCalibrationHooks& hooks) : ui_(ui), hooks_(hooks) {}

    void Show(bool acceptsEscape) override {
        // A close forced by the controller stays, also when it came before
        // the window.
        closedByUser_ = forcedClose_.load();
        onUi(ui_, [&] {
            destroyWindow();
            window_ = new CalibrationWindow(
                acceptsEscape, hooks_.targetScreen ? hooks_.targetScreen() : common::ScreenRect{});
            QObject::connect(window_, &CalibrationWindow::escapeClosed, ui_,
                             [this] { closedByUser_ = true; });
            window_->showOnScreen();
        });
    }
    common::ScreenSize ScreenSize() override {
        common::ScreenSize size;
        onUi(ui_, [&] {
            // Device pixels: the homography must map onto the pixels the
            // pointer injector addresses, whatever Qt's scale factor.
            common::ScreenRect r;
            if (window_) {
                r = window_->target();
            } else if (hooks_.targetScreen) {
                r = hooks_.targetScreen();
            }
            if (r.width <= 0 || r.height <= 0) {
                r = primaryDeviceRect();
            }
            size = r.size();
        });
        return size;
    }
    void Text(int x, int y, const std::string& utf8) override {
        onUi(ui_, [&] {
            if (window_) {
                window_->drawText(x, y, QString::fromStdString(utf8));
            }
        });
    }
    void Rectangle(int left, int top, int right, int bottom) override {
        onUi(ui_, [&] {
            if (window_) {
                window_->drawRectangle(left, top, right, bottom);
            }
        });
    }
    void Clear() override {
        onUi(ui_, [&] {
            if (window_) {
                window_->clear();
            }
        });
    }
    void Dot(int cx, int cy, DotColour colour) override {
        onUi(ui_, [&] {
            if (window_) {
                window_->drawDot(cx, cy, colour == DotColour::Red);
            }
        });
    }
    void Flush() override {
        onUi(ui_, [&] {
            if (window_) {
                window_->flush();
            }
        });
    }
    void Destroy() override {
        onUi(ui_, [&] { destroyWindow(); });
    }
    bool ClosedByUser() override { return closedByUser_.load(); }

    // Called on the UI thread.
    void destroyWindow() {
        if (window_) {
            CalibrationWindow* w = window_;
            window_ = nullptr;
            w->hide();
            CalibrationWindow::syncWithServer();
            w->deleteLater();
        }
    }
    void closeByUser() {
        forcedClose_ = true;
        closedByUser_ = true;
    }
    [[nodiscard]] CalibrationWindow* window() const { return window_; }

private:
    QObject* ui_;
    const ConsoleCalibrationHooks& hooks_;
    QPointer<CalibrationWindow> window_;
    std::atomic<bool> closedByUser_{false};
    std::atomic<bool> forcedClose_{false};
};

class CalibrationController::Host final : public CalibrationHost {
public:
    Host(QObject* ui, const ConsoleCalibrationHooks& hooks, const std::atomic<bool>& closing,
         std::optional<CalibrationReport>& report)
        : ui_(ui), hooks_(hooks), closing_(closing), report_(report) {}

    void StopPreview() override { call(hooks_.stopPreview); }
    void StartPreview() override { call(hooks_.startPreview); }
    void ShowAutoThreshold(int threshold) override {
        onUi(ui_, [&] {
            if (hooks_.showAutoThreshold) {
                hooks_.showAutoThreshold(threshold);
            }
        });
    }
    void ShowCalibrationReport(const CalibrationReport& report) override {
        onUi(ui_, [&] {
            report_ = report;
            if (hooks_.showReport) {
                hooks_.showReport(report);
            }
        });
    }
    void ShowCalibrationRefused(CalibrationFault fault) override {
        onUi(ui_, [&] {
            if (hooks_.showRefusal) {
                hooks_.showRefusal(fault);
            }
        });
    }
    bool RunCountDown(int seconds) override {
        bool accepted = false;
        onUi(ui_, [&] {
            if (!closing_ && hooks_.runCountDown) {
                accepted = hooks_.runCountDown(seconds);
            }
        });
        return accepted;
    }
    bool ThreadStarted() override {
        bool started = false;
        onUi(ui_, [&] { started = hooks_.threadStarted && hooks_.threadStarted(); });
        return started;
    }
    void OnRun() override { call(hooks_.onRun); }
    void OnPause() override { call(hooks_.onPause); }

private:
    void call(const std::function<void()>& f) {
        onUi(ui_, [&] {
            if (f) {
                f();
            }
        });
    }

    QObject* ui_;
    const ConsoleCalibrationHooks& hooks_;
    const std::atomic<bool>& closing_;
    std::optional<CalibrationReport>& report_;
};

class CalibrationController::Cursor final : public CursorControl {
public:
    explicit Cursor(QObject* ui) : ui_(ui) {}
    void ShowCursor(bool visible) override {
        onUi(ui_, [&] {
            if (!visible && !hidden_) {
                QGuiApplication::setOverrideCursor(Qt::BlankCursor);
                hidden_ = true;
            } else if (visible && hidden_) {
                QGuiApplication::restoreOverrideCursor();
                hidden_ = false;
            }
        });
    }

private:
    QObject* ui_;
    bool hidden_ = false;
};

// The exposure change runs on the UI thread: a failure shows a message box.
class CalibrationController::Exposure final : public ExposureControl {
public:
    Exposure(QObject* ui, CCameraDS& camera) : ui_(ui), camera_(camera) {}
    bool SetExposure(int value, bool automatic) override {
        bool ok = false;
        onUi(ui_, [&] { ok = camera_.SetExposure(value, automatic); });
        return ok;
    }

private:
    QObject* ui_;
    CCameraDS& camera_;
};

// Frames are grabbed on the worker: nothing else uses the camera meanwhile.
class CalibrationController::Frames final : public FrameGrabber {
public:
    explicit Frames(CCameraDS& camera) : camera_(camera) {}
    cv::Mat* GrabFrame() override { return camera_.GrabFrame(); }
    cv::Size FrameSize() override { return {camera_.frameWidth(), camera_.frameHeight()}; }

private:
    CCameraDS& camera_;
};

CalibrationController::CalibrationController(Services services, QObject* parent)
    : QObject(parent),
      s_(std::move(services)),
      canvas_(std::make_unique<Canvas>(this, s_.hooks)),
      host_(std::make_unique<Host>(this, s_.hooks, closing_, report_)),
      cursor_(std::make_unique<Cursor>(this)),
      exposure_(std::make_unique<Exposure>(this, s_.camera)),
      frames_(std::make_unique<Frames>(s_.camera)) {
    qRegisterMetaType<tovik::CalibrationOutcome>("tovik::CalibrationOutcome");
}

CalibrationController::~CalibrationController() {
    closing_ = true;
    canvas_->closeByUser();  // a manual calibration ends as by Esc
    // The worker waits on this thread for each window call: serve it until
    // it ends.
    while (running_.load()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
    if (worker_.joinable()) {
        worker_.join();
    }
    canvas_->destroyWindow();
}

bool CalibrationController::startAuto() {
    return start(true);
}

bool CalibrationController::startManual() {
    return start(false);
}

std::optional<CalibrationReport> CalibrationController::lastReport() const {
    return report_;
}

CalibrationWindow* CalibrationController::window() const {
    return canvas_->window();
}

bool CalibrationController::start(bool automatic) {
    if (running_.exchange(true)) {
        return false;
    }
    if (worker_.joinable()) {
        worker_.join();
    }
    worker_ = std::jthread([this, automatic] {
        common::nameThisThread("tovik-calib");
        common::Clock& clock = s_.clock != nullptr ? *s_.clock : systemClock_;
        FolderCalibrationFiles files(s_.dataDir);
        const std::string ini = s_.iniPath;
        Calibrator calibrator(CalibrationServices{*frames_, *exposure_, *canvas_, s_.keys, clock,
                                                  *cursor_, files, *host_},
                              s_.settings, s_.state, [ini] { return ReadCalibParams(ini); });
        CalibrationOutcome outcome = CalibrationOutcome::Aborted;
        try {
            outcome = automatic ? calibrator.OnAutoCalibrate() : calibrator.OnManualCalibrate();
        } catch (const std::exception&) {
            // Nothing in the procedure is expected to throw; if something
            // does, the console gets its window closed and its preview back.
            cursor_->ShowCursor(true);
            canvas_->Destroy();
            host_->StartPreview();
        }
        QMetaObject::invokeMethod(
            this, [this, outcome, error = files.takeError()] { done(outcome, error); },
            Qt::QueuedConnection);
    });
    return true;
}

void CalibrationController::done(CalibrationOutcome outcome, const std::string& filesError) {
    if (worker_.joinable()) {
        worker_.join();
    }
    // An aborted manual calibration leaves its window for the Esc that ended
    // it; it goes now that the procedure has returned.
    canvas_->destroyWindow();
    running_ = false;
    if (!filesError.empty() && s_.hooks.filesNotWritten) {
        s_.hooks.filesNotWritten(filesError);
    }
    emit finished(outcome);
}

QString CalibrationController::reportText(const CalibrationReport& report) {
    QString text = QStringLiteral("标定误差：平均 %1 像素，最大 %2 像素（%3 点）")
                       .arg(report.meanError, 0, 'f', 2)
                       .arg(report.maxError, 0, 'f', 2)
                       .arg(report.points);
    if (report.checkedError) {
        text += LoadString(201).arg(*report.checkedError, 0, 'f', 2);
    } else {
        text += LoadString(202);
    }
    if (report.suggestsRecalibration()) {
        text += QStringLiteral("。") + LoadString(182);
    }
    return text;
}

QString CalibrationController::refusalText(CalibrationFault fault, bool calibrated) {
    int id = 194;
    switch (fault) {
        case CalibrationFault::BoardOrientation:
            id = 190;
            break;
        case CalibrationFault::IllConditioned:
            id = 191;
            break;
        case CalibrationFault::ScreenNotInView:
            id = 192;
            break;
        case CalibrationFault::WrongOrientation:
            id = 193;
            break;
        case CalibrationFault::None:
        case CalibrationFault::PoorFit:
            id = 194;
            break;
        case CalibrationFault::PoorPrediction:
            id = 195;
            break;
        case CalibrationFault::DotTouchedTwice:
            id = 196;
            break;
        case CalibrationFault::DotOrder:
            id = 197;
            break;
        case CalibrationFault::CheckPointsOff:
            id = 198;
            break;
    }
    return LoadString(id) + QStringLiteral("。") + LoadString(calibrated ? 199 : 200);
}

}  // namespace tovik
