#pragma once
// Kalvo's drawing surfaces put together: the overlay and the whiteboard, the
// one handler of their messages, the mode and tool logic, the eraser window,
// page keys for a running presentation, and the view commands that reach the
// surfaces (modes and tools, colour, width, clearing, saving).

#include <QPointer>
#include <QRect>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

#include "kalvo/core/BmpWriter.h"
#include "kalvo/core/BoardSaver.h"
#include "kalvo/core/ColorRef.h"
#include "kalvo/core/EditHistory.h"
#include "kalvo/core/GestureLogic.h"
#include "kalvo/core/ModeLogic.h"
#include "kalvo/core/PresentationKeys.h"
#include "kalvo/core/SurfaceActions.h"
#include "kalvo/ui/DrawingWindow.h"

class QWidget;

namespace common {
class WindowFinder;
}

namespace kalvo {

class BoardSaver;
class CEraser;
class CMyDoc;
class CMyView;
class CTrueColorToolBar;
class FolderChooser;
struct DrawingState;

// The modal parts, replaceable so that the controller runs in a test.
struct SurfaceDialogs {
    // The colour dialog at the colour button: the chosen colour, or nothing.
    std::function<std::optional<COLORREF>(COLORREF current, QRect toolbarRect, QRect buttonRect)>
        chooseColor;
    // The width menu at a screen point: 1..6, or nothing.
    std::function<std::optional<int>(QPoint screenPos)> chooseWidth;
    // A message box without owner or caption.
    std::function<void(const QString& text)> messageBox;
    // An area of the screen (Qt's screen coordinates) as it is shown.
    std::function<ScreenCapture(const QRect& area)> grabScreen;
    // The folder dialog of the first save; null: Qt's.
    FolderChooser* folderChooser = nullptr;

    // Qt's dialogs, menu, message box and screen.
    [[nodiscard]] static SurfaceDialogs standard();
};

class SurfaceController final : public SurfaceActions, public DrawingWindowHandler {
public:
    // Button whose place the colour dialog and the width menu open at.
    static constexpr int kPickerButtonIndex = 5;

    struct Parts {
        CMyDoc& doc;
        DrawingState& state;
        CMyView* view = nullptr;  // gets the command handlers and m_eraser
        CTrueColorToolBar* toolbar = nullptr;
        QWidget* frame = nullptr;  // the main frame, covering the screen with the board
        common::WindowFinder* windows = nullptr;  // page keys; null: no forwarding
        std::vector<PresentationClass> presentationClasses = {};
        std::string programFolder = {};    // for the saver; empty: no save command
        std::string converterFolder = {};  // where jpgdll.so lies; empty: programFolder
        std::string imageFolder = {};      // first folder offered; empty: img/ beside the program
        SaveFormat saveFormat = SaveFormat::Default;
        QRect screen = {};  // fixed area to cover; empty: the toolbar's monitor
        // Types a page key to whichever window has the keyboard focus, for a
        // presentation that is no X window (Wayland); empty: no such path.
        // Nothing tells where such a key went: the board is not cleared.
        std::function<bool(int vk)> typeKey = {};
    };

    SurfaceController(Parts parts, SurfaceDialogs dialogs = SurfaceDialogs::standard());
    ~SurfaceController() override;
    SurfaceController(const SurfaceController&) = delete;
    SurfaceController& operator=(const SurfaceController&) = delete;

    // The owner of every modal dialog: the surface on, if any. Window
    // managers keep a dialog above the window it belongs to, also a
    // full-screen one; without it a dialog may open beneath the surface.
    [[nodiscard]] static QWidget* dialogOwner();

    // The windows of the controller that lives now (one per program).
    struct Windows {
        QWidget* overlay = nullptr;
        QWidget* board = nullptr;
        QWidget* eraser = nullptr;  // while the eraser is dragged
    };
    [[nodiscard]] static const Windows& windows();

    // Puts the handlers of the surface, tool, colour, width and save commands
    // into the view, and repaints the surfaces when the view clears the board.
    void installCommands();
    // The program ends: the eraser goes and both surfaces close without the
    // box a close request from outside shows. Left open, a visible surface
    // would refuse the application's quit.
    void closeForExit();

    [[nodiscard]] DrawingWindow& overlay() { return *overlay_; }
    [[nodiscard]] DrawingWindow& board() { return *board_; }
    [[nodiscard]] DrawingWindow& window(Surface surface);
    [[nodiscard]] ModeLogic& modes() { return modes_; }
    [[nodiscard]] GestureLogic& gestures() { return gestures_; }
    [[nodiscard]] EditHistory& history() { return history_; }
    [[nodiscard]] CEraser* eraser() const { return eraser_.get(); }
    [[nodiscard]] BoardSaver* saver() const { return saver_.get(); }

    // Command handlers.
    void OnColorSetting();
    void OnLineWidthMenu();
    void OnSaveImage();
    // A page key (or any key) typed on a drawing window.
    void OnKeyDown(Surface surface, int vk);

    // SurfaceActions
    [[nodiscard]] std::optional<QRect> toolbarRect() const override;
    void forwardToToolbar(PointerMessage message, QPoint relative) override;
    void setToolbarImages(int normalBitmap, int hotBitmap) override;
    void showToolbar() override;
    void showSurface(Surface surface) override;
    void hideSurface(Surface surface) override;
    void refreshSurface(Surface surface) override;
    void repaintInk(Surface surface) override;
    void placeFrame(bool fullScreen) override;
    void drawLiveSegment(Surface surface, QPoint from, QPoint to) override;
    void repaintArea(Surface surface, const QRect& area) override;
    void setCursor(int icon) override;
    void sendLeftUp(Surface surface) override;
    [[nodiscard]] bool hasEraser() const override;
    void createEraser() override;
    void destroyEraser() override;
    void moveEraser(const QRect& geometry, bool raise) override;

    // DrawingWindowHandler
    [[nodiscard]] bool paintRequested(DrawingWindow& window, const QRect& rect) override;
    void closeRequested(DrawingWindow& window) override;
    void keyDown(DrawingWindow& window, int vk) override;
    void editCommand(DrawingWindow& window, int command) override;
    void mouseMove(DrawingWindow& window, QPoint point) override;
    void leftDown(DrawingWindow& window, QPoint point) override;
    void leftUp(DrawingWindow& window, QPoint point) override;
    void rightDown(DrawingWindow& window, QPoint point) override;

    // The area a surface covers when it comes on: the monitor on which the
    // toolbar stands (the primary one without a toolbar), in Qt's screen
    // coordinates.
    [[nodiscard]] QRect targetArea() const;

    // How long the overlay stays hidden when it takes a new picture of the
    // screen: the windows beneath draw themselves meanwhile.
    static constexpr int kRegrabDelayMs = 250;
    // When the toolbar is raised once more after a surface came on.
    static constexpr int kRestackDelayMs = 200;

private:
    void keepToolbarOnTop();
    void regrabOverlay();

    Parts parts_;
    SurfaceDialogs dialogs_;
    // The view, toolbar and frame go when the frame closes, before us.
    QPointer<CMyView> view_;
    QPointer<CTrueColorToolBar> toolbar_;
    QPointer<QWidget> frame_;
    std::unique_ptr<DrawingWindow> overlay_;
    std::unique_ptr<DrawingWindow> board_;
    EditHistory history_;
    GestureLogic gestures_;
    ModeLogic modes_;
    std::unique_ptr<PresentationKeys> keys_;
    std::unique_ptr<CEraser> eraser_;
    std::unique_ptr<FolderChooser> ownChooser_;
    std::unique_ptr<BoardSaver> saver_;
    QTimer regrabTimer_;
};

}  // namespace kalvo
