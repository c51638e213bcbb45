#pragma once
// The camera layer's dialogs as Qt dialogs: the format page lists the
// device's frame sizes; the properties dialog is generated from the device's
// controls and changes them live.

#include <QDialog>
#include <functional>

#include "tovik/camera/CameraDS.h"

class QListWidget;

namespace tovik {

// "Property Sheet": one line per frame size, the current one selected.
class FormatDialog final : public QDialog {
    Q_OBJECT
public:
    FormatDialog(const DeviceInfo& device, cv::Size current, QWidget* parent = nullptr);
    [[nodiscard]] std::optional<cv::Size> chosen() const;
    [[nodiscard]] QListWidget* list() const { return list_; }

private:
    std::vector<cv::Size> sizes_;
    QListWidget* list_ = nullptr;
};

// One row per control: sliders for integers, check boxes for switches, lists
// for menus, buttons for actions; every change goes to the device at once.
class PropertiesDialog final : public QDialog {
    Q_OBJECT
public:
    PropertiesDialog(const std::string& caption, CaptureBackend& backend,
                     QWidget* parent = nullptr);
};

class QtCameraDialogs final : public CameraDialogs {
public:
    std::optional<cv::Size> chooseFormat(const DeviceInfo& device, cv::Size current) override;
    void showProperties(const std::string& caption, CaptureBackend& backend) override;

    // Tests replace the modal run: the hook sees the dialog and returns its
    // result instead of exec().
    std::function<int(QDialog&)> runHook;

private:
    int run(QDialog& dialog);
};

}  // namespace tovik
