#include "kalvo/ui/SurfaceController.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

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

SurfaceDialogs SurfaceDialogs::standard() {
    SurfaceDialogs d;
    d.chooseColor = [](COLORREF current, QRect toolbarRect, QRect buttonRect) {
        return CMYCOLORDLG::ChooseColor(current, toolbarRect, buttonRect);
    };
    d.chooseWidth = [](QPoint at) { return ChooseLineWidth(at); };
    d.messageBox = [](const QString& text) {
        QMessageBox box(QMessageBox::NoIcon, QString(), text, QMessageBox::Ok);
        box.exec();
    };
    d.grabScreen = [] { return kalvo::grabScreen(); };
    return d;
}

SurfaceController::SurfaceController(Parts parts, SurfaceDialogs dialogs)
    : parts_(std::move(parts)),
      dialogs_(std::move(dialogs)),
      gestures_(parts_.state, parts_.doc, *this),
      modes_(parts_.state, parts_.doc, *this) {
    const QRect screen = parts_.screen.isEmpty() ? primaryScreenRect() : parts_.screen;
    overlay_ = std::make_unique<DrawingWindow>(Surface::Overlay, parts_.doc, parts_.state, screen);
    board_ = std::make_unique<DrawingWindow>(Surface::Board, parts_.doc, parts_.state, screen);
    overlay_->setHandler(this);
    board_->setHandler(this);
    parts_.state.overlayWindow = overlay_.get();
    parts_.state.boardWindow = board_.get();
    if (parts_.windows != nullptr) {
        auto classes = parts_.presentationClasses.empty()
                           ? parsePresentationClasses(kDefaultPresentationClasses)
                           : parts_.presentationClasses;
        keys_ = std::make_unique<PresentationKeys>(*parts_.windows, std::move(classes));
    }
    if (!parts_.programFolder.empty()) {
        FolderChooser* chooser = dialogs_.folderChooser;
        if (chooser == nullptr) {
            ownChooser_ = std::make_unique<QtFolderChooser>(parts_.view);
            chooser = ownChooser_.get();
        }
        saver_ = std::make_unique<BoardSaver>(parts_.programFolder, *chooser);
        saver_->setFallbackFolder(userPicturesFolder());
    }
    if (parts_.frame != nullptr) {
        frameRestGeometry_ = QRect(-12, -12, 12, 12);
    }
}

SurfaceController::~SurfaceController() {
    if (parts_.view != nullptr) {
        parts_.view->m_eraser = nullptr;
    }
    eraser_.reset();
    if (parts_.state.overlayWindow == overlay_.get()) {
        parts_.state.overlayWindow = nullptr;
    }
    if (parts_.state.boardWindow == board_.get()) {
        parts_.state.boardWindow = nullptr;
    }
    parts_.state.eraserWindow = nullptr;
}

void SurfaceController::installCommands() {
    CMyView* view = parts_.view;
    if (view == nullptr) {
        return;
    }
    view->SetCommandHandler(ID_DRAW_ON_SCREEN, [this] { modes_.OnDrawOnScreen(); });
    view->SetCommandHandler(ID_WHITEBOARD, [this] { modes_.OnWhiteboard(); });
    view->SetCommandHandler(ID_PICK_PEN, [this] { modes_.OnPickPen(); });
    view->SetCommandHandler(ID_ERASER, [this] { modes_.OnEraser(); });
    view->SetCommandHandler(ID_CLEAR_BOARD, [this] { modes_.OnClearBoard(); });
    view->SetCommandHandler(ID_COLOR_SETTING, [this] { OnColorSetting(); });
    view->SetCommandHandler(ID_LINE_WIDTH, [this] { OnLineWidthMenu(); });
    if (saver_) {
        view->SetCommandHandler(ID_SAVE_IMAGE, [this] { OnSaveImage(); });
    }
    // The view's own clearing (it keeps a handler for it) repaints through us.
    QObject::connect(view, &CMyView::surfaceRefreshRequested, overlay_.get(), [this](int mode) {
        refreshSurface(mode == kModeWhiteboard ? Surface::Board : Surface::Overlay);
    });
}

DrawingWindow& SurfaceController::window(Surface surface) {
    return surface == Surface::Overlay ? *overlay_ : *board_;
}

void SurfaceController::OnColorSetting() {
    modes_.EndStroke();
    if (!dialogs_.chooseColor) {
        return;
    }
    const QRect bar = parts_.toolbar ? parts_.toolbar->windowRect() : QRect();
    const QRect button = parts_.toolbar ? parts_.toolbar->buttonRect(kPickerButtonIndex) : QRect();
    if (const auto color = dialogs_.chooseColor(parts_.state.penColor, bar, button)) {
        parts_.state.penColor = *color;
    }
}

void SurfaceController::OnLineWidthMenu() {
    if (!dialogs_.chooseWidth) {
        return;
    }
    QPoint at;
    if (parts_.toolbar != nullptr) {
        at = parts_.toolbar->windowRect().topLeft() +
             parts_.toolbar->buttonRect(kPickerButtonIndex).topLeft();
    }
    const std::optional<int> width = dialogs_.chooseWidth(at);
    if (!width) {
        return;
    }
    // Through the view's width commands: only segments drawn from now on
    // take the new width.
    if (parts_.view == nullptr || !parts_.view->OnCommand(kLineWidthFirstCommand + *width - 1)) {
        parts_.state.penWidth = *width;
    }
}

void SurfaceController::OnSaveImage() {
    modes_.EndStroke();
    if (!saver_ || !dialogs_.grabScreen) {
        return;
    }
    // The picture holds what is shown now: the surfaces' last repaint first.
    overlay_->repaint();
    const ScreenCapture capture = dialogs_.grabScreen();
    (void)saver_->save(capture);
    parts_.state.folderChosen = saver_->folderChosen() ? 1 : 0;
    parts_.state.browseStartPath = QString::fromStdString(saver_->browseStartPath());
    if (parts_.view != nullptr && saver_->folderChosen()) {
        parts_.view->m_saveFolder = QString::fromStdString(saver_->saveFolder());
    }
}

void SurfaceController::OnKeyDown(Surface surface, int vk) {
    if (!keys_) {
        return;
    }
    DrawingWindow& w = window(surface);
    if (keys_->handleKeyDown(parts_.state.mode, vk, static_cast<common::WindowId>(w.winId()))) {
        modes_.OnClearBoard();
    }
}

// SurfaceActions

std::optional<QRect> SurfaceController::toolbarRect() const {
    if (parts_.toolbar == nullptr || !parts_.toolbar->isVisible()) {
        return std::nullopt;
    }
    return parts_.toolbar->windowRect();
}

void SurfaceController::forwardToToolbar(PointerMessage message, QPoint relative) {
    if (parts_.toolbar != nullptr) {
        parts_.toolbar->deliverMouseEvent(eventTypeOf(message), relative);
    }
}

void SurfaceController::setToolbarImages(int normalBitmap, int hotBitmap) {
    if (parts_.toolbar == nullptr) {
        return;
    }
    (void)parts_.toolbar->SetTrueColorBitmap(CTrueColorToolBar::NormalImages, normalBitmap,
                                             kToolbarImageWidth);
    (void)parts_.toolbar->SetTrueColorBitmap(CTrueColorToolBar::HotImages, hotBitmap,
                                             kToolbarImageWidth);
}

void SurfaceController::showToolbar() {
    if (parts_.toolbar == nullptr) {
        return;
    }
    parts_.toolbar->show();
    parts_.toolbar->update();
    keepToolbarOnTop();
}

void SurfaceController::keepToolbarOnTop() {
    // The surfaces cover the screen: the toolbar and the eraser stay above.
    if (parts_.toolbar != nullptr && parts_.toolbar->isVisible()) {
        parts_.toolbar->raise();
    }
    if (eraser_) {
        eraser_->raise();
    }
}

void SurfaceController::showSurface(Surface surface) {
    window(surface).showSurface();
    keepToolbarOnTop();
}

void SurfaceController::hideSurface(Surface surface) {
    window(surface).hide();
}

void SurfaceController::refreshSurface(Surface surface) {
    window(surface).refreshInk();
}

void SurfaceController::placeFrame(bool fullScreen) {
    if (parts_.frame == nullptr) {
        return;
    }
    parts_.frame->setGeometry(fullScreen ? overlay_->geometry() : frameRestGeometry_);
}

void SurfaceController::drawLiveSegment(Surface surface, QPoint from, QPoint to) {
    window(surface).drawLiveSegment(from, to);
}

void SurfaceController::repaintArea(Surface surface, const QRect& area) {
    window(surface).update(area);
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
    if (parts_.view != nullptr) {
        parts_.view->m_eraser = eraser_.get();
    }
}

void SurfaceController::destroyEraser() {
    if (parts_.state.eraserWindow == eraser_.get()) {
        parts_.state.eraserWindow = nullptr;
    }
    if (parts_.view != nullptr) {
        parts_.view->m_eraser = nullptr;
    }
    eraser_.reset();
}

void SurfaceController::moveEraser(const QRect& geometry, bool raise) {
    if (!eraser_) {
        return;
    }
    eraser_->setGeometry(geometry);
    if (raise) {
        parts_.state.eraserWindow = eraser_.get();
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
    if (dialogs_.messageBox) {
        dialogs_.messageBox(QStringLiteral("WM_CLOSE"));
    }
}

void SurfaceController::keyDown(DrawingWindow& window, int vk) {
    OnKeyDown(window.kind(), vk);
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
