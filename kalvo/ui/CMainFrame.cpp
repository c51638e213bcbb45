#include "kalvo/ui/CMainFrame.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QScreen>

#include "kalvo/core/ExternalTools.h"
#include "kalvo/core/PenPreferences.h"
#include "kalvo/core/ToolbarCommands.h"
#include "kalvo/core/ToolbarPlacement.h"
#include "kalvo/ui/CMyView.h"
#include "kalvo/ui/CTrueColorToolBar.h"

namespace kalvo {

namespace {

// Command states are refreshed after every command and, for changes made
// elsewhere, at this pace.
constexpr int kStateRefreshMs = 250;

QSize primaryScreenSize() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().size() : QSize(800, 600);
}

}  // namespace

CMainFrame::CMainFrame(CMyDoc& doc, const common::ProgramPaths& paths)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint),
      m_iniPath(QString::fromStdString(paths.iniPath)),
      doc_(doc) {
    setObjectName(QStringLiteral("mainFrame"));
    // Out of sight: the position keys of the last run are not applied.
    setGeometry(QRect(kFrameOrigin, QSize(0, 0)));
    view_ = new CMyView(doc, paths, this);
    view_->setGeometry(0, 0, 0, 0);
    connect(view_, &CMyView::commandHandlersChanged, this, &CMainFrame::UpdateToolbarStates);
    stateTimer_.setInterval(kStateRefreshMs);
    connect(&stateTimer_, &QTimer::timeout, this, &CMainFrame::UpdateToolbarStates);
}

CMainFrame::~CMainFrame() = default;

bool CMainFrame::OnCreate() {
    m_wndToolBar = std::make_unique<CTrueColorToolBar>();
    if (!m_wndToolBar->LoadTrueColorToolBar(kToolbarImageWidth, IDB_NONE_NORMAL, IDB_NONE_HOT,
                                            IDB_NONE_NORMAL)) {
        m_wndToolBar.reset();
        return false;
    }
    connect(m_wndToolBar.get(), &CTrueColorToolBar::commandTriggered, this,
            [this](int command) { OnCommand(command); });

    setWindowTitle(QString::fromLatin1(kTitle));
    const QIcon icon = programIcon(IDI_MAIN_FRAME);
    setWindowIcon(icon);
    m_wndToolBar->setWindowIcon(icon);

    const QSize screen = primaryScreenSize();
    FloatToolBarInRows(*m_wndToolBar, 11, true, QPoint(screen.width() - 50, screen.height() - 400));
    UpdateToolbarStates();
    m_wndToolBar->show();
    stateTimer_.start();
    return true;
}

int CMainFrame::FloatToolBarInRows(CTrueColorToolBar& bar, int rows, bool larger, QPoint point) {
    // The frame has no border: its client origin is its position.
    const QPoint screenPoint = pos() + point;
    const int used = bar.WrapToRows(rows, larger);
    bar.move(keepOnScreen(screenPoint, bar.size(), primaryScreenSize()));
    return used;
}

bool CMainFrame::OnCommand(int command) {
    bool handled = view_ && view_->OnCommand(command);
    if (!handled && command == ID_EXIT) {
        close();
        handled = true;
    }
    if (!closed_) {
        UpdateToolbarStates();
    }
    return handled;
}

bool CMainFrame::IsCommandEnabled(int command) const {
    if (command == ID_EXIT) {
        return true;
    }
    return view_ && view_->IsCommandEnabled(command);
}

void CMainFrame::UpdateToolbarStates() {
    if (m_wndToolBar) {
        m_wndToolBar->updateCommandStates(
            [this](int command) { return IsCommandEnabled(command); });
    }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (closed_) {
        event->accept();
        return;
    }
    closed_ = true;
    stateTimer_.stop();
    const QPoint topLeft = frameGeometry().topLeft();
    const std::string ini = m_iniPath.toStdString();
    common::FileWriteResult saved = saveFramePosition(ini, topLeft.x(), topLeft.y());
    if (view_) {
        // The pen preferences, after the position; the view then does not
        // write them again when it ends.
        if (const common::FileWriteResult pen = view_->SavePreferences(); saved.ok()) {
            saved = pen;
        }
        // The keyboard started from the toolbar goes with the program.
        if (ExternalTools* tools = view_->GetExternalTools()) {
            tools->stopKeyboard();
        }
        delete view_;
        view_ = nullptr;
    }
    if (!saved.ok() && m_reportError) {
        m_reportError(QStringLiteral("Kalvo 未能保存画笔设置（颜色和线宽）\n") +
                      QString::fromStdString(saved.describe(ini)));
    }
    if (m_wndToolBar) {
        m_wndToolBar->hide();
    }
    event->accept();
    emit closed();
}

}  // namespace kalvo
