#include "tovik/console/AboutDlg.h"

#include <QLabel>
#include <QPushButton>

#include "tovik/console/ControlIds.h"
#include "tovik/console/DialogBuilder.h"
#include "tovik/console/ProgramIcon.h"

namespace tovik {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("100"));
    setFont(DialogFont(9));
    const DialogUnits du(font());
    setWindowTitle(QStringLiteral("`"));
    setFixedSize(du.size(259, 79));

    auto* icon = AddControl<QLabel>(this, du, -1, 11, 14, 21, 20);
    const QRect iconRect = du.rect(11, 14, 21, 20);
    icon->setPixmap(ProgramIcon().pixmap(std::min(iconRect.width(), iconRect.height())));

    AddControl<QLabel>(this, du, -1, 40, 10, 150, 10, QStringLiteral("Tovik 2.4.1"));
    AddControl<QLabel>(this, du, -1, 40, 26, 150, 10, QStringLiteral("光笔控制台"));
    AddControl<QLabel>(this, du, -1, 40, 40, 150, 10, QStringLiteral("Tovik 开发组"));
    AddControl<QLabel>(this, du, 1045, 40, 54, 150, 10, QStringLiteral("Linux 版"));

    auto* ok = AddControl<QPushButton>(this, du, ids::IDOK, 202, 7, 50, 14, QStringLiteral("确定"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace tovik
