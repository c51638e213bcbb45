#include "kalvo/ui/CMyView.h"

#include "kalvo/core/CMyDoc.h"
#include "kalvo/core/DrawingState.h"
#include "kalvo/core/ExternalTools.h"
#include "kalvo/core/PenPreferences.h"
#include "kalvo/core/ToolbarCommands.h"

namespace kalvo {

CMyView::CMyView(CMyDoc& doc, const common::ProgramPaths& paths, QWidget* parent)
    : QWidget(parent),
      m_iniPath(QString::fromStdString(paths.iniPath)),
      m_programFolder(QString::fromStdString(paths.programDir)),
      doc_(doc) {
    setObjectName(QStringLiteral("view"));
    const PenPreferences prefs = PenPreferences::load(paths.iniPath);
    DrawingState& state = drawingState();
    state.penColor = prefs.color;
    state.penStyle = prefs.style;
    state.penWidth = prefs.width;
    m_eraser = nullptr;

    SetCommandHandler(ID_CLEAR_BOARD, [this] { OnClearBoard(); });
    const std::pair<int, void (CMyView::*)()> widths[] = {
        {51, &CMyView::OnLineWidth1}, {52, &CMyView::OnLineWidth2}, {53, &CMyView::OnLineWidth3},
        {54, &CMyView::OnLineWidth4}, {55, &CMyView::OnLineWidth5}, {56, &CMyView::OnLineWidth6}};
    for (const auto& [command, slot] : widths) {
        SetCommandHandler(command, [this, slot = slot] { (this->*slot)(); });
    }
}

CMyView::~CMyView() {
    if (!preferencesSaved_) {
        (void)SavePreferences();
    }
}

common::FileWriteResult CMyView::SavePreferences() {
    preferencesSaved_ = true;
    const DrawingState& state = drawingState();
    PenPreferences prefs;
    prefs.color = state.penColor;
    prefs.style = state.penStyle;
    prefs.width = state.penWidth;
    return prefs.save(m_iniPath.toStdString());
}

void CMyView::SetCommandHandler(int command, Handler handler) {
    if (handler) {
        handlers_[command] = std::move(handler);
    } else {
        handlers_.erase(command);
    }
    emit commandHandlersChanged();
}

bool CMyView::HasCommandHandler(int command) const {
    return handlers_.count(command) != 0;
}

bool CMyView::OnCommand(int command) {
    const auto it = handlers_.find(command);
    if (it == handlers_.end()) {
        return false;
    }
    // Copy: a handler may replace its own slot.
    const Handler handler = it->second;
    handler();
    return true;
}

bool CMyView::IsCommandEnabled(int command) const {
    if (!HasCommandHandler(command)) {
        return false;
    }
    const DrawingState& state = drawingState();
    if (command == ID_DRAW_ON_SCREEN) {
        return state.boardActive == 0;
    }
    if (command == ID_WHITEBOARD) {
        return state.screenActive == 0;
    }
    return true;
}

void CMyView::SetExternalTools(ExternalTools* tools) {
    tools_ = tools;
    if (tools_) {
        SetCommandHandler(ID_VIRTUAL_KEYBOARD, [this] { OnVirtualKeyboard(); });
        SetCommandHandler(ID_HELP, [this] { OnHelp(); });
    } else {
        SetCommandHandler(ID_VIRTUAL_KEYBOARD, {});
        SetCommandHandler(ID_HELP, {});
    }
}

void CMyView::OnClearBoard() {
    doc_.ClearSegments();
    const std::int32_t mode = drawingState().mode;
    if (mode == kModeScreen || mode == kModeWhiteboard) {
        emit surfaceRefreshRequested(mode);
    }
}

void CMyView::OnLineWidth1() {
    drawingState().penWidth = 1;
}
void CMyView::OnLineWidth2() {
    drawingState().penWidth = 2;
}
void CMyView::OnLineWidth3() {
    drawingState().penWidth = 3;
}
void CMyView::OnLineWidth4() {
    drawingState().penWidth = 4;
}
void CMyView::OnLineWidth5() {
    drawingState().penWidth = 5;
}
void CMyView::OnLineWidth6() {
    drawingState().penWidth = 6;
}

void CMyView::OnVirtualKeyboard() {
    // Failures are silent, as with any shell request.
    if (tools_) {
        (void)tools_->startKeyboard();
    }
}

void CMyView::OnHelp() {
    if (tools_) {
        (void)tools_->openHelp();
    }
}

}  // namespace kalvo
