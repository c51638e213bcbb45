#pragma once
// The main frame: a window that stays out of sight (at (-20, -50), zero size)
// and carries the floating toolbar and, later, the whiteboard. Toolbar
// commands go to the view first; the frame handles the exit command itself.
// Closing it writes the "POSITION" keys, then ends the view, which writes the
// "PEN" keys.

#include <QPoint>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

#include "common/ini/ProgramPaths.h"

namespace kalvo {

class CMyDoc;
class CMyView;
class CTrueColorToolBar;

class CMainFrame final : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kTitle = " Kalvo";

    // Creates the view (which reads the preferences); the toolbar comes with
    // OnCreate.
    CMainFrame(CMyDoc& doc, const common::ProgramPaths& paths);
    ~CMainFrame() override;

    // Creates the toolbar with the images of no mode, sets the title and the
    // icon and floats the toolbar at its place; false when the images cannot
    // be loaded. The toolbar is shown; the frame is not.
    bool OnCreate();

    // Floats the toolbar with `rows` rows at `point` of the frame's client
    // area, moved in where it would leave the screen; returns the rows used.
    int FloatToolBarInRows(CTrueColorToolBar& bar, int rows, bool larger, QPoint point);

    // View first; the exit command (32824) is the frame's own. False when no
    // one handles the command.
    bool OnCommand(int command);
    [[nodiscard]] bool IsCommandEnabled(int command) const;
    // Enables the toolbar's buttons from IsCommandEnabled.
    void UpdateToolbarStates();

    // Null after the frame has closed.
    [[nodiscard]] CMyView* GetActiveView() const { return view_; }
    [[nodiscard]] CMyDoc& GetActiveDocument() const { return doc_; }
    [[nodiscard]] CTrueColorToolBar* toolBar() const { return m_wndToolBar.get(); }

    QString m_iniPath;
    std::unique_ptr<CTrueColorToolBar> m_wndToolBar;
    // Tells the user, at exit, that the preferences were not written (the
    // application sets a warning box); unset: nothing is shown.
    std::function<void(const QString& text)> m_reportError;

signals:
    // The frame has closed: the program ends.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    CMyDoc& doc_;
    CMyView* view_ = nullptr;  // child of the frame until it closes
    QTimer stateTimer_;
    bool closed_ = false;
};

}  // namespace kalvo
