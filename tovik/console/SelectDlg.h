#pragma once
// "调整摄像头": a live picture of the camera, another device with its
// format, and the device's own properties, whose image values are read back.
// Takes the settings' image values, pushes them to the device when it opens
// and returns them, as the device's pages left them, however it ends.

#include <QDialog>
#include <QTimer>

#include <opencv2/core.hpp>

#include "tovik/camera/ImageControls.h"

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
    CSelectDlg(CCameraDS& camera, const ImageControls& values, QWidget* parent = nullptr,
               bool runTimer = true);

    int DeviceCount = 0;
    int Switching = 0;
    int SelectedDevice;  // CameraIndex at construction

    void OnInitDialog();
    void previewTick();  // timer 3
    void OnDeviceListChanged();
    void OnSelectDevice();
    void OnVideoProperties();
    void OnOK();

    [[nodiscard]] const ImageControls& values() const { return values_; }
    [[nodiscard]] FrameView* preview() const { return preview_; }

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    CCameraDS& camera_;
    ImageControls values_;
    bool runTimer_;
    bool initialised_ = false;
    QTimer timer_;
    cv::Mat frame_;
    FrameView* preview_ = nullptr;
    QComboBox* list_ = nullptr;
    QPushButton* select_ = nullptr;
};

}  // namespace tovik
