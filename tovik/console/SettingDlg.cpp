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

CSettingDlg::CSettingDlg(CCameraDS& camera, MessagePresenter& messages,
                         const TrackingSettings& values, QWidget* parent)
    : QDialog(parent),
      SelectedDevice(CameraIndex),
      camera_(camera),
      messages_(messages),
      values_(values) {
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
    // Right click by holding still.
    const int holdRow = addExtraRow(LoadString(180));
    rightHold_ = AddCombo(this, du, ids::setting::RightHold, 73, holdRow + 1, 64, true);
    AddRightLabel(this, du, -1, 181, 147, holdRow + 3, 36, 9);
    rightRadius_ = AddCombo(this, du, ids::setting::RightRadius, 186, holdRow + 1, 40, true);

    // Accuracy options: one row of three switches.
    const int accuracyRow = addExtraRow(QStringLiteral("精度:"));
    lensCorrection_ =
        AddControl<QCheckBox>(this, du, ids::setting::LensCorrection, 73, accuracyRow + 3, 84, 11,
                              QStringLiteral("镜头畸变校正"));
    subPixelSpot_ = AddControl<QCheckBox>(this, du, ids::setting::SubPixelSpot, 161,
                                          accuracyRow + 3, 80, 11, QStringLiteral("亚像素光斑"));
    pointerSmoothing_ = AddControl<QCheckBox>(this, du, ids::setting::PointerSmoothing, 245,
                                              accuracyRow + 3, 80, 11, QStringLiteral("指针平滑"));
    lensCorrection_->setToolTip(QStringLiteral("下次标定起生效"));

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
    FillList(rightHold_, {0, 300, 500, 800, 1000, 1500, 2000, 3000});
    FillList(rightRadius_, {2, 4, 8, 12, 16, 24, 32, 50});
    amp_->setEnabled(values_.AutoTh == 0);
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

bool CSettingDlg::readKey(QComboBox* box, const char* key, int nameId) {
    const SettingKey& k = FindSettingKey(key);
    int value = 0;
    if (!readField(box, value, k.minimum, k.maximum, nameId)) {
        return false;
    }
    k.set(values_, value);
    return true;
}

bool CSettingDlg::UpdateData(bool fromControls) {
    TrackingSettings& v = values_;
    if (!fromControls) {
        amp_->setEditText(QString::number(v.Amp));
        area_->setEditText(QString::number(v.Area));
        areaUp_->setEditText(QString::number(v.AreaUp));
        move_->setEditText(QString::number(v.Move));
        mouseLeft_->setChecked(v.MouseLeft != 0);
        exposure_->setEditText(QString::number(v.RunExpoTime));
        device_->setCurrentIndex(SelectedDevice < device_->count() ? SelectedDevice : -1);
        f13Trig_->setChecked(v.F13Trig != 0);
        autoTh_->setChecked(v.AutoTh != 0);
        const int item = screen_->findData(QString::fromStdString(v.Screen));
        if (item >= 0) {
            screen_->setCurrentIndex(item);
        } else {
            screen_->setEditText(QString::fromStdString(v.Screen));
        }
        lensCorrection_->setChecked(v.LensCorrection != 0);
        subPixelSpot_->setChecked(v.SubPixelSpot != 0);
        pointerSmoothing_->setChecked(v.PointerSmoothing != 0);
        rightHold_->setEditText(QString::number(v.RightHold));
        rightRadius_->setEditText(QString::number(v.RightRadius));
        return true;
    }
    if (!readKey(amp_, "Amp", 120) || !readKey(area_, "Area", 121) ||
        !readKey(areaUp_, "AreaUp", 122) || !readKey(move_, "Move", 123)) {
        return false;
    }
    v.MouseLeft = mouseLeft_->isChecked() ? 1 : 0;
    if (!readKey(exposure_, "RunExpoTime", 126)) {
        return false;
    }
    if (device_->currentIndex() >= 0) {
        SelectedDevice = device_->currentIndex();
    }
    v.F13Trig = f13Trig_->isChecked() ? 1 : 0;
    v.AutoTh = autoTh_->isChecked() ? 1 : 0;
    // A listed item stores its monitor; typed text is taken as a name or
    // index as it stands.
    const int item = screen_->findText(screen_->currentText());
    v.Screen = (item >= 0 ? screen_->itemData(item).toString() : screen_->currentText().trimmed())
                   .toStdString();
    v.LensCorrection = lensCorrection_->isChecked() ? 1 : 0;
    v.SubPixelSpot = subPixelSpot_->isChecked() ? 1 : 0;
    v.PointerSmoothing = pointerSmoothing_->isChecked() ? 1 : 0;
    // 0 switches the hold off; any other value lies in 300..3000.
    int hold = v.RightHold;
    if (ParseIntegerField(rightHold_->currentText()) != 0 &&
        !readField(rightHold_, hold, 300, FindSettingKey("RightHold").maximum, 180)) {
        return false;
    }
    v.RightHold = ParseIntegerField(rightHold_->currentText()) == 0 ? 0 : hold;
    return readKey(rightRadius_, "RightRadius", 181);
}

void CSettingDlg::sendExposure() {
    camera_.SetExposure(values_.RunExpoTime, values_.RunExpoTime == 0);
}

void CSettingDlg::OnLoadDefaults() {
    // The two switches keep what the boxes show.
    values_.F13Trig = f13Trig_->isChecked() ? 1 : 0;
    values_.AutoTh = autoTh_->isChecked() ? 1 : 0;
    for (const char* key : {"Amp", "Area", "AreaUp", "Move", "RunExpoTime", "MouseLeft"}) {
        const SettingKey& k = FindSettingKey(key);
        k.set(values_, k.fileDefault);
    }
    UpdateData(false);
    sendExposure();
}

void CSettingDlg::OnExposureChanged(int index) {
    const int value = LeadingInteger(exposure_->itemText(index));
    // Fields typed but not confirmed go back to the stored values; the
    // exposure field shows the chosen item.
    values_.RunExpoTime = value;
    UpdateData(false);
    sendExposure();
}

void CSettingDlg::OnDeviceChanged(int index) {
    UpdateData(true);  // a bad field shows its message; the switch goes on
    SelectedDevice = index;
    camera_.CloseDevice();
    camera_.OpenDevice(SelectedDevice, false, 640, 480);
    camera_.SetImageControls(values_.camera);
    camera_.SetExposure(0, true);
    CameraIndex = SelectedDevice;
}

void CSettingDlg::OnAutoThresholdClicked() {
    UpdateData(true);
    values_.AutoTh = autoTh_->isChecked() ? 1 : 0;
    amp_->setEnabled(values_.AutoTh == 0);
}

void CSettingDlg::OnOK() {
    if (UpdateData(true)) {
        accept();
    }
}

}  // namespace tovik
