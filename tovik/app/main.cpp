// Tovik: the light-pen console.
#include <QApplication>
#include <cstdio>
#include <iostream>

#include "common/BuildInfo.h"
#include "common/ini/ProgramPaths.h"
#include "common/platform/InputBackend.h"
#include "tovik/app/CameraFactory.h"
#include "tovik/camera/CameraDS.h"
#include "tovik/camera/ListCameras.h"
#include "tovik/console/CommandLine.h"
#include "tovik/console/MessagePresenter.h"
#include "tovik/console/TovikApp.h"
#include "tovik/tracking/SettingsFile.h"

int main(int argc, char** argv) {
    using namespace tovik;
    const CommandLine options = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!options.error.empty()) {
        std::fprintf(stderr, "tovik: %s\n", options.error.c_str());
        return exitcode::BadArguments;
    }
    std::string program = common::currentProgramPath();
    if (program.empty()) {
        program = argv[0];
    }
    const common::ProgramPaths paths = common::resolveProgramPaths(program, "tovik");
    if (options.help) {
        std::cout << HelpText(paths);
        return exitcode::Ok;
    }
    if (options.version) {
        std::cout << VersionText();
        return exitcode::Ok;
    }
    if (options.printSettings) {
        TrackingSettings settings;
        LoadSettings(settings, paths.iniPath);
        PrintSettings(std::cout, settings, ReadCalibParams(paths.iniPath), paths.iniPath);
        return exitcode::Ok;
    }
    std::string error;
    CameraChoice camera = chooseCamera(options.camera, error);
    if (!camera.backend) {
        std::fprintf(stderr, "tovik: --camera %s: %s\n", options.camera.c_str(), error.c_str());
        return exitcode::BadArguments;
    }
    if (options.listCameras) {
        theCamera().setBackend(std::move(camera.backend));
        ListCameras(std::cout, theCamera());
        return exitcode::Ok;
    }

    // The calibration window covers the target monitor and stays above the
    // rest, which needs X window placement: in a Wayland session, XWayland.
    common::useXWaylandInWaylandSession();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tovik"));
    QApplication::setApplicationVersion(QString::fromLatin1(common::kVersion));
    // The console hides to the tray; hiding must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    QtMessagePresenter boxes;
    StreamMessagePresenter printed;
    MessagePresenter& messages =
        options.printMessages ? static_cast<MessagePresenter&>(printed) : boxes;
    CTovikApp tovik(options, paths, std::move(camera), messages);
    return tovik.InitInstance();
}
