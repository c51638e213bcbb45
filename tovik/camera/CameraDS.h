#pragma once
// The process's one camera: counts devices, opens one, hands out frames on
// request and drives its exposure and image controls.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "tovik/camera/CaptureBackend.h"
#include "tovik/camera/MessageSink.h"

namespace tovik {

// What the console offers the camera layer: the format page (choose one of
// the device's frame sizes) and the device's properties dialog.
class CameraDialogs {
public:
    virtual ~CameraDialogs() = default;
    // Empty when the user closed the page without choosing.
    virtual std::optional<cv::Size> chooseFormat(const DeviceInfo& device, cv::Size current) = 0;
    // Modal; changes act on the device at once through the backend.
    virtual void showProperties(const std::string& caption, CaptureBackend& backend) = 0;
};

class CCameraDS {
public:
    CCameraDS();
    virtual ~CCameraDS();

    // Chosen once at start-up; the previous backend is closed.
    void setBackend(std::unique_ptr<CaptureBackend> backend);
    void setMessageSink(MessageSink* sink);
    void setDialogs(CameraDialogs* dialogs);
    [[nodiscard]] CaptureBackend* backend() { return backend_.get(); }

    int CountDevices();
    [[nodiscard]] std::vector<DeviceInfo> Devices();
    // Without the format page, opens at width x height and fails when the
    // device does not deliver it; with it, the size chosen on the page (the
    // current one when the page is closed without a choice).
    bool OpenDevice(int index, bool showFormatPage, int width, int height);
    // The frame image, reused across grabs; null when no frame came within
    // about one second or no device is open. Callers skip that tick.
    cv::Mat* GrabFrame();
    void CloseDevice();

    bool SetExposure(int value, bool automatic);
    bool SetImageControls(const ImageControls& values);
    // Fills `values` from the device; a control that cannot be read keeps its value.
    bool GetImageControls(ImageControls& values);
    void ShowDeviceProperties();

    // Why the last OpenDevice failed, for the user; empty when it did not.
    [[nodiscard]] std::string lastError() const;

    [[nodiscard]] bool connected() const { return connected_; }
    [[nodiscard]] int frameWidth() const { return frameWidth_; }
    [[nodiscard]] int frameHeight() const { return frameHeight_; }

private:
    void message(const char* text);

    std::unique_ptr<CaptureBackend> backend_;
    MessageSink* sink_ = nullptr;
    CameraDialogs* dialogs_ = nullptr;
    cv::Mat frameImage_;
    bool connected_ = false;
    int frameWidth_ = 0;
    int frameHeight_ = 0;
    int openIndex_ = -1;
};

// The process-wide camera and the selected device number (0 at start).
CCameraDS& theCamera();
extern int CameraIndex;

}  // namespace tovik
