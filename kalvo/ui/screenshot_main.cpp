// Writes pictures of Kalvo's floating toolbar in each surface mode, and of
// the whole screen with the toolbar at its place, into the folder given as
// the only argument. Runs under the current X display.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

#include "common/ini/ProgramPaths.h"
#include "common/platform/Platform.h"
#include "kalvo/core/ToolbarCommands.h"
#include "kalvo/ui/CMainFrame.h"
#include "kalvo/ui/CMyApp.h"
#include "kalvo/ui/CTrueColorToolBar.h"

namespace {

void settle(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

bool save(const QPixmap& picture, const QDir& out, const QString& name) {
    const QString path = out.filePath(name);
    if (picture.isNull() || !picture.save(path)) {
        std::fprintf(stderr, "screenshot_kalvo: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: screenshot_kalvo OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(out.path())) {
        std::fprintf(stderr, "screenshot_kalvo: cannot create %s\n", argv[1]);
        return 1;
    }
    // Preferences of a throw-away program folder: nothing of the user's is touched.
    QTemporaryDir folder;
    common::ProgramPaths paths;
    paths.programPath = folder.filePath(QStringLiteral("kalvo")).toStdString();
    paths.programDir = folder.path().toStdString() + "/";
    paths.iniPath = folder.filePath(QStringLiteral("kalvo.ini")).toStdString();
    paths.dataDir = paths.programDir;

    // The platform's shell, as the program has it: without one the keyboard
    // and help buttons would have no handler and show disabled.
    common::Platform platform = common::makePlatform();
    kalvo::CMyApp theApp(paths, platform.shell.get(), platform.windows.get());
    if (!theApp.InitInstance()) {
        return 1;
    }
    kalvo::CMainFrame& frame = *theApp.GetMainFrame();
    kalvo::CTrueColorToolBar& bar = *frame.toolBar();
    settle(300);

    // Each surface on and off through its toolbar command, as a click does.
    bool ok = true;
    frame.OnCommand(kalvo::ID_DRAW_ON_SCREEN);
    settle(100);
    ok &= save(bar.grab(), out, QStringLiteral("kalvo-toolbar-screen.png"));
    frame.OnCommand(kalvo::ID_DRAW_ON_SCREEN);
    frame.OnCommand(kalvo::ID_WHITEBOARD);
    settle(100);
    ok &= save(bar.grab(), out, QStringLiteral("kalvo-toolbar-whiteboard.png"));
    frame.OnCommand(kalvo::ID_WHITEBOARD);
    settle(100);
    ok &= save(bar.grab(), out, QStringLiteral("kalvo-toolbar-none.png"));

    // The pointer over the exit button: its hot image and raised edge.
    const int exitIndex = static_cast<int>(kalvo::kToolbarButtons.size()) - 1;
    bar.deliverMouseEvent(QEvent::MouseMove, bar.buttonRect(exitIndex).center());
    settle(100);
    ok &= save(bar.grab(), out, QStringLiteral("kalvo-toolbar-hot.png"));

    settle(200);
    QScreen* screen = QGuiApplication::primaryScreen();
    ok &= save(screen ? screen->grabWindow(0) : QPixmap(), out,
               QStringLiteral("kalvo-screen-with-toolbar.png"));
    frame.close();
    return ok ? 0 : 1;
}
