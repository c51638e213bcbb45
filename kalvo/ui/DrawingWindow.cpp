#include "kalvo/ui/DrawingWindow.h"

#include <QCloseEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include "common/platform/KeyState.h"
#include "kalvo/core/CMyDoc.h"
#include "kalvo/core/DrawingState.h"
#include "kalvo/core/ToolbarCommands.h"
#include "kalvo/ui/CTrueColorToolBar.h"
#include "kalvo/ui/SurfaceNative.h"

namespace kalvo {

namespace {

// The overlay's emptiest pixel: nearly invisible, but not fully transparent,
// so that no platform passes a click through it to the window beneath.
const QColor kOverlayFloor(0, 0, 0, 1);

// In desktop coordinates: the surface stands on the toolbar's monitor.
QPoint pointOf(const QWidget& window, const QMouseEvent* event) {
    return event->position().toPoint() + window.pos();
}

}  // namespace

int virtualKeyOf(int qtKey) {
    switch (qtKey) {
        case Qt::Key_PageUp:
            return common::VK_PRIOR_KEY;
        case Qt::Key_PageDown:
            return common::VK_NEXT_KEY;
        default:
            return 0;
    }
}

int editCommandOf(int qtKey, Qt::KeyboardModifiers modifiers) {
    // Keypad and keyboard-layout bits do not matter; Alt and Meta do.
    const Qt::KeyboardModifiers held =
        modifiers & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier);
    if (qtKey == Qt::Key_Z && held == Qt::ControlModifier) {
        return ID_EDIT_UNDO;
    }
    if ((qtKey == Qt::Key_Y && held == Qt::ControlModifier) ||
        (qtKey == Qt::Key_Z && held == (Qt::ControlModifier | Qt::ShiftModifier))) {
        return ID_EDIT_REDO;
    }
    return 0;
}

DrawingWindow::DrawingWindow(Surface kind, const CMyDoc& doc, const DrawingState& state,
                             QRect screen)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::Tool),
      kind_(kind),
      doc_(doc),
      state_(state),
      ink_(screen.size()) {
    const bool overlay = kind_ == Surface::Overlay;
    setObjectName(QString::fromLatin1(className()));
    setWindowTitle(QString::fromUtf8(overlay ? kOverlayTitle : kBoardTitle));
    setWindowIcon(programIcon(IDI_DRAWING_WINDOW));
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent, !overlay);
    if (overlay) {
        setAttribute(Qt::WA_TranslucentBackground);
        setAttribute(Qt::WA_NoSystemBackground);
    }
    setGeometry(screen);
}

const char* DrawingWindow::className() const {
    return kind_ == Surface::Overlay ? kOverlayClass : kBoardClass;
}

bool DrawingWindow::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::WindowDeactivate) {
        // Nothing here looks different when active. Qt's own handling would
        // repaint the whole window, and a repaint while the eraser window
        // exists erases every segment under it (the same for focus below).
        return true;
    }
    if (event->type() == QEvent::WinIdChange && internalWinId() != 0) {
        // Qt names every window after the program; other programs (and the
        // presentation lookup of a second copy) know ours by these classes.
        setNativeWindowClass(*this, className());
    }
    return QWidget::event(event);
}

void DrawingWindow::showSurface(const QRect& area) {
    if (kind_ == Surface::Overlay) {
        background_ = QImage();
        if (!desktopStacking().compositorPresent()) {
            // Without a compositor the translucent window would show black:
            // show the desktop as it was just before the overlay appeared.
            QScreen* screen = QGuiApplication::screenAt(area.center());
            if (screen == nullptr) {
                screen = QGuiApplication::primaryScreen();
            }
            if (screen != nullptr) {
                // Window 0 is the root; the area is given from the screen's corner.
                const QPoint corner = area.topLeft() - screen->geometry().topLeft();
                background_ =
                    screen->grabWindow(0, corner.x(), corner.y(), area.width(), area.height())
                        .toImage()
                        .convertToFormat(QImage::Format_ARGB32_Premultiplied);
            }
        }
    }
    setGeometry(area);
    inkStale_ = true;
    setNativeWindowClass(*this, className());  // before the window is mapped
    // Full-screen for the window manager too: a focused full-screen window
    // (a slide show) would otherwise stay above it.
    if (QWindow* handle = windowHandle()) {
        if (QScreen* screen = QGuiApplication::screenAt(area.center())) {
            handle->setScreen(screen);
        }
    }
    showFullScreen();
    raise();
    activateWindow();
    setFocus(Qt::ActiveWindowFocusReason);
    update();
}

void DrawingWindow::refreshInk() {
    inkStale_ = true;
    update();
}

void DrawingWindow::drawLiveSegment(QPoint from, QPoint to) {
    const QRect touched = ink_.drawLiveSegment(from - pos(), to - pos(), state_.penColor,
                                               state_.penWidth, state_.penStyle);
    if (touched.isEmpty()) {
        return;
    }
    liveArea_ += touched;
    update(touched);
}

void DrawingWindow::repaintArea(const QRect& area) {
    update(area.translated(-pos()));
}

void DrawingWindow::paintEvent(QPaintEvent* event) {
    const QRect rect = event->rect();
    // Each rectangle of the repainted region on its own: repaints asked for
    // apart (two eraser moves) arrive merged, and the bounding rectangle of
    // the merge would take the segments between them too.
    bool drawInk = true;
    // A redraw of the whole ink the program asked for (undo, redo, a refresh,
    // a new screen picture) shows the document and never erases.
    if (handler_ != nullptr && !inkStale_) {
        for (const QRect& part : event->region()) {
            drawInk = handler_->paintRequested(*this, part.translated(pos())) && drawInk;
        }
    }
    if (drawInk) {
        // A repaint that only shows live segments needs no redraw of the
        // whole document; anything else redraws every segment and text.
        if (inkStale_ || !(event->region() - liveArea_).isEmpty()) {
            ink_.rebuild(doc_, pos());
            inkStale_ = false;
        }
    } else {
        // The ink there is gone from the screen; keep the layer in step.
        for (const QRect& part : event->region()) {
            ink_.clear(part);
        }
    }
    liveArea_ = QRegion();

    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    if (kind_ == Surface::Board) {
        painter.fillRect(rect, Qt::white);
    } else if (!background_.isNull()) {
        painter.drawImage(rect, background_, rect);
    } else {
        painter.fillRect(rect, kOverlayFloor);
    }
    if (drawInk) {
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.drawImage(rect, ink_.image(), rect);
    }
}

void DrawingWindow::focusInEvent(QFocusEvent* event) {
    event->accept();
}

void DrawingWindow::focusOutEvent(QFocusEvent* event) {
    event->accept();
}

void DrawingWindow::closeForExit() {
    exiting_ = true;
    close();
}

void DrawingWindow::closeEvent(QCloseEvent* event) {
    if (exiting_) {
        event->accept();
        return;
    }
    // A drawing window lives as long as the program.
    event->ignore();
    if (handler_ != nullptr) {
        handler_->closeRequested(*this);
    }
}

void DrawingWindow::keyPressEvent(QKeyEvent* event) {
    if (handler_ != nullptr) {
        if (const int command = editCommandOf(event->key(), event->modifiers())) {
            handler_->editCommand(*this, command);
            return;
        }
        handler_->keyDown(*this, virtualKeyOf(event->key()));
    }
    QWidget::keyPressEvent(event);
}

void DrawingWindow::mouseMoveEvent(QMouseEvent* event) {
    if (handler_ != nullptr) {
        handler_->mouseMove(*this, pointOf(*this, event));
    }
}

void DrawingWindow::mousePressEvent(QMouseEvent* event) {
    if (handler_ == nullptr) {
        return;
    }
    if (event->button() == Qt::LeftButton) {
        handler_->leftDown(*this, pointOf(*this, event));
    } else if (event->button() == Qt::RightButton) {
        handler_->rightDown(*this, pointOf(*this, event));
    }
}

void DrawingWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    // A quick second click is one more press, as any other.
    mousePressEvent(event);
}

void DrawingWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (handler_ != nullptr && event->button() == Qt::LeftButton) {
        handler_->leftUp(*this, pointOf(*this, event));
    }
}

void DrawingWindow::resizeEvent(QResizeEvent* event) {
    ink_.resize(size());
    inkStale_ = true;
    QWidget::resizeEvent(event);
}

}  // namespace kalvo
