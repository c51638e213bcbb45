#pragma once
// "高级设置": edits the tracking values of the settings record, tries
// exposure values on the camera at once and switches the capture device.
// It takes the settings as a value and, after Accepted, values() holds them
// as the user left them.

#include <QDialog>
#include <string>
#include <vector>

#include "common/platform/ScreenInfo.h"
#include "tovik/tracking/TrackingSettings.h"

class QCheckBox;
class QComboBox;
class QPushButton;

namespace tovik {

class CCameraDS;
class MessagePresenter;

class CSettingDlg final : public QDialog {
    Q_OBJECT
public:
    CSettingDlg(CCameraDS& camera, MessagePresenter& messages, const TrackingSettings& values,
                QWidget* parent = nullptr);

    // The settings as the fields last stored them; the camera values are used
    // when switching devices and come back unchanged.
    [[nodiscard]] const TrackingSettings& values() const { return values_; }

    int SelectedDevice;  // CameraIndex at construction
    int Running = 0;     // read only: the device cannot be switched while tracking runs
    // The monitors the "Screen" list offers.
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
    // Stores the field in the key of that name when it lies in the key's range.
    bool readKey(QComboBox* box, const char* key, int nameId);
    void sendExposure();

    CCameraDS& camera_;
    MessagePresenter& messages_;
    TrackingSettings values_;
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
    // Accuracy options.
    QCheckBox* lensCorrection_ = nullptr;
    QCheckBox* subPixelSpot_ = nullptr;
    QCheckBox* pointerSmoothing_ = nullptr;
    QComboBox* rightHold_ = nullptr;
    QComboBox* rightRadius_ = nullptr;
};

}  // namespace tovik
