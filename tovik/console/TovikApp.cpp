#include "tovik/console/TovikApp.h"

#include <unistd.h>
#include <QApplication>
#include <QEventLoop>
#include <QInputDialog>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>

#include "common/platform/InstanceLock.h"
#include "common/platform/Platform.h"
#include "tovik/camera/CameraDS.h"
#include "tovik/console/CalibrationFile.h"
#include "tovik/console/CameraDialogsQt.h"
#include "tovik/console/MessagePresenter.h"
#include "tovik/console/StringTable.h"
#include "tovik/console/TovikDlg.h"
#include "tovik/tracking/TrackingTrace.h"

namespace tovik {

namespace {

std::optional<int> PickDeviceDialog(const std::vector<DeviceInfo>& devices) {
    QStringList items;
    for (size_t i = 0; i < devices.size(); ++i) {
        items << QStringLiteral("%1: %2").arg(i).arg(QString::fromStdString(devices[i].name));
    }
    bool ok = false;
    const QString chosen =
        QInputDialog::getItem(nullptr, LoadString(143), LoadString(160), items, 0, false, &ok);
    if (!ok) {
        return std::nullopt;
    }
    const int index = static_cast<int>(items.indexOf(chosen));
    return index >= 0 ? std::optional<int>(index) : std::nullopt;
}

}  // namespace

CTovikApp::CTovikApp(CommandLine options, common::ProgramPaths paths, CameraChoice camera,
                     MessagePresenter& messages)
    : options_(std::move(options)),
      paths_(std::move(paths)),
      camera_(std::move(camera)),
      messages_(messages) {
    pickDevice = PickDeviceDialog;
    runConsole = [](CTovikDlg& dialog) {
        // Not exec(): that also returns when Run hides the console to the
        // tray, which would end the program. The console ends through done()
        // (Exit) only. Not modal either: a modal console would block the
        // tray icon, whose clicks and menu must work while it is shown.
        QEventLoop loop;
        QObject::connect(&dialog, &QDialog::finished, &loop,
                         [&loop](int result) { loop.exit(result); });
        dialog.show();
        return loop.exec();
    };
}

CTovikApp::~CTovikApp() = default;

bool CTovikApp::openCamera() {
    CCameraDS& camera = theCamera();
    // The back end's reason (busy, no permission...) goes on a line of its
    // own after the usual text; the caption stays "信息".
    auto failed = [&] {
        QString text = LoadString(143);
        const std::string why = camera.lastError();
        if (!why.empty()) {
            text += QStringLiteral("\n") + QString::fromStdString(why);
        }
        messages_.show(nullptr, text, LoadString(144), MessageIcon::Information,
                       MessageButtons::Ok);
    };
    if (camera.OpenDevice(CameraIndex, false, 640, 480)) {
        return true;
    }
    failed();
    if (camera.OpenDevice(CameraIndex, true, 320, 240)) {
        return true;
    }
    // Neither size nor format works: another device, or quit. The console is
    // never started without a camera.
    while (true) {
        const std::optional<int> other = pickDevice(camera.Devices());
        if (!other) {
            return false;
        }
        CameraIndex = *other;
        if (camera.OpenDevice(CameraIndex, false, 640, 480) ||
            camera.OpenDevice(CameraIndex, true, 320, 240)) {
            return true;
        }
        failed();
    }
}

int CTovikApp::InitInstance() {
    // The resource library of the original has no counterpart: the program's
    // own strings and dialogs are complete.
    CCameraDS& camera = theCamera();
    camera.setBackend(std::move(camera_.backend));
    PresenterMessageSink sink(messages_);
    camera.setMessageSink(&sink);
    camera.setDialogs(&dialogs_);
    struct Detach {
        CCameraDS& c;
        ~Detach() {
            c.CloseDevice();
            c.setMessageSink(nullptr);
            c.setDialogs(nullptr);
        }
    } detach{camera};

    if (camera.CountDevices() == 0) {
        messages_.show(nullptr, LoadString(142), LoadString(141), MessageIcon::Information,
                       MessageButtons::Ok);
        return exitcode::NoDevice;
    }
    const std::unique_ptr<common::InstanceLock> lock = common::InstanceLock::tryAcquire(lockName);
    if (!lock) {
        messages_.show(nullptr, LoadString(140), LoadString(141), MessageIcon::Warning,
                       MessageButtons::Ok);
        return exitcode::AlreadyRunning;
    }
    if (!openCamera()) {
        return exitcode::NoCamera;
    }

    common::PlatformOptions platformOptions;
    platformOptions.input = options_.input;
    // A camera that brings its pen's button needs no reader for it; a real
    // pen is read from the input devices where the X server does not see it.
    platformOptions.penButton = !camera_.penKeys;
    common::Platform platform = common::makePlatform(platformOptions);
    if (!platform.injectionProblem.empty()) {
        std::fprintf(stderr, "tovik: %s\n", platform.injectionProblem.c_str());
    }
    if (!platform.penButtonProblem.empty()) {
        std::fprintf(stderr, "tovik: %s\n", platform.penButtonProblem.c_str());
    }
    std::unique_ptr<common::KeyState> keys = std::move(platform.keys);
    if (camera_.penKeys) {
        // F13 comes from the camera's pen, other keys from the keyboard.
        keys = camera_.penKeys(std::move(keys));
    }
    common::SystemClock clock;
    // Developer hook (TOVIK_EVENT_LOG): frames, pointer events and
    // calibrations recorded for end-to-end measurements.
    const std::unique_ptr<TrackingTrace> trace = TrackingTrace::fromEnvironment();
    std::unique_ptr<TracingInjector> tracing;
    common::InputInjector* injector = platform.injector.get();
    if (trace) {
        if (camera_.lastFrame) {
            trace->setFrameQuery(camera_.lastFrame);
        }
        tracing = std::make_unique<TracingInjector>(*injector, *trace);
        injector = tracing.get();
    }
    ConsoleServices services{camera,           *keys,     *injector, clock,
                             *platform.screen, messages_, paths_,    options_.screen};
    CTovikDlg console(services);
    console.SetTrace(trace.get());
    console.SetPenButtonProblem(QString::fromStdString(platform.penButtonProblem));

    if (!options_.calibrationFile.empty()) {
        std::string error;
        const cv::Size frame(camera.frameWidth(), camera.frameHeight());
        if (!LoadCalibrationFile(options_.calibrationFile, frame, console.Calibration(), error)) {
            std::fprintf(stderr, "tovik: %s\n", error.c_str());
            return exitcode::BadArguments;
        }
    } else {
        console.RestoreStoredCalibration();
    }

    std::unique_ptr<QSocketNotifier> commands;
    if (options_.commandsFromStdin) {
        commands = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
        QObject::connect(commands.get(), &QSocketNotifier::activated, &console,
                         [&console, &commands, pending = std::string()]() mutable {
                             char buffer[256];
                             const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
                             if (n <= 0) {
                                 commands->setEnabled(false);  // end of input: keep running
                                 return;
                             }
                             pending.append(buffer, static_cast<size_t>(n));
                             size_t end = 0;
                             while ((end = pending.find('\n')) != std::string::npos) {
                                 const int command = ParseConsoleCommand(pending.substr(0, end));
                                 pending.erase(0, end + 1);
                                 if (command != 0) {
                                     QTimer::singleShot(0, &console, [&console, command] {
                                         console.runCommand(command);
                                     });
                                 }
                             }
                         });
    }
    if (options_.run) {
        QTimer::singleShot(0, &console, [&console] { console.OnRun(); });
    }
    runConsole(console);
    return exitcode::Ok;
}

}  // namespace tovik
