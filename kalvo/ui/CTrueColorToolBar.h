#pragma once
// The floating toolbar: a strip of twelve true-colour buttons in a small
// always-on-top window with its own caption "Pen-Ostra Lab", dragged by that
// caption and never closed by the user. The images come from 24-bit strips,
// one set per surface mode, whose bottom-left colour is transparent.
//
// It stays above everything, full-screen slide shows and Kalvo's own
// surfaces included, under every common window manager: the window manager
// does not manage it (no layer of theirs stays above a focused full-screen
// window everywhere), it is raised again when another program's managed
// window comes over it, and it steps beneath Kalvo's own dialogs that open
// over it. Another program's override-redirect window shown later (a menu, a
// calibration screen) stays above it.

#include <QEvent>
#include <QIcon>
#include <QPixmap>
#include <QPoint>
#include <QTimer>
#include <QWidget>

class QMenu;

#include <functional>
#include <vector>

#include "common/platform/WindowStacking.h"

namespace kalvo {

class ToolbarButton;

// Program icon 149 (the frame and toolbar) or 151 (the drawing windows) at
// 16, 32 and 48 pixels; null for any other number.
[[nodiscard]] QIcon programIcon(int iconId);

class CTrueColorToolBar final : public QWidget {
    Q_OBJECT
public:
    enum ImageList { NormalImages, HotImages, DisabledImages };

    static constexpr const char* kCaption = "Pen-Ostra Lab";

    explicit CTrueColorToolBar(QWidget* parent = nullptr);
    ~CTrueColorToolBar() override;
    // Where the toolbar learns that another program covers it; the desktop's
    // unless replaced.
    void useStacking(common::WindowStacking& stacking) { stacking_ = &stacking; }

    // Normal set, then the hot and disabled sets when their ids are not 0;
    // false as soon as one cannot be loaded.
    bool LoadTrueColorToolBar(int buttonWidth, int normalBitmap, int hotBitmap = 0,
                              int disabledBitmap = 0);
    // One image set from the strip of bitmapId, cut into buttonWidth-wide
    // images; false when the strip is missing or narrower than a button.
    bool SetTrueColorBitmap(ImageList which, int bitmapId, int buttonWidth);

    // Lays the buttons out in `rows` rows (more when `larger` and the buttons
    // do not fit) and resizes the window; returns the rows used.
    int WrapToRows(int rows, bool larger);

    // Resource path of a bitmap strip: ":/kalvo/toolbar/<id>.bmp".
    [[nodiscard]] static QString bitmapPath(int bitmapId);

    [[nodiscard]] QString captionText() const;
    // The window's rectangle on the screen.
    [[nodiscard]] QRect windowRect() const;
    [[nodiscard]] int buttonCount() const { return static_cast<int>(buttons_.size()); }
    [[nodiscard]] ToolbarButton* button(int index) const;
    [[nodiscard]] ToolbarButton* buttonForCommand(int command) const;
    // Button index i in toolbar coordinates; empty outside 0..count-1.
    [[nodiscard]] QRect buttonRect(int index) const;
    // The caption strip in toolbar coordinates.
    [[nodiscard]] QRect captionRect() const;

    // Enables each button, and each command of the context menu, by its command.
    void updateCommandStates(const std::function<bool(int)>& isEnabled);

    // Delivers a mouse event at a toolbar-relative point as if it had happened
    // there: moves light up the button under the point, a press and a release
    // on the same button trigger its command, a press on the caption starts a
    // drag. Used for pointer events that land on a drawing window above the
    // toolbar. Returns whether the point lies in the toolbar.
    bool deliverMouseEvent(QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::LeftButton);

    // The context menu, once opened: undo and redo (for a pen user without a
    // keyboard at hand), then the About box (command 57664). Each action is
    // named by its command.
    [[nodiscard]] QMenu* contextMenu() const { return contextMenu_; }

signals:
    void commandTriggered(int command);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void keepOnTop();

    void layoutButtons();
    void setHotButton(ToolbarButton* hot);

    std::vector<ToolbarButton*> buttons_;  // children, owned by Qt
    QSize buttonSize_{31, 30};
    int columns_ = 1;
    bool dragging_ = false;
    QPoint dragOffset_;
    QMenu* contextMenu_ = nullptr;        // child, owned by Qt
    std::function<bool(int)> isEnabled_;  // the last one given to updateCommandStates
    QTimer stackTimer_;
    bool hiddenForDialog_ = false;
    common::WindowStacking* stacking_;
};

}  // namespace kalvo
