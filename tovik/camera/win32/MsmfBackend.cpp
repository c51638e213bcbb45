#include "tovik/camera/win32/MsmfBackend.h"

// windows.h first: the other system headers build on it.
#include <windows.h>

#include <dshow.h>
#include <mfapi.h>
#include <mfidl.h>
#include <strmif.h>

#include <algorithm>
#include <thread>

namespace tovik {

namespace {

// Releases a COM interface at the end of its scope.
template <class T>
class Com {
public:
    Com() = default;
    ~Com() { reset(); }
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    T** out() {
        reset();
        return &p_;
    }
    T* operator->() const { return p_; }
    T* get() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    void reset() {
        if (p_) {
            p_->Release();
            p_ = nullptr;
        }
    }

private:
    T* p_ = nullptr;
};

std::string narrow(const wchar_t* text) {
    if (!text || !*text) {
        return {};
    }
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n - 1 : 0), '\0');
    if (n > 1) {
        WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    }
    return out;
}

// COM and Media Foundation for the calling thread, for one listing.
class MfSession {
public:
    MfSession() {
        const HRESULT co = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        // Another apartment already set up on this thread (a GUI thread) is fine.
        comOwned_ = SUCCEEDED(co);
        ok_ = SUCCEEDED(MFStartup(MF_VERSION, MFSTARTUP_LITE));
    }
    ~MfSession() {
        if (ok_) {
            MFShutdown();
        }
        if (comOwned_) {
            CoUninitialize();
        }
    }
    MfSession(const MfSession&) = delete;
    MfSession& operator=(const MfSession&) = delete;
    [[nodiscard]] bool ok() const { return ok_; }

private:
    bool comOwned_ = false;
    bool ok_ = false;
};

// A failed activation: the device exists but another program holds it.
bool busyResult(HRESULT hr) {
    return hr == E_ACCESSDENIED || hr == HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION) ||
           hr == static_cast<HRESULT>(0xC00D3704L);  // MF_E_HW_MFT_FAILED_START_STREAMING
}

std::string busyProblem(const std::string& name) {
    return name + " is busy: another program is using the camera; close it and try again";
}

// The image controls as the video processing amplifier numbers them.
constexpr long kProcAmp[] = {
    VideoProcAmp_Brightness,
    VideoProcAmp_Contrast,
    VideoProcAmp_Hue,
    VideoProcAmp_Saturation,
    VideoProcAmp_Sharpness,
    VideoProcAmp_Gamma,
    VideoProcAmp_BacklightCompensation,
    VideoProcAmp_Gain,
};
constexpr const char* kControlNames[] = {
    "Brightness", "Contrast", "Hue", "Saturation", "Sharpness", "Gamma", "Backlight compensation",
    "Gain",
};
constexpr int kCvProps[] = {
    cv::CAP_PROP_BRIGHTNESS, cv::CAP_PROP_CONTRAST, cv::CAP_PROP_HUE,       cv::CAP_PROP_SATURATION,
    cv::CAP_PROP_SHARPNESS,  cv::CAP_PROP_GAMMA,    cv::CAP_PROP_BACKLIGHT, cv::CAP_PROP_GAIN,
};

struct Device {
    std::string name;
    std::vector<cv::Size> sizes;
    std::vector<double> rates;
    std::string problem;
    std::vector<ControlInfo> controls;  // ranges of the image controls and exposure
};

void readFormats(IMFMediaSource* source, Device& d) {
    Com<IMFPresentationDescriptor> pd;
    if (FAILED(source->CreatePresentationDescriptor(pd.out()))) {
        return;
    }
    BOOL selected = FALSE;
    Com<IMFStreamDescriptor> sd;
    if (FAILED(pd->GetStreamDescriptorByIndex(0, &selected, sd.out()))) {
        return;
    }
    Com<IMFMediaTypeHandler> handler;
    DWORD count = 0;
    if (FAILED(sd->GetMediaTypeHandler(handler.out())) ||
        FAILED(handler->GetMediaTypeCount(&count))) {
        return;
    }
    for (DWORD i = 0; i < count; ++i) {
        Com<IMFMediaType> type;
        if (FAILED(handler->GetMediaTypeByIndex(i, type.out()))) {
            continue;
        }
        UINT32 w = 0;
        UINT32 h = 0;
        UINT32 num = 0;
        UINT32 den = 0;
        if (FAILED(MFGetAttributeSize(type.get(), MF_MT_FRAME_SIZE, &w, &h)) || w == 0 || h == 0) {
            continue;
        }
        const double fps =
            SUCCEEDED(MFGetAttributeRatio(type.get(), MF_MT_FRAME_RATE, &num, &den)) && den != 0
                ? static_cast<double>(num) / den
                : 0.0;
        const cv::Size size(static_cast<int>(w), static_cast<int>(h));
        const auto it = std::find(d.sizes.begin(), d.sizes.end(), size);
        if (it == d.sizes.end()) {
            d.sizes.push_back(size);
            d.rates.push_back(fps);
        } else {
            double& best = d.rates[static_cast<std::size_t>(it - d.sizes.begin())];
            best = std::max(best, fps);
        }
    }
}

void readControls(IMFMediaSource* source, Device& d) {
    Com<IAMVideoProcAmp> amp;
    if (SUCCEEDED(
            source->QueryInterface(IID_IAMVideoProcAmp, reinterpret_cast<void**>(amp.out())))) {
        for (unsigned i = 0; i < std::size(kProcAmp); ++i) {
            long lo = 0;
            long hi = 0;
            long step = 0;
            long def = 0;
            long flags = 0;
            long value = 0;
            if (SUCCEEDED(amp->GetRange(kProcAmp[i], &lo, &hi, &step, &def, &flags)) &&
                SUCCEEDED(amp->Get(kProcAmp[i], &value, &flags))) {
                ControlInfo c;
                c.id = i;
                c.name = kControlNames[i];
                c.minimum = static_cast<int>(lo);
                c.maximum = static_cast<int>(hi);
                c.step = static_cast<int>(std::max(1L, step));
                c.defaultValue = static_cast<int>(def);
                c.value = static_cast<int>(value);
                d.controls.push_back(c);
            }
        }
    }
    Com<IAMCameraControl> cam;
    if (SUCCEEDED(
            source->QueryInterface(IID_IAMCameraControl, reinterpret_cast<void**>(cam.out())))) {
        long lo = 0;
        long hi = 0;
        long step = 0;
        long def = 0;
        long flags = 0;
        long value = 0;
        // Exposure in log2 seconds, the unit the settings use.
        if (SUCCEEDED(cam->GetRange(CameraControl_Exposure, &lo, &hi, &step, &def, &flags)) &&
            SUCCEEDED(cam->Get(CameraControl_Exposure, &value, &flags))) {
            ControlInfo c;
            c.id = MsmfBackend::kExposureControlId;
            c.name = "Exposure";
            c.minimum = static_cast<int>(lo);
            c.maximum = static_cast<int>(hi);
            c.step = static_cast<int>(std::max(1L, step));
            c.defaultValue = static_cast<int>(def);
            c.value = static_cast<int>(value);
            d.controls.push_back(c);
        }
    }
}

// Every video capture device Media Foundation lists, with sizes, rates and
// control ranges where it can be opened.
std::vector<Device> listDevices() {
    std::vector<Device> out;
    MfSession session;
    if (!session.ok()) {
        return out;
    }
    Com<IMFAttributes> attrs;
    if (FAILED(MFCreateAttributes(attrs.out(), 1)) ||
        FAILED(attrs->SetGUID(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE,
                              MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID))) {
        return out;
    }
    IMFActivate** devices = nullptr;
    UINT32 count = 0;
    if (FAILED(MFEnumDeviceSources(attrs.get(), &devices, &count))) {
        return out;
    }
    for (UINT32 i = 0; i < count; ++i) {
        Device d;
        wchar_t* name = nullptr;
        UINT32 length = 0;
        if (SUCCEEDED(devices[i]->GetAllocatedString(MF_DEVSOURCE_ATTRIBUTE_FRIENDLY_NAME, &name,
                                                     &length))) {
            d.name = narrow(name);
            CoTaskMemFree(name);
        }
        if (d.name.empty()) {
            d.name = "camera " + std::to_string(i);
        }
        Com<IMFMediaSource> source;
        const HRESULT hr =
            devices[i]->ActivateObject(IID_IMFMediaSource, reinterpret_cast<void**>(source.out()));
        if (SUCCEEDED(hr)) {
            readFormats(source.get(), d);
            readControls(source.get(), d);
            source->Shutdown();
        } else {
            d.problem = busyResult(hr) ? busyProblem(d.name)
                                       : "cannot open " + d.name + " (error " +
                                             std::to_string(static_cast<unsigned long>(hr)) + ")";
        }
        devices[i]->ShutdownObject();
        devices[i]->Release();
        out.push_back(std::move(d));
    }
    CoTaskMemFree(devices);
    return out;
}

// OpenCV's capture built with mingw-w64 reads cameras through DirectShow (its
// Media Foundation capture does not build there) and numbers the devices of
// the video input category as the system enumerates them, which need not be
// Media Foundation's order: the camera is found there by its friendly name,
// the `occurrence`-th one of that name. -1 when it is not there.
int directShowIndex(const std::string& name, int occurrence) {
    const HRESULT co = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    int found = -1;
    {
        Com<ICreateDevEnum> devices;
        Com<IEnumMoniker> monikers;
        if (SUCCEEDED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_ICreateDevEnum,
                                       reinterpret_cast<void**>(devices.out()))) &&
            devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.out(), 0) ==
                S_OK) {
            Com<IMoniker> moniker;
            for (int i = 0; found < 0 && monikers->Next(1, moniker.out(), nullptr) == S_OK; ++i) {
                Com<IPropertyBag> bag;
                VARIANT v;
                VariantInit(&v);
                if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                                                     reinterpret_cast<void**>(bag.out()))) &&
                    SUCCEEDED(bag->Read(L"FriendlyName", &v, nullptr)) && v.vt == VT_BSTR &&
                    narrow(v.bstrVal) == name && occurrence-- == 0) {
                    found = i;
                }
                VariantClear(&v);
            }
        }
    }
    if (SUCCEEDED(co)) {
        CoUninitialize();
    }
    return found;
}

}  // namespace

MsmfBackend::~MsmfBackend() {
    close();
}

std::vector<DeviceInfo> MsmfBackend::enumerate() {
    std::vector<DeviceInfo> out;
    for (Device& d : listDevices()) {
        out.push_back(
            {std::move(d.name), std::move(d.sizes), std::move(d.rates), std::move(d.problem)});
    }
    return out;
}

bool MsmfBackend::openCapture() {
    cap_.release();
    const std::vector<int> params = {cv::CAP_PROP_FRAME_WIDTH, size_.width,
                                     cv::CAP_PROP_FRAME_HEIGHT, size_.height};
    const int capture = directShowIndex(name_, sameNameBefore_);
    if (capture < 0 || !cap_.open(capture, cv::CAP_DSHOW, params) || !cap_.isOpened()) {
        return false;
    }
    if (static_cast<int>(cap_.get(cv::CAP_PROP_FRAME_WIDTH)) != size_.width ||
        static_cast<int>(cap_.get(cv::CAP_PROP_FRAME_HEIGHT)) != size_.height) {
        cap_.release();
        return false;
    }
    fps_ = cap_.get(cv::CAP_PROP_FPS);
    failedReads_ = 0;
    return true;
}

bool MsmfBackend::open(int index, cv::Size size) {
    close();
    lastError_.clear();
    std::vector<Device> devices = listDevices();
    if (index < 0 || index >= static_cast<int>(devices.size())) {
        lastError_ = "no camera number " + std::to_string(index);
        return false;
    }
    Device& d = devices[static_cast<std::size_t>(index)];
    if (!d.problem.empty()) {
        lastError_ = d.problem;
        return false;
    }
    if (std::find(d.sizes.begin(), d.sizes.end(), size) == d.sizes.end()) {
        lastError_ = d.name + " does not deliver " + std::to_string(size.width) + "x" +
                     std::to_string(size.height);
        return false;
    }
    index_ = index;
    name_ = d.name;
    sameNameBefore_ =
        static_cast<int>(std::count_if(devices.begin(), devices.begin() + index,
                                       [&](const Device& other) { return other.name == d.name; }));
    size_ = size;
    ranges_ = std::move(d.controls);
    if (!openCapture()) {
        lastError_ = busyProblem(name_);
        index_ = -1;
        return false;
    }
    return true;
}

void MsmfBackend::close() {
    cap_.release();
    lost_ = false;
    index_ = -1;
    fps_ = 0;
}

bool MsmfBackend::grab(cv::Mat& frame, std::chrono::milliseconds timeout) {
    if (index_ < 0) {
        return false;
    }
    const auto now = std::chrono::steady_clock::now();
    if (lost_) {
        // Back when a device of the same name is at the same place again.
        if (now >= nextReconnect_) {
            nextReconnect_ = now + kReconnectPeriod;
            const std::vector<Device> devices = listDevices();
            if (index_ < static_cast<int>(devices.size()) &&
                devices[static_cast<std::size_t>(index_)].name == name_ && openCapture()) {
                lost_ = false;
            }
        }
        if (lost_) {
            std::this_thread::sleep_for(std::min(timeout, kReconnectPeriod));
            return false;
        }
    }
    // The capture waits for a frame itself; a read that fails several times
    // in a row means the device went away.
    if (cap_.read(frame) && !frame.empty()) {
        failedReads_ = 0;
        return true;
    }
    if (++failedReads_ >= kFailedReadsForLoss) {
        cap_.release();
        lost_ = true;
        lastError_ = name_ + " was unplugged";
        nextReconnect_ = now + kReconnectPeriod;
    }
    return false;
}

bool MsmfBackend::hasExposureControl() {
    return std::any_of(ranges_.begin(), ranges_.end(),
                       [](const ControlInfo& c) { return c.id == kExposureControlId; });
}

bool MsmfBackend::setExposure(int log2Seconds, bool automatic) {
    if (!cap_.isOpened()) {
        return false;
    }
    if (automatic) {
        return cap_.set(cv::CAP_PROP_AUTO_EXPOSURE, 1);
    }
    cap_.set(cv::CAP_PROP_AUTO_EXPOSURE, 0);
    return cap_.set(cv::CAP_PROP_EXPOSURE, log2Seconds);
}

bool MsmfBackend::hasImageControls() {
    return std::any_of(ranges_.begin(), ranges_.end(),
                       [](const ControlInfo& c) { return c.id < std::size(kCvProps); });
}

bool MsmfBackend::setImageControl(ImageControl control, int value) {
    const auto i = static_cast<std::size_t>(control);
    return cap_.isOpened() && i < std::size(kCvProps) && cap_.set(kCvProps[i], value);
}

std::optional<int> MsmfBackend::getImageControl(ImageControl control) {
    const auto i = static_cast<std::size_t>(control);
    if (!cap_.isOpened() || i >= std::size(kCvProps)) {
        return std::nullopt;
    }
    return static_cast<int>(cap_.get(kCvProps[i]));
}

std::vector<ControlInfo> MsmfBackend::controls() {
    std::vector<ControlInfo> out = ranges_;
    for (ControlInfo& c : out) {
        if (c.id < std::size(kCvProps)) {
            if (auto v = getImageControl(static_cast<ImageControl>(c.id))) {
                c.value = *v;
            }
        } else if (c.id == kExposureControlId && cap_.isOpened()) {
            c.value = static_cast<int>(cap_.get(cv::CAP_PROP_EXPOSURE));
        }
    }
    return out;
}

bool MsmfBackend::setControl(unsigned id, int value) {
    if (id < std::size(kCvProps)) {
        return setImageControl(static_cast<ImageControl>(id), value);
    }
    if (id == kExposureControlId) {
        return setExposure(value, false);
    }
    return false;
}

}  // namespace tovik
