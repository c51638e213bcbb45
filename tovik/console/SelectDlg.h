#pragma once
// "调整摄像头": a live picture of the camera, another device with its
// format, and the device's own properties, whose image values are read back.

#include <QDialog>
#include <QTimer>

#include <opencv2/core.hpp>

class QComboBox;
class QPushButton;

namespace tovik {

class CCameraDS;
class FrameView;

class CSelectDlg final : public QDialog {
    Q_OBJECT
public:
    // With runTimer false the preview timer never starts; tests call
    // previewTick() instead.
    explicit CSelectDlg(CCameraDS& camera, QWidget* parent = nullptr, bool runTimer = true);

    int DeviceCount = 0;
    int Switching = 0;
    int SelectedDevice;  // CameraIndex at construction
    int camBrightness = 0;
    int camContrast = 10;
    int camHue = 0;
    int camSaturation = 4;
    int camSharpness = 4;
    int camGamma = 130;
    int camBacklightCompensation = 1;
    int camGain = 0;

    void OnInitDialog();
    void previewTick();  // timer 3
    void OnDeviceListChanged();
    void OnSelectDevice();
    void OnVideoProperties();
    void OnOK();

    [[nodiscard]] FrameView* preview() const { return preview_; }

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    CCameraDS& camera_;
    bool runTimer_;
    bool initialised_ = false;
    QTimer timer_;
    cv::Mat frame_;
    FrameView* preview_ = nullptr;
    QComboBox* list_ = nullptr;
    QPushButton* select_ = nullptr;
};

}  // namespace tovik
