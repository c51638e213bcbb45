#include "kalvo/ui/CMyApp.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include <cstdio>

#include "common/ini/IniFile.h"
#ifdef _WIN32
#include "common/platform/win32/NoUinput.h"
#else
#include "common/platform/UinputKeyboard.h"
#endif
#include "kalvo/core/BoardSaver.h"
#include "kalvo/core/CMyDoc.h"
#include "kalvo/core/DocumentDump.h"
#include "kalvo/core/DrawingState.h"
#include "kalvo/core/ExternalTools.h"
#include "kalvo/core/PresentationKeys.h"
#include "kalvo/core/ToolbarCommands.h"
#include "kalvo/ui/CAboutDlg.h"
#include "kalvo/ui/CMainFrame.h"
#include "kalvo/ui/CMyView.h"
#include "kalvo/ui/DrawingWindow.h"
#include "kalvo/ui/ScreenGrab.h"
#include "kalvo/ui/SurfaceController.h"

namespace kalvo {

namespace {
CMyApp* theApp = nullptr;
}

CMyApp::CMyApp(common::ProgramPaths paths, common::ShellLauncher* shell,
               common::WindowFinder* windows, common::ScreenPictureSource* pictures,
               common::UinputKeyboard* pageKeys)
    : paths_(std::move(paths)),
      shell_(shell),
      windows_(windows),
      pictures_(pictures),
      pageKeys_(pageKeys),
      doc_(std::make_unique<CMyDoc>()) {
    theApp = this;
}

CMyApp::~CMyApp() {
    surfaces_.reset();
    frame_.reset();
    if (!dumpPath_.isEmpty()) {
        doc_->SetChangeCallback({});
        dumpDocument();
    }
    if (theApp == this) {
        theApp = nullptr;
    }
}

CMyApp* CMyApp::instance() {
    return theApp;
}

CMyView* CMyApp::GetActiveView() const {
    return frame_ ? frame_->GetActiveView() : nullptr;
}

bool CMyApp::InitInstance() {
    // Every pointer motion draws: merged motions would turn a curve drawn
    // while the program was busy into a straight chord across it. Set here,
    // after the application object: its construction sets the default again.
    QCoreApplication::setAttribute(Qt::AA_CompressHighFrequencyEvents, false);
    if (shell_) {
        common::IniFile ini(paths_.iniPath);
        (void)ini.load();
        // Paths made by hand (tests, screenshots) may leave the shipped-files folder out.
        const std::string& shipped = paths_.shareDir.empty() ? paths_.programDir : paths_.shareDir;
        tools_ = std::make_unique<ExternalTools>(*shell_, shipped,
                                                 ExternalTools::keyboardCommandFromIni(ini));
    }
    frame_ = std::make_unique<CMainFrame>(*doc_, paths_);
    if (tools_) {
        frame_->GetActiveView()->SetExternalTools(tools_.get());
    }
    if (!frame_->OnCreate()) {
        std::fprintf(stderr, "kalvo: the toolbar images cannot be loaded\n");
        return false;
    }
    // Quitting asks every visible window to close; the surfaces close
    // quietly first, or the overlay's close box would stop the quit.
    QObject::connect(frame_.get(), &CMainFrame::closed, [this] {
        if (surfaces_) {
            surfaces_->closeForExit();
        }
        QCoreApplication::quit();
    });
    // Modal dialogs belong to the surface on, as the surfaces' own do.
    frame_->GetActiveView()->SetCommandHandler(ID_APP_ABOUT, [] {
        CAboutDlg about(SurfaceController::dialogOwner());
        about.exec();
    });
    frame_->m_reportError = [](const QString& text) {
        std::fprintf(stderr, "kalvo: %s\n", qPrintable(text));
        QMessageBox::warning(SurfaceController::dialogOwner(), QStringLiteral("Kalvo"), text);
    };

    // The two drawing windows, created hidden, and the commands that drive them.
    common::IniFile ini(paths_.iniPath);
    (void)ini.load();
    SurfaceController::Parts parts{*doc_, drawingState()};
    parts.view = frame_->GetActiveView();
    parts.toolbar = frame_->toolBar();
    parts.frame = frame_.get();
    parts.windows = windows_;
    parts.presentationClasses = presentationClassesFromIni(ini);
    parts.programFolder = paths_.programDir;
    parts.converterFolder = paths_.libDir;
    if (paths_.installed) {
        parts.imageFolder = paths_.picturesDir;
    }
    if (pageKeys_) {
        parts.typeKey = [keys = pageKeys_](int vk) { return keys->tapKey(vk); };
    }
    SurfaceDialogs dialogs = SurfaceDialogs::standard();
    if (pictures_) {
        // Only the compositor can read a Wayland screen. Without its picture
        // nothing is saved: a grab through the X server would be black.
        dialogs.grabScreen = [pictures = pictures_, box = dialogs.messageBox](const QRect& area) {
            QString problem;
            const QScreen* primary = QGuiApplication::primaryScreen();
            const QRect desktop = primary ? primary->virtualGeometry() : QRect();
            ScreenCapture capture = grabScreenThrough(*pictures, area, desktop, problem);
            if (capture.image.isNull()) {
                box(QStringLiteral("屏幕画面未能保存：") + problem);
            }
            return capture;
        };
    }
    parts.saveFormat = parseSaveFormat(ini.getString(kSaveSection, kSaveFormatKey, ""));
    surfaces_ = std::make_unique<SurfaceController>(std::move(parts), std::move(dialogs));
    surfaces_->installCommands();

    // Test hook: the segments in their stored form, rewritten after changes.
    dumpPath_ = qEnvironmentVariable(kDumpDocumentVariable);
    if (!dumpPath_.isEmpty()) {
        // Changes come one per pointer move while drawing: write once per
        // turn of the event loop.
        doc_->SetChangeCallback([this] {
            if (!dumpPending_) {
                dumpPending_ = true;
                QTimer::singleShot(0, frame_.get(), [this] { dumpDocument(); });
            }
        });
        dumpDocument();
    }
    return true;
}

void CMyApp::dumpDocument() {
    dumpPending_ = false;
    // In the X screen's device pixels, by the ratio of the surface drawn on
    // (both stand on the toolbar's monitor); at shut-down, the last seen.
    if (surfaces_) {
        DrawingWindow& surface =
            surfaces_->board().isVisible() ? surfaces_->board() : surfaces_->overlay();
        dumpScale_ = surface.devicePixelRatioF();
        dumpOrigin_ = surface.screen()->geometry().topLeft();
    }
    if (!dumpSegments(*doc_, dumpPath_, dumpScale_, dumpOrigin_)) {
        std::fprintf(stderr, "kalvo: cannot write %s\n", qPrintable(dumpPath_));
    }
}

}  // namespace kalvo
