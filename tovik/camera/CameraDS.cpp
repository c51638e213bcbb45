#include "tovik/camera/CameraDS.h"

#include <chrono>
#include <utility>

namespace tovik {

namespace {

// A grab gives up after this long, so an unplugged camera cannot stall the
// detection thread or the exit sequence.
constexpr std::chrono::milliseconds kGrabTimeout{1000};

// The five results that stop a push or a read; hue and gain are not examined.
bool isChecked(ImageControl c) {
    return c != ImageControl::Hue && c != ImageControl::Gain;
}

const char* setFailure(ImageControl c) {
    switch (c) {
        case ImageControl::Brightness:
            return "Set Brightness Param Failed";
        case ImageControl::Contrast:
            return "Set Contrast Param Failed";
        case ImageControl::Saturation:
            return "Set Saturation Param Failed";
        case ImageControl::Sharpness:
            return "Set Sharpness Param Failed";
        case ImageControl::Gamma:
            return "Set Gamma Param Failed";
        case ImageControl::BacklightCompensation:
            return "Set BacklightCompensation Param Failed";
        case ImageControl::Hue:
        case ImageControl::Gain:
            break;
    }
    return "";
}

const char* getFailure(ImageControl c) {
    switch (c) {
        case ImageControl::Brightness:
            return "Get Brightness Param Failed";
        case ImageControl::Contrast:
            return "Get Contrast Param Failed";
        case ImageControl::Saturation:
            return "Get Saturation Param Failed";
        case ImageControl::Sharpness:
            return "Get Sharpness Param Failed";
        case ImageControl::Gamma:
            return "Get Gamma Param Failed";
        case ImageControl::BacklightCompensation:
            return "Get BacklightCompensation Param Failed";
        case ImageControl::Hue:
        case ImageControl::Gain:
            break;
    }
    return "";
}

}  // namespace

int CameraIndex = 0;

CCameraDS& theCamera() {
    static CCameraDS camera;
    return camera;
}

CCameraDS::CCameraDS() = default;

CCameraDS::~CCameraDS() {
    CloseDevice();
}

void CCameraDS::setBackend(std::unique_ptr<CaptureBackend> backend) {
    CloseDevice();
    backend_ = std::move(backend);
}

void CCameraDS::setMessageSink(MessageSink* sink) {
    sink_ = sink;
}

void CCameraDS::setDialogs(CameraDialogs* dialogs) {
    dialogs_ = dialogs;
}

void CCameraDS::message(const char* text) {
    if (sink_ != nullptr) {
        sink_->showMessage(text);
    }
}

int CCameraDS::CountDevices() {
    return static_cast<int>(Devices().size());
}

std::vector<DeviceInfo> CCameraDS::Devices() {
    if (!backend_) {
        return {};
    }
    return backend_->enumerate();
}

bool CCameraDS::OpenDevice(int index, bool showFormatPage, int width, int height) {
    // Opening over an open device replaces it: the back ends hold one device.
    CloseDevice();
    if (!backend_ || index < 0) {
        return false;
    }
    const std::vector<DeviceInfo> devices = backend_->enumerate();
    if (index >= static_cast<int>(devices.size())) {
        return false;
    }
    cv::Size size(width, height);
    if (showFormatPage) {
        // The device's current format is listed first; the page starts there
        // and a page closed without a choice connects with it.
        const DeviceInfo& device = devices[static_cast<size_t>(index)];
        const cv::Size current = device.frameSizes.empty() ? cv::Size() : device.frameSizes[0];
        size = current;
        if (dialogs_ != nullptr) {
            size = dialogs_->chooseFormat(device, current).value_or(current);
        }
        if (size.empty()) {
            return false;
        }
    }
    if (size.width <= 0 || size.height <= 0 || !backend_->open(index, size)) {
        return false;
    }
    const cv::Size actual = backend_->frameSize();
    connected_ = true;
    frameWidth_ = actual.width;
    frameHeight_ = actual.height;
    openIndex_ = index;
    return true;
}

std::string CCameraDS::lastError() const {
    return backend_ ? backend_->lastError() : std::string();
}

cv::Mat* CCameraDS::GrabFrame() {
    if (!connected_ || !backend_) {
        return nullptr;
    }
    if (!backend_->grab(frameImage_, kGrabTimeout)) {
        return nullptr;
    }
    if (frameImage_.type() != CV_8UC3 || frameImage_.empty()) {
        return nullptr;
    }
    frameWidth_ = frameImage_.cols;
    frameHeight_ = frameImage_.rows;
    return &frameImage_;
}

void CCameraDS::CloseDevice() {
    if (backend_ && backend_->isOpen()) {
        backend_->close();
    }
    frameImage_.release();
    connected_ = false;
    frameWidth_ = 0;
    frameHeight_ = 0;
    openIndex_ = -1;
}

bool CCameraDS::SetExposure(int value, bool automatic) {
    if (!backend_ || !backend_->isOpen() || !backend_->hasExposureControl()) {
        message("QueryInterface Failed");
        return false;
    }
    if (!backend_->setExposure(automatic ? 0 : value, automatic)) {
        message("Set Exposure Param Failed");
        return false;
    }
    return true;
}

bool CCameraDS::SetImageControls(const ImageControls& values) {
    if (!backend_ || !backend_->isOpen() || !backend_->hasImageControls()) {
        message("QueryInterface Failed");
        return false;
    }
    for (std::size_t i = 0; i < kImageControlMembers.size(); ++i) {
        const auto c = static_cast<ImageControl>(i);
        const bool ok = backend_->setImageControl(c, values.*kImageControlMembers[i]);
        if (!ok && isChecked(c)) {
            message(setFailure(c));
            return false;
        }
    }
    return true;
}

bool CCameraDS::GetImageControls(ImageControls& values) {
    if (!backend_ || !backend_->isOpen() || !backend_->hasImageControls()) {
        message("QueryInterface Failed");
        return false;
    }
    for (std::size_t i = 0; i < kImageControlMembers.size(); ++i) {
        const auto c = static_cast<ImageControl>(i);
        const std::optional<int> value = backend_->getImageControl(c);
        if (value) {
            values.*kImageControlMembers[i] = *value;
        } else if (isChecked(c)) {
            message(getFailure(c));
            return false;
        }
    }
    return true;
}

void CCameraDS::ShowDeviceProperties() {
    if (!backend_ || !backend_->isOpen() || dialogs_ == nullptr) {
        return;
    }
    if (backend_->controls().empty()) {
        return;
    }
    std::string caption;
    const std::vector<DeviceInfo> devices = backend_->enumerate();
    if (openIndex_ >= 0 && openIndex_ < static_cast<int>(devices.size())) {
        caption = devices[static_cast<size_t>(openIndex_)].name;
    }
    dialogs_->showProperties(caption, *backend_);
}

}  // namespace tovik
