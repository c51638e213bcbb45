#include "tovik/console/SelectDlg.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "tovik/camera/CameraDS.h"
#include "tovik/console/CameraFrames.h"
#include "tovik/console/ControlIds.h"
#include "tovik/console/DialogBuilder.h"
#include "tovik/console/FrameView.h"

namespace tovik {

CSelectDlg::CSelectDlg(CCameraDS& camera, const ImageControls& values, QWidget* parent,
                       bool runTimer)
    : QDialog(parent),
      SelectedDevice(CameraIndex),
      camera_(camera),
      values_(values),
      runTimer_(runTimer) {
    setObjectName(QStringLiteral("204"));
    setFont(DialogFont(8));
    const DialogUnits du(font());
    setWindowTitle(QStringLiteral("调整摄像头"));
    setFixedSize(du.size(446, 222));

    preview_ = AddControl<FrameView>(this, du, ids::select::Preview, 7, 7, 285, 208);
    AddControl<QLabel>(this, du, -1, 307, 20, 25, 8, QStringLiteral("←预览"));
    list_ = AddControl<QComboBox>(this, du, ids::select::DeviceList, 307, 39, 48, 12);
    QRect r = list_->geometry();
    r.setHeight(std::max(r.height(), list_->sizeHint().height()));
    list_->setGeometry(r);
    select_ = AddControl<QPushButton>(this, du, ids::select::SelectDevice, 363, 38, 55, 14,
                                      QStringLiteral("选择/设置"));
    auto* properties = AddControl<QPushButton>(this, du, ids::select::VideoProperties, 363, 57, 55,
                                               14, QStringLiteral("视频属性"));
    // Enter ends the dialog; it never presses one of the buttons.
    select_->setAutoDefault(false);
    properties->setAutoDefault(false);

    connect(list_, &QComboBox::activated, this, &CSelectDlg::OnDeviceListChanged);
    connect(select_, &QPushButton::clicked, this, &CSelectDlg::OnSelectDevice);
    connect(properties, &QPushButton::clicked, this, &CSelectDlg::OnVideoProperties);
    timer_.setInterval(20);
    connect(&timer_, &QTimer::timeout, this, &CSelectDlg::previewTick);
    connect(this, &QDialog::finished, &timer_, &QTimer::stop);
}

void CSelectDlg::showEvent(QShowEvent* event) {
    if (!initialised_) {
        OnInitDialog();
    }
    QDialog::showEvent(event);
}

void CSelectDlg::OnInitDialog() {
    if (initialised_) {
        return;
    }
    initialised_ = true;
    DeviceCount = camera_.CountDevices();
    for (int i = 0; i < DeviceCount; ++i) {
        list_->addItem(QString::number(i));
    }
    list_->setCurrentIndex(SelectedDevice < DeviceCount ? SelectedDevice : -1);
    if (runTimer_) {
        timer_.start();
    }
    camera_.SetImageControls(values_);
}

void CSelectDlg::previewTick() {
    if (Switching != 0) {
        return;
    }
    if (GrabForDisplay(camera_, frame_)) {
        preview_->setFrame(frame_);
    }
}

void CSelectDlg::OnDeviceListChanged() {
    select_->setEnabled(true);
}

void CSelectDlg::OnSelectDevice() {
    Switching = 1;
    if (list_->currentIndex() >= 0) {
        SelectedDevice = list_->currentIndex();
    }
    CameraIndex = SelectedDevice;
    camera_.CloseDevice();
    camera_.OpenDevice(CameraIndex, true, 320, 240);
    select_->setEnabled(false);
    Switching = 0;
}

void CSelectDlg::OnVideoProperties() {
    camera_.ShowDeviceProperties();
    camera_.GetImageControls(values_);
}

void CSelectDlg::OnOK() {
    if (list_->currentIndex() >= 0) {
        SelectedDevice = list_->currentIndex();
    }
    accept();
}

void CSelectDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        OnOK();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CSelectDlg::closeEvent(QCloseEvent* event) {
    timer_.stop();
    QDialog::closeEvent(event);
}

}  // namespace tovik
