// Writes pictures of Tovik's console and dialogs: screenshot_tovik OUTDIR
#include <QApplication>
#include <QDir>
#include <QThread>
#include <QTimer>
#include <cstdio>

#include "common/ini/ProgramPaths.h"
#include "common/platform/Clock.h"
#include "common/platform/InputInjector.h"
#include "common/platform/KeyState.h"
#include "common/platform/ScreenInfo.h"
#include "tovik/app/CameraFactory.h"
#include "tovik/camera/CameraDS.h"
#include "tovik/console/CountDownDlg.h"
#include "tovik/console/MessagePresenter.h"
#include "tovik/console/SelectDlg.h"
#include "tovik/console/SettingDlg.h"
#include "tovik/console/TovikDlg.h"

namespace {

bool Save(QWidget& widget, const QString& dir, const QString& name) {
    widget.show();
    // Let the window be laid out and the preview draw a few frames.
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
    const QString path = dir + QLatin1Char('/') + name;
    const bool ok = widget.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", path.toUtf8().constData());
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tovik;
    if (argc != 2) {
        std::fprintf(stderr, "usage: screenshot_tovik OUTDIR\n");
        return 2;
    }
    QApplication app(argc, argv);
    const QString dir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(dir);

    std::string error;
    CameraChoice choice = chooseCamera("sim:fps=0", error);
    if (!choice.backend) {
        std::fprintf(stderr, "screenshot_tovik: %s\n", error.c_str());
        return 1;
    }
    CCameraDS& camera = theCamera();
    camera.setBackend(std::move(choice.backend));
    if (!camera.OpenDevice(0, false, 640, 480)) {
        std::fprintf(stderr, "screenshot_tovik: the simulated camera did not open\n");
        return 1;
    }

    // Settings go to a scratch folder, never beside a real program.
    const QString scratch = QDir::tempPath() + QStringLiteral("/screenshot_tovik");
    QDir().mkpath(scratch);
    common::ProgramPaths paths;
    paths.programDir = scratch.toStdString() + "/";
    paths.programPath = paths.programDir + "tovik";
    paths.iniPath = paths.programDir + "tovik.ini";
    paths.dataDir = paths.programDir;

    common::ScriptedKeyState keys;
    common::RecordingInjector injector;
    common::SystemClock clock;
    common::FixedScreenInfo screen({1280, 800});
    RecordingMessagePresenter messages;
    ConsoleServices services{camera, keys, injector, clock, screen, messages, paths, {}};

    bool ok = true;
    {
        CTovikDlg console(services);
        ok &= Save(console, dir, QStringLiteral("tovik_console_collapsed.png"));
        console.OnToggleStatus();
        ok &= Save(console, dir, QStringLiteral("tovik_console_expanded.png"));
        console.hide();
    }
    {
        // What a start without a settings file shows.
        TrackingSettings values;
        for (const SettingKey& k : SettingKeys()) {
            if (!k.isText()) {
                k.set(values, k.fileDefault);
            }
        }
        CSettingDlg settings(camera, messages, values);
        ok &= Save(settings, dir, QStringLiteral("tovik_settings.png"));
    }
    {
        CSelectDlg select(camera, ImageControls{});
        ok &= Save(select, dir, QStringLiteral("tovik_camera.png"));
    }
    {
        CCountDownDlg countDown(nullptr, false);
        countDown.SecondsLeft = 5;
        ok &= Save(countDown, dir, QStringLiteral("tovik_countdown.png"));
    }
    camera.CloseDevice();
    return ok ? 0 : 1;
}
