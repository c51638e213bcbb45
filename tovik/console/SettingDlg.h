#pragma once
// "高级设置": edits the tracking values of the settings record, tries
// exposure values on the camera at once and switches the capture device.
// The owner fills the public members before running it and reads them back
// after Accepted.

#include <QDialog>
#include <string>
#include <vector>

#include "common/platform/ScreenInfo.h"

class QCheckBox;
class QComboBox;
class QPushButton;

namespace tovik {

class CCameraDS;
class MessagePresenter;

class CSettingDlg final : public QDialog {
    Q_OBJECT
public:
    CSettingDlg(CCameraDS& camera, MessagePresenter& messages, QWidget* parent = nullptr);

    int camBrightness = 0;
    int camContrast = 0;
    int camHue = 0;
    int camSaturation = 0;
    int camSharpness = 0;
    int camGamma = 0;
    int camBacklightCompensation = 0;
    int camGain = 0;
    int SelectedDevice;  // CameraIndex at construction
    int Amp = 0;
    int Area = 0;
    int AreaUp = 0;
    int Move = 0;
    int RunExpoTime = -8;
    int MouseLeft = 1;
    int F13Trig = 1;
    int Running = 0;  // read only: the device cannot be switched while tracking runs
    int AutoTh = 1;
    // The projected monitor: a name, an index, or empty for the primary; the
    // list offers the monitors there are.
    std::string Screen;
    std::vector<common::Monitor> Monitors;

    // Fills the lists and shows the members; runs once, when the dialog is
    // first shown.
    void OnInitDialog();
    // Exchange with the controls. From the controls, fields are checked in
    // order and the first bad one shows its range, takes the focus and stops
    // the exchange (the fields before it are stored).
    bool UpdateData(bool fromControls);

    void OnLoadDefaults();
    void OnExposureChanged(int index);
    void OnDeviceChanged(int index);
    void OnAutoThresholdClicked();
    void OnOK();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // A row below the original controls for a setting they lack: the dialog
    // grows by one row; returns the row's top in dialog units.
    int addExtraRow(const QString& label);
    bool readField(QComboBox* box, int& member, int minimum, int maximum, int nameId);
    void sendExposure();

    CCameraDS& camera_;
    MessagePresenter& messages_;
    bool initialised_ = false;

    QComboBox* amp_ = nullptr;
    QComboBox* area_ = nullptr;
    QComboBox* areaUp_ = nullptr;
    QComboBox* move_ = nullptr;
    QComboBox* device_ = nullptr;
    QComboBox* exposure_ = nullptr;
    QCheckBox* autoTh_ = nullptr;
    QCheckBox* mouseLeft_ = nullptr;
    QCheckBox* f13Trig_ = nullptr;
    QComboBox* screen_ = nullptr;
    int extraRows_ = 0;
};

}  // namespace tovik
