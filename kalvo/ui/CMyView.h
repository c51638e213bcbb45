#pragma once
// The view: never seen, but the hub of Kalvo's commands. It holds the paths
// and the pen preferences (read when it is made, written when it goes), and
// every toolbar command reaches it through OnCommand. Each command has one
// handler slot; handlers built elsewhere are put in with SetCommandHandler.

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <unordered_map>

#include "common/ini/SafeWrite.h"

#include "common/ini/ProgramPaths.h"

namespace kalvo {

class CMyDoc;
class ExternalTools;

class CMyView final : public QWidget {
    Q_OBJECT
public:
    using Handler = std::function<void()>;

    // Reads the "PEN" preferences from paths.iniPath into the drawing state.
    CMyView(CMyDoc& doc, const common::ProgramPaths& paths, QWidget* parent = nullptr);
    // Writes the "PEN" preferences.
    ~CMyView() override;

    [[nodiscard]] CMyDoc& GetDocument() const { return doc_; }

    // Puts a handler in the slot of a command (an empty one clears it).
    void SetCommandHandler(int command, Handler handler);
    [[nodiscard]] bool HasCommandHandler(int command) const;
    // Runs the command's handler; false when the command has none.
    bool OnCommand(int command);
    // A command is enabled when it has a handler, and for the two surface
    // commands while the other surface is off.
    [[nodiscard]] bool IsCommandEnabled(int command) const;

    // Optional: the on-screen keyboard and the help page. Without it those
    // two commands have no handler.
    void SetExternalTools(ExternalTools* tools);
    [[nodiscard]] ExternalTools* GetExternalTools() const { return tools_; }

    // Writes the pen keys; the view's end writes them only when this did not
    // run before.
    common::FileWriteResult SavePreferences();

    // The eraser window while the eraser tool is selected.
    QPointer<QWidget> m_eraser;
    QString m_iniPath;
    QString m_programFolder;  // with a trailing '/'
    QString m_saveFolder;     // with a trailing '/'; empty until chosen

public slots:
    void OnClearBoard();
    void OnLineWidth1();
    void OnLineWidth2();
    void OnLineWidth3();
    void OnLineWidth4();
    void OnLineWidth5();
    void OnLineWidth6();
    void OnVirtualKeyboard();
    void OnHelp();

signals:
    // The active surface must be repainted from the document (mode 1 or 2).
    void surfaceRefreshRequested(int mode);
    void commandHandlersChanged();

private:
    CMyDoc& doc_;
    ExternalTools* tools_ = nullptr;
    std::unordered_map<int, Handler> handlers_;
    bool preferencesSaved_ = false;
};

}  // namespace kalvo
