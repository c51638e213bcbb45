#pragma once
// The application: one document, the main frame with its view and floating
// toolbar. Handlers reach the frame, document and view through it.

#include <QPoint>
#include <QString>

#include <memory>

#include "common/ini/ProgramPaths.h"

namespace common {
class ScreenPictureSource;
class ShellLauncher;
class UinputKeyboard;
class WindowFinder;
}  // namespace common

namespace kalvo {

class CMainFrame;
class CMyDoc;
class CMyView;
class ExternalTools;
class SurfaceController;

class CMyApp {
public:
    // shell: starts the on-screen keyboard and opens help; may be null (the
    // two commands then have no handler). windows: finds a presentation for
    // the page keys typed on the screen overlay; may be null (no forwarding).
    // In a Wayland session, pictures takes the screen for a save (null: the
    // X screen is read) and pageKeys types page keys for a presentation that
    // is no X window (null: none).
    explicit CMyApp(common::ProgramPaths paths, common::ShellLauncher* shell = nullptr,
                    common::WindowFinder* windows = nullptr,
                    common::ScreenPictureSource* pictures = nullptr,
                    common::UinputKeyboard* pageKeys = nullptr);
    ~CMyApp();
    CMyApp(const CMyApp&) = delete;
    CMyApp& operator=(const CMyApp&) = delete;

    // Needs a QApplication. Creates the frame (and with it the view, which
    // reads the preferences) and the floating toolbar; quits the application
    // when the frame closes. False when the toolbar cannot be created.
    bool InitInstance();

    // The one application object, or null.
    [[nodiscard]] static CMyApp* instance();

    [[nodiscard]] CMyDoc& GetDocument() const { return *doc_; }
    [[nodiscard]] CMainFrame* GetMainFrame() const { return frame_.get(); }
    // Null once the frame has closed.
    [[nodiscard]] CMyView* GetActiveView() const;
    [[nodiscard]] const common::ProgramPaths& paths() const { return paths_; }
    // The drawing surfaces, after InitInstance.
    [[nodiscard]] SurfaceController* GetSurfaces() const { return surfaces_.get(); }

private:
    void dumpDocument();

    common::ProgramPaths paths_;
    common::ShellLauncher* shell_;
    common::WindowFinder* windows_;
    common::ScreenPictureSource* pictures_;
    common::UinputKeyboard* pageKeys_;
    std::unique_ptr<CMyDoc> doc_;
    std::unique_ptr<ExternalTools> tools_;
    std::unique_ptr<CMainFrame> frame_;
    std::unique_ptr<SurfaceController> surfaces_;  // goes before the frame
    QString dumpPath_;
    bool dumpPending_ = false;
    double dumpScale_ = 1.0;  // the drawing surface's device pixel ratio
    QPoint dumpOrigin_;       // and its monitor's corner
};

}  // namespace kalvo
