// Kalvo: draw over the desktop or on a whiteboard from a floating toolbar.

#include <QApplication>

#include <cstdio>
#include <cstring>

#include "common/ini/ProgramPaths.h"
#include "common/platform/Platform.h"
#include "kalvo/core/DocumentDump.h"
#include "kalvo/ui/CMyApp.h"

int main(int argc, char** argv) {
    const common::ProgramPaths paths =
        common::resolveProgramPaths(common::currentProgramPath(), "kalvo");
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf(
                "Usage: kalvo [--help]\n"
                "Draw over the screen or on a whiteboard from a floating toolbar.\n\n"
                "Preferences: %s\n"
                "Environment: %s=PATH rewrites PATH with the document's segments\n"
                "             (24 bytes each) after every change.\n",
                paths.iniPath.c_str(), kalvo::kDumpDocumentVariable);
            return 0;
        }
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kalvo"));
    // Only the toolbar is visible; the program ends through its exit button.
    QApplication::setQuitOnLastWindowClosed(false);

    common::Platform platform = common::makePlatform();
    kalvo::CMyApp theApp(paths, platform.shell.get(), platform.windows.get());
    if (!theApp.InitInstance()) {
        return 1;
    }
    return QApplication::exec();
}
