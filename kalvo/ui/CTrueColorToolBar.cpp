#include "kalvo/ui/CTrueColorToolBar.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

#include "kalvo/core/ToolbarCommands.h"
#include "kalvo/core/TrueColorStrip.h"
#include "kalvo/ui/SurfaceNative.h"
#include "kalvo/ui/ToolbarButton.h"

// The toolbar's images and the program icons live in a static library; pull
// its resources in once.
static void initToolbarResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(toolbar);
        return true;
    }();
    (void)done;
}

namespace kalvo {

namespace {

constexpr int kBorder = 1;
constexpr int kCaptionWidth = 16;
constexpr int kGap = 2;
// How often the toolbar looks whether another program's window covers it.
constexpr int kStackCheckMs = 400;
const QColor kFace(0xEE, 0xF0, 0xF3);  // the face the artwork was settled on

}  // namespace

CTrueColorToolBar::CTrueColorToolBar(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowDoesNotAcceptFocus | Qt::X11BypassWindowManagerHint),
      stacking_(&desktopStacking()) {
    initToolbarResources();
    setObjectName(QStringLiteral("toolbar"));
    setWindowTitle(QString::fromLatin1(kCaption));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setMouseTracking(true);
    for (const ToolbarButtonInfo& info : kToolbarButtons) {
        auto* b = new ToolbarButton(info.command, this);
        if (info.tooltip) {
            b->setToolTip(QString::fromLatin1(info.tooltip));
        }
        connect(b, &QAbstractButton::clicked, this,
                [this, command = info.command] { emit commandTriggered(command); });
        buttons_.push_back(b);
    }
    layoutButtons();
    stackTimer_.setInterval(kStackCheckMs);
    connect(&stackTimer_, &QTimer::timeout, this, &CTrueColorToolBar::keepOnTop);
    // Kalvo's own dialogs that open over the toolbar stay above it.
    qApp->installEventFilter(this);
}

CTrueColorToolBar::~CTrueColorToolBar() = default;

void CTrueColorToolBar::keepOnTop() {
    QWidget* modal = QApplication::activeModalWidget();
    const bool dialogOver = modal != nullptr && modal != this && modal->isVisible() &&
                            modal->frameGeometry().intersects(frameGeometry());
    if (dialogOver) {
        // No window manager puts its dialog above a window it does not
        // manage, and the toolbar does nothing while a dialog is up: it
        // steps aside until the dialog is gone.
        if (isVisible()) {
            hiddenForDialog_ = true;
            hide();
        }
        return;
    }
    if (hiddenForDialog_) {
        hiddenForDialog_ = false;
        show();
        return;
    }
    if (isVisible() && internalWinId() != 0 && stacking_->coveredByOtherProgram(internalWinId())) {
        stacking_->raise(internalWinId());
    }
}

bool CTrueColorToolBar::eventFilter(QObject* watched, QEvent* event) {
    if ((event->type() == QEvent::Show || event->type() == QEvent::Hide) && watched != this &&
        watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow()) {
        // After the window manager has placed it.
        QTimer::singleShot(50, this, &CTrueColorToolBar::keepOnTop);
    }
    return QWidget::eventFilter(watched, event);
}

QString CTrueColorToolBar::bitmapPath(int bitmapId) {
    initToolbarResources();
    return QStringLiteral(":/kalvo/toolbar/%1.bmp").arg(bitmapId);
}

QIcon programIcon(int iconId) {
    initToolbarResources();
    QIcon icon;
    for (int size : {16, 32, 48}) {
        const QString path = QStringLiteral(":/kalvo/toolbar/%1-%2.png").arg(iconId).arg(size);
        if (QFile::exists(path)) {
            icon.addFile(path);
        }
    }
    return icon;
}

bool CTrueColorToolBar::LoadTrueColorToolBar(int buttonWidth, int normalBitmap, int hotBitmap,
                                             int disabledBitmap) {
    if (!SetTrueColorBitmap(NormalImages, normalBitmap, buttonWidth)) {
        return false;
    }
    if (hotBitmap != 0 && !SetTrueColorBitmap(HotImages, hotBitmap, buttonWidth)) {
        return false;
    }
    if (disabledBitmap != 0 && !SetTrueColorBitmap(DisabledImages, disabledBitmap, buttonWidth)) {
        return false;
    }
    return true;
}

bool CTrueColorToolBar::SetTrueColorBitmap(ImageList which, int bitmapId, int buttonWidth) {
    const QImage strip(bitmapPath(bitmapId));
    const std::vector<QImage> images = splitTrueColorStrip(strip, buttonWidth);
    if (images.empty()) {
        return false;
    }
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        const QPixmap image = i < images.size() ? QPixmap::fromImage(images[i]) : QPixmap();
        switch (which) {
            case NormalImages:
                buttons_[i]->setNormalImage(image);
                break;
            case HotImages:
                buttons_[i]->setHotImage(image);
                break;
            case DisabledImages:
                buttons_[i]->setDisabledImage(image);
                break;
        }
    }
    if (which == NormalImages) {
        buttonSize_ = buttons_.front()->sizeHint();
        layoutButtons();
    }
    return true;
}

int CTrueColorToolBar::WrapToRows(int rows, bool larger) {
    const int count = buttonCount();
    rows = std::max(1, rows);
    // Fewer columns than needed for `rows` rows means more rows: allowed
    // only when `larger`.
    columns_ = larger ? std::max(1, count / rows) : std::max(1, (count + rows - 1) / rows);
    layoutButtons();
    return (count + columns_ - 1) / columns_;
}

void CTrueColorToolBar::layoutButtons() {
    const int count = buttonCount();
    const int rows = (count + columns_ - 1) / columns_;
    for (int i = 0; i < count; ++i) {
        buttons_[static_cast<std::size_t>(i)]->setGeometry(buttonRect(i));
    }
    setFixedSize(kBorder + kCaptionWidth + kGap + columns_ * buttonSize_.width() + kGap + kBorder,
                 kBorder + kGap + rows * buttonSize_.height() + kGap + kBorder);
}

QString CTrueColorToolBar::captionText() const {
    return QString::fromLatin1(kCaption);
}

QRect CTrueColorToolBar::windowRect() const {
    return frameGeometry();
}

ToolbarButton* CTrueColorToolBar::button(int index) const {
    if (index < 0 || index >= buttonCount()) {
        return nullptr;
    }
    return buttons_[static_cast<std::size_t>(index)];
}

ToolbarButton* CTrueColorToolBar::buttonForCommand(int command) const {
    for (ToolbarButton* b : buttons_) {
        if (b->command() == command) {
            return b;
        }
    }
    return nullptr;
}

QRect CTrueColorToolBar::buttonRect(int index) const {
    if (index < 0 || index >= buttonCount()) {
        return {};
    }
    const int column = index % columns_;
    const int row = index / columns_;
    return QRect(QPoint(kBorder + kCaptionWidth + kGap + column * buttonSize_.width(),
                        kBorder + kGap + row * buttonSize_.height()),
                 buttonSize_);
}

QRect CTrueColorToolBar::captionRect() const {
    return QRect(kBorder, kBorder, kCaptionWidth, height() - 2 * kBorder);
}

void CTrueColorToolBar::updateCommandStates(const std::function<bool(int)>& isEnabled) {
    isEnabled_ = isEnabled;
    for (ToolbarButton* b : buttons_) {
        b->setEnabled(isEnabled(b->command()));
    }
    if (contextMenu_ != nullptr) {
        for (QAction* action : contextMenu_->actions()) {
            const int command = action->objectName().toInt();
            if (command != 0 && command != ID_APP_ABOUT) {
                action->setEnabled(isEnabled(command));
            }
        }
    }
}

void CTrueColorToolBar::setHotButton(ToolbarButton* hot) {
    for (ToolbarButton* b : buttons_) {
        b->setHot(b == hot && b->isEnabled());
    }
}

bool CTrueColorToolBar::deliverMouseEvent(QEvent::Type type, QPoint pos, Qt::MouseButton button) {
    const bool inside = rect().contains(pos);
    ToolbarButton* target = nullptr;
    for (ToolbarButton* b : buttons_) {
        if (b->geometry().contains(pos)) {
            target = b;
        }
    }
    if (type == QEvent::MouseMove) {
        setHotButton(target);
    }
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease || type == QEvent::MouseMove
                                      ? Qt::MouseButtons(Qt::NoButton)
                                      : Qt::MouseButtons(button);
    const Qt::MouseButton which = type == QEvent::MouseMove ? Qt::NoButton : button;
    QWidget* receiver = target ? static_cast<QWidget*>(target) : this;
    // A release goes to the button that was pressed, wherever it happens.
    if (type == QEvent::MouseButtonRelease) {
        for (ToolbarButton* b : buttons_) {
            if (b->isDown()) {
                receiver = b;
            }
        }
    }
    const QPointF local = receiver->mapFrom(this, QPointF(pos));
    QMouseEvent event(type, local, QPointF(mapToGlobal(pos)), which, held, Qt::NoModifier);
    QCoreApplication::sendEvent(receiver, &event);
    return inside;
}

void CTrueColorToolBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kFace);
    painter.setPen(QColor(0x6B, 0x7B, 0x8C));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));

    const QRect caption = captionRect();
    QLinearGradient gradient(caption.bottomLeft(), caption.topLeft());
    gradient.setColorAt(0, QColor(0x0A, 0x24, 0x6A));
    gradient.setColorAt(1, QColor(0x3A, 0x6E, 0xC5));
    painter.fillRect(caption, gradient);

    // The caption reads upwards along the strip.
    QFont font = painter.font();
    font.setPixelSize(11);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.save();
    painter.translate(caption.left(), caption.bottom() + 1);
    painter.rotate(-90);
    painter.drawText(QRect(6, 0, caption.height() - 12, caption.width()),
                     Qt::AlignLeft | Qt::AlignVCenter, captionText());
    painter.restore();
}

void CTrueColorToolBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && captionRect().contains(event->position().toPoint())) {
        dragging_ = true;
        dragOffset_ = event->globalPosition().toPoint() - pos();
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void CTrueColorToolBar::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_) {
        move(event->globalPosition().toPoint() - dragOffset_);
        event->accept();
        return;
    }
    QWidget::mouseMoveEvent(event);
}

void CTrueColorToolBar::mouseReleaseEvent(QMouseEvent* event) {
    if (dragging_ && event->button() == Qt::LeftButton) {
        dragging_ = false;
        event->accept();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void CTrueColorToolBar::mouseDoubleClickEvent(QMouseEvent* event) {
    // A middle double-click brings the toolbar back where it is.
    if (event->button() == Qt::MiddleButton) {
        show();
        raise();
        event->accept();
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}

void CTrueColorToolBar::contextMenuEvent(QContextMenuEvent* event) {
    if (contextMenu_ == nullptr) {
        contextMenu_ = new QMenu(this);
        for (const auto& [command, text] : {std::pair{ID_EDIT_UNDO, "撤销(&U)\tCtrl+Z"},
                                            std::pair{ID_EDIT_REDO, "重做(&R)\tCtrl+Y"}}) {
            QAction* action = contextMenu_->addAction(QString::fromUtf8(text));
            action->setObjectName(QString::number(command));
            connect(action, &QAction::triggered, this,
                    [this, command = command] { emit commandTriggered(command); });
        }
        contextMenu_->addSeparator();
        QAction* about = contextMenu_->addAction(QStringLiteral("关于 Kalvo(&A)..."));
        about->setObjectName(QString::number(ID_APP_ABOUT));
        connect(about, &QAction::triggered, this, [this] { emit commandTriggered(ID_APP_ABOUT); });
    }
    if (isEnabled_) {
        updateCommandStates(isEnabled_);
    }
    contextMenu_->popup(event->globalPos());
    event->accept();
}

void CTrueColorToolBar::closeEvent(QCloseEvent* event) {
    // The toolbar stays until the program ends through its exit button (the
    // frame then hides it): closed any other way, nothing would be left to
    // end the program from.
    event->ignore();
}

bool CTrueColorToolBar::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::Leave) {
        setHotButton(nullptr);
    }
    if (event->type() == QEvent::Show) {
        stackTimer_.start();
    } else if (event->type() == QEvent::Hide) {
        stackTimer_.stop();
    }
    return handled;
}

}  // namespace kalvo
