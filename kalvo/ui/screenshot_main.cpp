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
#include "kalvo/core/DrawingState.h"
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

void enterMode(kalvo::CMainFrame& frame, int mode) {
    kalvo::DrawingState& state = kalvo::drawingState();
    state.mode = mode;
    state.screenActive = mode == kalvo::kModeScreen;
    state.boardActive = mode == kalvo::kModeWhiteboard;
    frame.toolBar()->SetImagesForMode(mode);
    frame.UpdateToolbarStates();
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

    kalvo::CMyApp theApp(paths);
    if (!theApp.InitInstance()) {
        return 1;
    }
    kalvo::CMainFrame& frame = *theApp.GetMainFrame();
    kalvo::CTrueColorToolBar& bar = *frame.toolBar();
    settle(300);

    bool ok = true;
    const struct {
        int mode;
        const char* name;
    } modes[] = {{kalvo::kModeScreen, "kalvo-toolbar-screen.png"},
                 {kalvo::kModeWhiteboard, "kalvo-toolbar-whiteboard.png"},
                 {kalvo::kModeNone, "kalvo-toolbar-none.png"}};
    for (const auto& m : modes) {
        enterMode(frame, m.mode);
        settle(100);
        ok &= save(bar.grab(), out, QString::fromLatin1(m.name));
    }

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
