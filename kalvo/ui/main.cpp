// Kalvo: draw over the desktop or on a whiteboard from a floating toolbar.

#include <QApplication>

#include <cstdio>
#include <iostream>
#include <string>

#include "common/BuildInfo.h"
#include "common/ini/ProgramPaths.h"
#include "common/platform/Platform.h"
#include "kalvo/ui/CMyApp.h"
#include "kalvo/ui/CommandLine.h"
#ifdef _WIN32
#include "common/platform/win32/Win32Desktop.h"
#endif

int main(int argc, char** argv) {
    const kalvo::CommandLine options =
        kalvo::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!options.error.empty()) {
        std::fprintf(stderr, "kalvo: %s\n", options.error.c_str());
        return 2;
    }
    const common::ProgramPaths paths =
        common::resolveProgramPaths(common::currentProgramPath(), "kalvo");
    if (options.help) {
        std::cout << kalvo::HelpText(paths);
        return 0;
    }
    if (options.version) {
        std::cout << kalvo::VersionText();
        return 0;
    }
    // The overlay, the top-most toolbar and the pointer routing to it rely on
    // placing and stacking windows, which Wayland leaves to the compositor:
    // in a Wayland session the windows go through XWayland.
    common::useXWaylandInWaylandSession();
#ifdef _WIN32
    // The transparent repaints of the overlay; effective on Windows 7 and before.
    common::win32::disableDwmComposition();
#endif
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kalvo"));
    QApplication::setApplicationVersion(QString::fromLatin1(common::kVersion));
    // Only the toolbar is visible; the program ends through its exit button.
    QApplication::setQuitOnLastWindowClosed(false);

    common::PlatformOptions platformOptions;
    platformOptions.pointer = false;
    platformOptions.pageKeys = true;
    platformOptions.input = options.input;
    common::Platform platform = common::makePlatform(platformOptions);
    if (!platform.injectionProblem.empty()) {
        std::fprintf(stderr, "kalvo: %s\n", platform.injectionProblem.c_str());
    }
    kalvo::CMyApp theApp(paths, platform.shell.get(), platform.windows.get(),
                         platform.pictures.get(), platform.pageKeys.get());
    if (!theApp.InitInstance()) {
        return 1;
    }
    return QApplication::exec();
}
