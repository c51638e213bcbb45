#include "kalvo/ui/CAboutDlg.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "kalvo/core/ToolbarCommands.h"
#include "kalvo/ui/CTrueColorToolBar.h"

namespace kalvo {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("100"));
    setWindowTitle(QString::fromUtf8(kTitle));
    setWindowIcon(programIcon(IDI_MAIN_FRAME));

    auto* layout = new QGridLayout(this);
    auto* icon = new QLabel(this);
    icon->setPixmap(programIcon(IDI_MAIN_FRAME).pixmap(32));
    layout->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(new QLabel(QStringLiteral("Kalvo 2.4.1"), this), 0, 1);
    layout->addWidget(new QLabel(QStringLiteral("在屏幕上或白板上书写"), this), 1, 1);
    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("1"));
    ok->setDefault(true);
    layout->addWidget(ok, 0, 2, Qt::AlignTop);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace kalvo
