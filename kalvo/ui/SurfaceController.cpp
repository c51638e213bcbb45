#include "kalvo/ui/SurfaceController.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include "common/platform/KeyState.h"
#include "common/platform/WindowFinder.h"
#include "kalvo/core/BoardSaver.h"
#include "kalvo/core/CMyDoc.h"
#include "kalvo/core/DrawingState.h"
#include "kalvo/core/ToolbarCommands.h"
#include "kalvo/ui/CEraser.h"
#include "kalvo/ui/CMyColorDlg.h"
#include "kalvo/ui/CMyView.h"
#include "kalvo/ui/CTrueColorToolBar.h"
#include "kalvo/ui/LineWidthMenu.h"
#include "kalvo/ui/PickerResources.h"
#include "kalvo/ui/QtFolderChooser.h"
#include "kalvo/ui/ScreenGrab.h"
#include "kalvo/ui/SurfaceNative.h"

namespace kalvo {

namespace {

QRect primaryScreenRect() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect(0, 0, 1024, 768);
}

QEvent::Type eventTypeOf(PointerMessage message) {
    switch (message) {
        case PointerMessage::LeftDown:
            return QEvent::MouseButtonPress;
        case PointerMessage::LeftUp:
            return QEvent::MouseButtonRelease;
        case PointerMessage::Move:
            break;
    }
    return QEvent::MouseMove;
}

}  // namespace

namespace {
SurfaceController::Windows gWindows;
}  // namespace

const SurfaceController::Windows& SurfaceController::windows() {
    return gWindows;
}

QWidget* SurfaceController::dialogOwner() {
    const DrawingState& state = drawingState();
    return state.mode == kModeScreen       ? gWindows.overlay
           : state.mode == kModeWhiteboard ? gWindows.board
                                           : nullptr;
}

SurfaceDialogs SurfaceDialogs::standard() {
    SurfaceDialogs d;
    d.chooseColor = [](COLORREF current, QRect toolbarRect, QRect buttonRect) {
        return CMYCOLORDLG::ChooseColor(current, toolbarRect, buttonRect,
                                        SurfaceController::dialogOwner());
    };
    d.chooseWidth = [](QPoint at) { return ChooseLineWidth(at); };
    d.messageBox = [](const QString& text) {
        QMessageBox box(QMessageBox::NoIcon, QString(), text, QMessageBox::Ok,
                        SurfaceController::dialogOwner());
        box.exec();
    };
    d.grabScreen = [](const QRect& area) { return kalvo::grabScreen(area); };
    return d;
}

SurfaceController::SurfaceController(Parts parts, SurfaceDialogs dialogs)
    : parts_(std::move(parts)),
      dialogs_(std::move(dialogs)),
      view_(parts_.view),
      toolbar_(parts_.toolbar),
      frame_(parts_.frame),
      history_(parts_.doc),
      gestures_(parts_.state, parts_.doc, *this, &history_),
      modes_(parts_.state, parts_.doc, *this, &history_) {
    const QRect screen = parts_.screen.isEmpty() ? primaryScreenRect() : parts_.screen;
    overlay_ = std::make_unique<DrawingWindow>(Surface::Overlay, parts_.doc, parts_.state, screen);
    board_ = std::make_unique<DrawingWindow>(Surface::Board, parts_.doc, parts_.state, screen);
    overlay_->setHandler(this);
    board_->setHandler(this);
    gWindows.overlay = overlay_.get();
    gWindows.board = board_.get();
    if (parts_.windows != nullptr) {
        auto classes = parts_.presentationClasses.empty()
                           ? parsePresentationClasses(kDefaultPresentationClasses)
                           : parts_.presentationClasses;
        keys_ = std::make_unique<PresentationKeys>(*parts_.windows, std::move(classes));
    }
    regrabTimer_.setSingleShot(true);
    QObject::connect(&regrabTimer_, &QTimer::timeout, overlay_.get(), [this] { regrabOverlay(); });
    if (!parts_.programFolder.empty()) {
        FolderChooser* chooser = dialogs_.folderChooser;
        if (chooser == nullptr) {
            ownChooser_ = std::make_unique<QtFolderChooser>(&SurfaceController::dialogOwner);
            chooser = ownChooser_.get();
        }
        saver_ = std::make_unique<BoardSaver>(parts_.programFolder, *chooser);
        saver_->setFallbackFolder(userPicturesFolder());
        saver_->setFormat(parts_.saveFormat);
        if (!parts_.converterFolder.empty()) {
            saver_->setConverterFolder(parts_.converterFolder);
        }
        saver_->setImageFolder(parts_.imageFolder);
    }
}

SurfaceController::~SurfaceController() {
    if (view_ != nullptr) {
        view_->m_eraser = nullptr;
    }
    eraser_.reset();
    if (gWindows.overlay == overlay_.get()) {
        gWindows.overlay = nullptr;
    }
    if (gWindows.board == board_.get()) {
        gWindows.board = nullptr;
    }
    gWindows.eraser = nullptr;
}

void SurfaceController::installCommands() {
    CMyView* view = view_.data();
    if (view == nullptr) {
        return;
    }
    view->SetCommandHandler(ID_DRAW_ON_SCREEN, [this] { modes_.OnDrawOnScreen(); });
    view->SetCommandHandler(ID_WHITEBOARD, [this] { modes_.OnWhiteboard(); });
    view->SetCommandHandler(ID_PICK_PEN, [this] { modes_.OnPickPen(); });
    view->SetCommandHandler(ID_ERASER, [this] { modes_.OnEraser(); });
    view->SetCommandHandler(ID_COLOR_SETTING, [this] { OnColorSetting(); });
    view->SetCommandHandler(ID_LINE_WIDTH, [this] { OnLineWidthMenu(); });
    view->SetCommandHandler(
        ID_EDIT_UNDO, [this] { modes_.OnUndo(); }, [this] { return history_.canUndo(); });
    view->SetCommandHandler(
        ID_EDIT_REDO, [this] { modes_.OnRedo(); }, [this] { return history_.canRedo(); });
    if (saver_) {
        view->SetCommandHandler(ID_SAVE_IMAGE, [this] { OnSaveImage(); });
    }
    // Clearing stays the view's command; it asks us to repaint.
    QObject::connect(view, &CMyView::surfaceRefreshRequested, overlay_.get(), [this](int mode) {
        refreshSurface(mode == kModeWhiteboard ? Surface::Board : Surface::Overlay);
    });
}

void SurfaceController::closeForExit() {
    destroyEraser();
    regrabTimer_.stop();
    overlay_->closeForExit();
    board_->closeForExit();
}

DrawingWindow& SurfaceController::window(Surface surface) {
    return surface == Surface::Overlay ? *overlay_ : *board_;
}

void SurfaceController::OnColorSetting() {
    modes_.EndStroke();
    if (!dialogs_.chooseColor) {
        return;
    }
    const QRect bar = toolbar_ ? toolbar_->windowRect() : QRect();
    const QRect button = toolbar_ ? toolbar_->buttonRect(kPickerButtonIndex) : QRect();
    if (const auto color = dialogs_.chooseColor(parts_.state.penColor, bar, button)) {
        parts_.state.penColor = *color;
    }
}

void SurfaceController::OnLineWidthMenu() {
    if (!dialogs_.chooseWidth) {
        return;
    }
    QPoint at;
    if (toolbar_ != nullptr) {
        at = toolbar_->windowRect().topLeft() + toolbar_->buttonRect(kPickerButtonIndex).topLeft();
    }
    const std::optional<int> width = dialogs_.chooseWidth(at);
    if (!width) {
        return;
    }
    // Through the view's width commands: only segments drawn from now on
    // take the new width.
    if (view_ == nullptr || !view_->OnCommand(kLineWidthFirstCommand + *width - 1)) {
        parts_.state.penWidth = *width;
    }
}

void SurfaceController::OnSaveImage() {
    modes_.EndStroke();
    if (!saver_ || !dialogs_.grabScreen) {
        return;
    }
    // The picture holds what is shown now: pending repaints first. Not a
    // repaint of the whole overlay: while the eraser window exists that would
    // erase every segment on it.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    // The monitor the surfaces cover, not the primary one.
    const ScreenCapture capture = dialogs_.grabScreen(targetArea());
    const SaveResult saved = saver_->save(capture);
    if (saved == SaveResult::WriteFailed && dialogs_.messageBox) {
        dialogs_.messageBox(QStringLiteral("图片未能保存\n") +
                            QString::fromStdString(saver_->lastError()));
    } else if (saved == SaveResult::ConverterFailed && dialogs_.messageBox) {
        dialogs_.messageBox(QStringLiteral("图片已保存为位图\n") +
                            QString::fromStdString(saver_->lastError()));
    }
    parts_.state.folderChosen = saver_->folderChosen() ? 1 : 0;
    parts_.state.browseStartPath = QString::fromStdString(saver_->browseStartPath());
    if (view_ != nullptr && saver_->folderChosen()) {
        view_->m_saveFolder = QString::fromStdString(saver_->saveFolder());
    }
}

void SurfaceController::OnKeyDown(Surface surface, int vk) {
    DrawingWindow& w = window(surface);
    // Delivered: a presentation window was found, took the focus and got the key.
    const bool delivered = keys_ && keys_->handleKeyDown(parts_.state.mode, vk,
                                                         static_cast<common::WindowId>(w.winId()));
    if (!delivered && parts_.typeKey && parts_.state.mode == kModeScreen &&
        (vk == common::VK_NEXT_KEY || vk == common::VK_PRIOR_KEY)) {
        // No X window is the presentation, yet one may lie beneath where the
        // X server cannot see it. Nothing can activate it, but hiding the
        // overlay lets the compositor hand it the focus; the key goes there.
        // Whether a presentation took it is unknown (a stray key may have
        // gone to any window), so the board stays as it is.
        w.hide();
        QEventLoop settle;
        QTimer::singleShot(100, &settle, &QEventLoop::quit);
        settle.exec(QEventLoop::ExcludeUserInputEvents);
        (void)parts_.typeKey(vk);
        QTimer::singleShot(50, &settle, &QEventLoop::quit);
        settle.exec(QEventLoop::ExcludeUserInputEvents);
        w.show();
        w.activateWindow();
    }
    if (delivered) {
        if (view_ != nullptr) {
            view_->OnClearBoard();
        } else {
            modes_.OnClearBoard();
        }
    }
}

// SurfaceActions

QRect SurfaceController::targetArea() const {
    if (!parts_.screen.isEmpty()) {
        return parts_.screen;
    }
    QScreen* screen = nullptr;
    if (toolbar_ != nullptr) {
        screen = QGuiApplication::screenAt(toolbar_->windowRect().center());
    }
    return screen != nullptr ? screen->geometry() : primaryScreenRect();
}

std::optional<QRect> SurfaceController::toolbarRect() const {
    if (toolbar_ == nullptr || !toolbar_->isVisible()) {
        return std::nullopt;
    }
    return toolbar_->windowRect();
}

void SurfaceController::forwardToToolbar(PointerMessage message, QPoint relative) {
    if (toolbar_ != nullptr) {
        toolbar_->deliverMouseEvent(eventTypeOf(message), relative);
    }
}

void SurfaceController::setToolbarImages(int normalBitmap, int hotBitmap) {
    if (toolbar_ == nullptr) {
        return;
    }
    // The disabled set stays the one loaded at start.
    (void)toolbar_->LoadTrueColorToolBar(kToolbarImageWidth, normalBitmap, hotBitmap, 0);
}

void SurfaceController::showToolbar() {
    if (toolbar_ == nullptr) {
        return;
    }
    toolbar_->show();
    toolbar_->update();
    keepToolbarOnTop();
}

void SurfaceController::keepToolbarOnTop() {
    // The surfaces cover the screen: the toolbar and the eraser stay above.
    if (toolbar_ != nullptr && toolbar_->isVisible()) {
        toolbar_->raise();
    }
    if (eraser_) {
        eraser_->raise();
    }
}

void SurfaceController::showSurface(Surface surface) {
    window(surface).showSurface(targetArea());
    keepToolbarOnTop();
    // A compositing manager (mutter) may go on drawing a new full-screen
    // window above the toolbar though the server stacks the toolbar higher:
    // mapped anew, the toolbar is drawn on top again.
    QTimer::singleShot(kRestackDelayMs, overlay_.get(), [this] {
        if (toolbar_ != nullptr && toolbar_->isVisible() && desktopStacking().compositorPresent()) {
            toolbar_->hide();
            toolbar_->show();
        }
        keepToolbarOnTop();
    });
}

void SurfaceController::hideSurface(Surface surface) {
    window(surface).hide();
}

void SurfaceController::refreshSurface(Surface surface) {
    DrawingWindow& w = window(surface);
    if (surface == Surface::Overlay && w.isVisible() && !desktopStacking().compositorPresent()) {
        // Without a compositor the overlay shows a picture of the screen
        // taken when it appeared; what lies beneath has changed since (a
        // cleared board shows the desktop of now, a page key turned the
        // slide). Hide it, let the windows beneath draw, take a new picture.
        w.hide();
        regrabTimer_.start(kRegrabDelayMs);
        return;
    }
    w.refreshInk();
}

void SurfaceController::repaintInk(Surface surface) {
    // Never a new screen picture: hiding the overlay would pass keys typed
    // meanwhile (a repeated Ctrl+Z) to the window beneath.
    window(surface).refreshInk();
}

void SurfaceController::regrabOverlay() {
    // The screen mode may have ended meanwhile.
    if (parts_.state.mode == kModeScreen && !overlay_->isVisible()) {
        showSurface(Surface::Overlay);
    }
}

void SurfaceController::placeFrame(bool fullScreen) {
    if (frame_ == nullptr) {
        return;
    }
    frame_->setGeometry(fullScreen ? targetArea() : QRect(-12, -12, 12, 12));
}

void SurfaceController::drawLiveSegment(Surface surface, QPoint from, QPoint to) {
    window(surface).drawLiveSegment(from, to);
}

void SurfaceController::repaintArea(Surface surface, const QRect& area) {
    window(surface).repaintArea(area);
}

void SurfaceController::setCursor(int icon) {
    const QCursor cursor = pickerCursor(icon);
    overlay_->setCursor(cursor);
    board_->setCursor(cursor);
}

void SurfaceController::sendLeftUp(Surface surface) {
    gestures_.leftUp(surface);
}

bool SurfaceController::hasEraser() const {
    return eraser_ != nullptr;
}

void SurfaceController::createEraser() {
    eraser_ = std::make_unique<CEraser>();
    // The eraser window passes its own press and release to the overlay,
    // queued as posted messages are.
    eraser_->onPress = [this] {
        QTimer::singleShot(0, overlay_.get(), [this] { gestures_.leftDown(Surface::Overlay, {}); });
    };
    eraser_->onRelease = [this] {
        parts_.state.erasing = 0;
        QTimer::singleShot(0, overlay_.get(), [this] { gestures_.leftUp(Surface::Overlay); });
    };
    eraser_->show();
    if (view_ != nullptr) {
        view_->m_eraser = eraser_.get();
    }
}

void SurfaceController::destroyEraser() {
    if (gWindows.eraser == eraser_.get()) {
        gWindows.eraser = nullptr;
    }
    if (view_ != nullptr) {
        view_->m_eraser = nullptr;
    }
    eraser_.reset();
}

void SurfaceController::moveEraser(const QRect& geometry, bool raise) {
    if (!eraser_) {
        return;
    }
    eraser_->setGeometry(geometry);
    if (raise) {
        gWindows.eraser = eraser_.get();
        eraser_->raise();
    }
    eraser_->update();
}

// DrawingWindowHandler

bool SurfaceController::paintRequested(DrawingWindow& window, const QRect& rect) {
    (void)window;
    return gestures_.paint(rect);
}

void SurfaceController::closeRequested(DrawingWindow& window) {
    (void)window;
    // The box is modal: a release while it is up never reaches the drawing
    // window, and the next move would go on with the stroke or the drag.
    modes_.EndStroke();
    if (dialogs_.messageBox) {
        dialogs_.messageBox(QStringLiteral("WM_CLOSE"));
    }
}

void SurfaceController::keyDown(DrawingWindow& window, int vk) {
    OnKeyDown(window.kind(), vk);
}

void SurfaceController::editCommand(DrawingWindow& window, int command) {
    (void)window;
    // Through the view when there is one, as the toolbar's menu goes.
    if (view_ != nullptr && view_->OnCommand(command)) {
        return;
    }
    if (command == ID_EDIT_UNDO) {
        modes_.OnUndo();
    } else if (command == ID_EDIT_REDO) {
        modes_.OnRedo();
    }
}

void SurfaceController::mouseMove(DrawingWindow& window, QPoint point) {
    gestures_.mouseMove(window.kind(), point);
}

void SurfaceController::leftDown(DrawingWindow& window, QPoint point) {
    gestures_.leftDown(window.kind(), point);
}

void SurfaceController::leftUp(DrawingWindow& window, QPoint point) {
    (void)point;
    gestures_.leftUp(window.kind());
}

void SurfaceController::rightDown(DrawingWindow& window, QPoint point) {
    (void)point;
    (void)window;
    gestures_.rightDown();
}

}  // namespace kalvo
