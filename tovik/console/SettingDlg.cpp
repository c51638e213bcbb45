#include "tovik/console/SettingDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "tovik/camera/CameraDS.h"
#include "tovik/console/ControlIds.h"
#include "tovik/console/DialogBuilder.h"
#include "tovik/console/IntegerField.h"
#include "tovik/console/MessagePresenter.h"
#include "tovik/console/StringTable.h"

namespace tovik {

namespace {

QComboBox* AddCombo(QWidget* parent, const DialogUnits& du, int id, int x, int y, int w,
                    bool editable) {
    auto* box = AddControl<QComboBox>(parent, du, id, x, y, w, 12);
    box->setEditable(editable);
    if (editable) {
        box->setInsertPolicy(QComboBox::NoInsert);
    }
    // The template's height includes the dropped list; the closed box takes
    // the height it needs.
    QRect r = box->geometry();
    r.setHeight(std::max(r.height(), box->sizeHint().height()));
    box->setGeometry(r);
    return box;
}

QLabel* AddRightLabel(QWidget* parent, const DialogUnits& du, int id, int stringId, int x, int y,
                      int w, int h) {
    auto* label = AddControl<QLabel>(parent, du, id, x, y, w, h, LoadString(stringId));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

void FillList(QComboBox* box, std::initializer_list<int> values) {
    for (const int v : values) {
        box->addItem(QString::number(v));
    }
}

}  // namespace

CSettingDlg::CSettingDlg(CCameraDS& camera, MessagePresenter& messages, QWidget* parent)
    : QDialog(parent), SelectedDevice(CameraIndex), camera_(camera), messages_(messages) {
    setObjectName(QStringLiteral("203"));
    setFont(DialogFont(8));
    const DialogUnits du(font());
    setWindowTitle(QStringLiteral("高级设置"));
    setFixedSize(du.size(347, 137));
    setStyleSheet(kClassicGroupBoxStyle);

    AddControl<QGroupBox>(this, du, 1089, 15, 13, 172, 94, LoadString(119));
    AddRightLabel(this, du, 1090, 120, 27, 32, 42, 9);
    amp_ = AddCombo(this, du, ids::setting::Amp, 73, 30, 64, true);
    autoTh_ =
        AddControl<QCheckBox>(this, du, ids::setting::AutoTh, 147, 32, 26, 10, LoadString(104));
    FitWidth(*autoTh_, du, 185);
    AddRightLabel(this, du, 1091, 121, 23, 50, 46, 9);
    area_ = AddCombo(this, du, ids::setting::Area, 73, 49, 64, true);
    AddRightLabel(this, du, 1092, 122, 25, 69, 44, 9);
    areaUp_ = AddCombo(this, du, ids::setting::AreaUp, 73, 68, 64, true);
    AddRightLabel(this, du, 1093, 123, 40, 88, 29, 9);
    move_ = AddCombo(this, du, ids::setting::Move, 73, 87, 64, true);

    AddControl<QGroupBox>(this, du, 1094, 193, 13, 134, 59, LoadString(125));
    AddRightLabel(this, du, 1095, 160, 205, 31, 50, 10);
    device_ = AddCombo(this, du, ids::setting::Device, 258, 29, 55, false);
    AddRightLabel(this, du, 1096, 126, 208, 50, 47, 10);
    exposure_ = AddCombo(this, du, ids::setting::Exposure, 258, 48, 55, true);
    auto* defaults =
        AddControl<QPushButton>(this, du, ids::setting::Defaults, 220, 80, 84, 24, LoadString(127));

    mouseLeft_ =
        AddControl<QCheckBox>(this, du, ids::setting::MouseLeft, 15, 114, 61, 11, LoadString(124));
    f13Trig_ =
        AddControl<QCheckBox>(this, du, ids::setting::F13Trig, 93, 114, 43, 11, LoadString(161));
    // Text on the left of the box.
    mouseLeft_->setLayoutDirection(Qt::RightToLeft);
    f13Trig_->setLayoutDirection(Qt::RightToLeft);
    FitWidth(*mouseLeft_, du, 92);
    FitWidth(*f13Trig_, du, 218);

    auto* ok = AddControl<QPushButton>(this, du, ids::IDOK, 219, 113, 50, 14, LoadString(133));
    auto* cancel =
        AddControl<QPushButton>(this, du, ids::IDCANCEL, 272, 113, 50, 14, LoadString(134));
    ok->setDefault(true);

    const int screenRow = addExtraRow(QStringLiteral("投影屏幕:"));
    screen_ = AddCombo(this, du, ids::setting::Screen, 73, screenRow + 1, 254, true);

    connect(ok, &QPushButton::clicked, this, &CSettingDlg::OnOK);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(defaults, &QPushButton::clicked, this, &CSettingDlg::OnLoadDefaults);
    connect(exposure_, &QComboBox::activated, this, &CSettingDlg::OnExposureChanged);
    connect(device_, &QComboBox::activated, this, &CSettingDlg::OnDeviceChanged);
    connect(autoTh_, &QCheckBox::clicked, this, &CSettingDlg::OnAutoThresholdClicked);
}

int CSettingDlg::addExtraRow(const QString& label) {
    const DialogUnits du(font());
    const int top = 137 + 18 * extraRows_;
    ++extraRows_;
    setFixedSize(du.size(347, 137 + 18 * extraRows_));
    auto* text = AddControl<QLabel>(this, du, -1, 15, top + 3, 54, 9, label);
    text->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return top;
}

void CSettingDlg::showEvent(QShowEvent* event) {
    if (!initialised_) {
        OnInitDialog();
    }
    QDialog::showEvent(event);
}

void CSettingDlg::OnInitDialog() {
    if (initialised_) {
        return;
    }
    initialised_ = true;
    setWindowTitle(LoadString(111));
    device_->setEnabled(Running == 0);
    FillList(amp_, {15,  20,  30,  40,  50,  60,  70,  80,  90,  100, 110,
                    120, 130, 140, 150, 180, 200, 210, 220, 230, 240, 255});
    FillList(area_, {2, 5, 10, 20, 30, 40, 50});
    FillList(areaUp_, {80, 100, 150, 200, 300});
    FillList(move_, {0, 2, 4, 8, 10, 12});
    FillList(exposure_, {-1, -2, -3, -4, -5, -6, -7, -8, -9, -10});
    amp_->setEnabled(AutoTh == 0);
    const int count = camera_.CountDevices();
    for (int i = 0; i < count; ++i) {
        device_->addItem(QString::number(i));
    }
    // Items carry the value written to the settings: "" for the primary,
    // else the monitor's name.
    screen_->addItem(QStringLiteral("主显示器"), QString());
    for (const common::Monitor& m : Monitors) {
        const QString name = QString::fromStdString(m.name);
        screen_->addItem(QStringLiteral("%1 (%2x%3+%4+%5)%6")
                             .arg(name)
                             .arg(m.rect.width)
                             .arg(m.rect.height)
                             .arg(m.rect.x)
                             .arg(m.rect.y)
                             .arg(m.primary ? QStringLiteral(" *") : QString()),
                         name);
    }
    UpdateData(false);
}

bool CSettingDlg::readField(QComboBox* box, int& member, int minimum, int maximum, int nameId) {
    const auto value = ParseIntegerField(box->currentText());
    if (!value || *value < minimum || *value > maximum) {
        messages_.show(this, RangeMessage(LoadString(nameId), minimum, maximum),
                       QStringLiteral("Tovik"), MessageIcon::Warning, MessageButtons::Ok);
        box->setFocus();
        if (box->lineEdit() != nullptr) {
            box->lineEdit()->selectAll();
        }
        return false;
    }
    member = *value;
    return true;
}

bool CSettingDlg::UpdateData(bool fromControls) {
    if (!fromControls) {
        amp_->setEditText(QString::number(Amp));
        area_->setEditText(QString::number(Area));
        areaUp_->setEditText(QString::number(AreaUp));
        move_->setEditText(QString::number(Move));
        mouseLeft_->setChecked(MouseLeft != 0);
        exposure_->setEditText(QString::number(RunExpoTime));
        device_->setCurrentIndex(SelectedDevice < device_->count() ? SelectedDevice : -1);
        f13Trig_->setChecked(F13Trig != 0);
        autoTh_->setChecked(AutoTh != 0);
        const int item = screen_->findData(QString::fromStdString(Screen));
        if (item >= 0) {
            screen_->setCurrentIndex(item);
        } else {
            screen_->setEditText(QString::fromStdString(Screen));
        }
        return true;
    }
    if (!readField(amp_, Amp, 1, 255, 120) || !readField(area_, Area, 1, 4000, 121) ||
        !readField(areaUp_, AreaUp, 2, 4000, 122) || !readField(move_, Move, 0, 12, 123)) {
        return false;
    }
    MouseLeft = mouseLeft_->isChecked() ? 1 : 0;
    if (!readField(exposure_, RunExpoTime, -10, 0, 126)) {
        return false;
    }
    if (device_->currentIndex() >= 0) {
        SelectedDevice = device_->currentIndex();
    }
    F13Trig = f13Trig_->isChecked() ? 1 : 0;
    AutoTh = autoTh_->isChecked() ? 1 : 0;
    // A listed item stores its monitor; typed text is taken as a name or
    // index as it stands.
    const int item = screen_->findText(screen_->currentText());
    Screen = (item >= 0 ? screen_->itemData(item).toString() : screen_->currentText().trimmed())
                 .toStdString();
    return true;
}

void CSettingDlg::sendExposure() {
    camera_.SetExposure(RunExpoTime, RunExpoTime == 0);
}

void CSettingDlg::OnLoadDefaults() {
    // The two switches keep what the boxes show.
    F13Trig = f13Trig_->isChecked() ? 1 : 0;
    AutoTh = autoTh_->isChecked() ? 1 : 0;
    Amp = 180;
    Area = 5;
    AreaUp = 1000;
    Move = 5;
    RunExpoTime = -6;
    MouseLeft = 1;
    UpdateData(false);
    sendExposure();
}

void CSettingDlg::OnExposureChanged(int index) {
    const int value = LeadingInteger(exposure_->itemText(index));
    // Fields typed but not confirmed go back to the stored values; the
    // exposure field shows the chosen item.
    RunExpoTime = value;
    UpdateData(false);
    sendExposure();
}

void CSettingDlg::OnDeviceChanged(int index) {
    UpdateData(true);  // a bad field shows its message; the switch goes on
    SelectedDevice = index;
    camera_.CloseDevice();
    camera_.OpenDevice(SelectedDevice, false, 640, 480);
    camera_.SetImageControls(camBrightness, camContrast, camHue, camSaturation, camSharpness,
                             camGamma, camBacklightCompensation, camGain);
    camera_.SetExposure(0, true);
    CameraIndex = SelectedDevice;
}

void CSettingDlg::OnAutoThresholdClicked() {
    UpdateData(true);
    AutoTh = autoTh_->isChecked() ? 1 : 0;
    amp_->setEnabled(AutoTh == 0);
}

void CSettingDlg::OnOK() {
    if (UpdateData(true)) {
        accept();
    }
}

}  // namespace tovik
