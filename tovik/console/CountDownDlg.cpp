#include "tovik/console/CountDownDlg.h"

#include <QLabel>
#include <QPushButton>

#include "tovik/console/ControlIds.h"
#include "tovik/console/DialogBuilder.h"
#include "tovik/console/StringTable.h"

namespace tovik {

CCountDownDlg::CCountDownDlg(QWidget* parent, bool runTimer)
    : QDialog(parent), runTimer_(runTimer) {
    setObjectName(QStringLiteral("202"));
    setFont(DialogFont(8));
    const DialogUnits du(font());
    setWindowTitle(QStringLiteral("标定完成"));
    setFixedSize(du.size(139, 62));

    label_ = AddControl<QLabel>(this, du, ids::countdown::Text, 25, 18, 88, 8,
                                QStringLiteral("5 秒后自动运行..."));
    auto* now =
        AddControl<QPushButton>(this, du, ids::IDOK, 18, 35, 50, 14, QStringLiteral("立即运行"));
    auto* later = AddControl<QPushButton>(this, du, ids::IDCANCEL, 71, 35, 50, 14,
                                          QStringLiteral("稍后运行"));
    now->setDefault(true);
    connect(now, &QPushButton::clicked, this, &CCountDownDlg::onOK);
    connect(later, &QPushButton::clicked, this, &CCountDownDlg::onCancel);

    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, &CCountDownDlg::tick);
    connect(this, &QDialog::rejected, &timer_, &QTimer::stop);
}

void CCountDownDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!initialised_) {
        initialised_ = true;
        if (runTimer_) {
            timer_.start();
        }
    }
}

void CCountDownDlg::tick() {
    SecondsLeft -= 1;
    label_->setText(QString::number(SecondsLeft) + LoadString(136));
    if (SecondsLeft <= 0) {
        onOK();
    }
}

QString CCountDownDlg::text() const {
    return label_->text();
}

void CCountDownDlg::onOK() {
    timer_.stop();
    accept();
}

void CCountDownDlg::onCancel() {
    timer_.stop();
    reject();
}

}  // namespace tovik
