#pragma once
// The application: one document, the main frame with its view and floating
// toolbar. Handlers reach the frame, document and view through it.

#include <QString>

#include <memory>

#include "common/ini/ProgramPaths.h"

namespace common {
class ShellLauncher;
}

namespace kalvo {

class CMainFrame;
class CMyDoc;
class CMyView;
class ExternalTools;

class CMyApp {
public:
    // shell: starts the on-screen keyboard and opens help; may be null (the
    // two commands then have no handler).
    explicit CMyApp(common::ProgramPaths paths, common::ShellLauncher* shell = nullptr);
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

private:
    void dumpDocument();

    common::ProgramPaths paths_;
    common::ShellLauncher* shell_;
    std::unique_ptr<CMyDoc> doc_;
    std::unique_ptr<ExternalTools> tools_;
    std::unique_ptr<CMainFrame> frame_;
    QString dumpPath_;
    bool dumpPending_ = false;
};

}  // namespace kalvo
