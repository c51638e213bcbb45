// Kalvo: draw over the desktop or on a whiteboard from a floating toolbar.

#include <QApplication>

#include <cstdio>
#include <cstring>
#include <string>

#include "common/ini/ProgramPaths.h"
#include "common/platform/Platform.h"
#include "kalvo/core/DocumentDump.h"
#include "kalvo/ui/CMyApp.h"

int main(int argc, char** argv) {
    const common::ProgramPaths paths =
        common::resolveProgramPaths(common::currentProgramPath(), "kalvo");
    common::PlatformOptions options;
    options.pointer = false;
    options.pageKeys = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf(
                "Usage: kalvo [--input xtest|uinput] [--help]\n"
                "Draw over the screen or on a whiteboard from a floating toolbar.\n\n"
                "  --input xtest|uinput  how page keys reach a presentation: XTest (X11\n"
                "                        sessions) or the kernel's uinput device (the\n"
                "                        default in a Wayland session; see the README)\n\n"
                "Preferences: %s\n"
                "Environment: %s=PATH rewrites PATH with the document's segments\n"
                "             (24 bytes each) after every change.\n",
                paths.iniPath.c_str(), kalvo::kDumpDocumentVariable);
            return 0;
        }
        const std::string arg = argv[i];
        if (arg == "--input" || arg.starts_with("--input=")) {
            const std::string value =
                arg == "--input" ? (i + 1 < argc ? argv[++i] : "") : arg.substr(8);
            const std::optional<common::InputBackend> input = common::parseInputBackend(value);
            if (!input) {
                std::fprintf(stderr, "kalvo: --input must be xtest or uinput\n");
                return 2;
            }
            options.input = *input;
        }
    }
    // The overlay, the top-most toolbar and the pointer routing to it rely on
    // placing and stacking windows, which Wayland leaves to the compositor:
    // in a Wayland session the windows go through XWayland.
    common::useXWaylandInWaylandSession();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kalvo"));
    // Only the toolbar is visible; the program ends through its exit button.
    QApplication::setQuitOnLastWindowClosed(false);

    common::Platform platform = common::makePlatform(options);
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
