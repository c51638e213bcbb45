#include "kalvo/ui/CMyColorDlg.h"

#include <QGuiApplication>
#include <QScreen>

#include "kalvo/core/ColorDialogPlacement.h"

namespace kalvo {

CMYCOLORDLG::CMYCOLORDLG(COLORREF initial, QRect toolbarRect, QRect buttonRect, QWidget* parent)
    : QColorDialog(QColor(colorRed(initial), colorGreen(initial), colorBlue(initial)), parent),
      m_toolbarRect(toolbarRect),
      m_buttonRect(buttonRect) {
    // Our own widget dialog, so that it can be placed at the button.
    setOption(QColorDialog::DontUseNativeDialog, true);
    setWindowTitle(QStringLiteral("颜色"));
}

void CMYCOLORDLG::showEvent(QShowEvent* event) {
    QColorDialog::showEvent(event);
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize screenSize = screen != nullptr ? screen->geometry().size() : QSize(1024, 768);
    move(PlaceColorDialog(m_toolbarRect, m_buttonRect, frameGeometry().size(), screenSize));
}

COLORREF CMYCOLORDLG::chosenColorRef() const {
    const QColor c = selectedColor().isValid() ? selectedColor() : currentColor();
    return makeColorRef(c.red(), c.green(), c.blue());
}

std::optional<COLORREF> CMYCOLORDLG::ChooseColor(COLORREF current, QRect toolbarRect,
                                                 QRect buttonRect, QWidget* parent) {
    CMYCOLORDLG dlg(current, toolbarRect, buttonRect, parent);
    if (dlg.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dlg.chosenColorRef();
}

}  // namespace kalvo
