#include "sim/SimCamera.h"

#include <algorithm>
#include <cmath>

#include "common/platform/ThreadName.h"
#include "sim/DrawnScene.h"
#include "sim/FrameLog.h"
#include "sim/PenControl.h"
#include "sim/ScreenScene.h"
#ifdef _WIN32
#include "tovik/camera/win32/MsmfBackend.h"
#else
#include "tovik/camera/V4L2Mapping.h"
#endif

namespace sim {

using tovik::ImageControl;

namespace {

constexpr int kExposureMin = SensorModel::kExposureMin;
constexpr int kExposureMax = SensorModel::kExposureMax;

struct ControlSpec {
    ImageControl control;
    const char* name;     // as in refuse=
    const char* caption;  // as in the properties dialog
    int minimum, maximum, defaultValue;
};

// Neutral values equal the settings' defaults, so pushing those leaves the
// picture as the exposure model makes it.
constexpr ControlSpec kControls[] = {
    {ImageControl::Brightness, "brightness", "Brightness", -64, 64, 0},
    {ImageControl::Contrast, "contrast", "Contrast", 0, 100, 10},
    {ImageControl::Hue, "hue", "Hue", -180, 180, 0},
    {ImageControl::Saturation, "saturation", "Saturation", 0, 200, 64},
    {ImageControl::Sharpness, "sharpness", "Sharpness", 0, 100, 4},
    {ImageControl::Gamma, "gamma", "Gamma", 72, 500, 130},
    {ImageControl::BacklightCompensation, "backlight", "Backlight Compensation", 0, 2, 1},
    {ImageControl::Gain, "gain", "Gain", 0, 100, 0},
};

const ControlSpec& specOf(ImageControl c) {
    for (const ControlSpec& s : kControls) {
        if (s.control == c) {
            return s;
        }
    }
    return kControls[0];
}

}  // namespace

std::unique_ptr<SimCamera> SimCamera::create(const SimOptions& options, std::string& error) {
    std::unique_ptr<SceneSource> scene;
    if (options.scene == SimOptions::Scene::Screen) {
        auto screen = std::make_unique<ScreenScene>(options.display, options.area);
        if (!screen->isOpen()) {
            error = "sim scene=screen: cannot open the X display " +
                    (options.display.empty() ? std::string("($DISPLAY)") : options.display);
            if (!options.area.empty() && ScreenScene(options.display).isOpen()) {
                error = "sim area: the X screen does not hold the area " +
                        std::to_string(options.area.width) + "x" +
                        std::to_string(options.area.height) + "+" + std::to_string(options.area.x) +
                        "+" + std::to_string(options.area.y);
            }
            return nullptr;
        }
        scene = std::move(screen);
    }
    std::vector<PenCommand> script;
    if (!options.script.empty()) {
        auto parsed = PenControl::readScript(options.script, error);
        if (!parsed) {
            return nullptr;
        }
        script = std::move(*parsed);
    }
    auto camera = std::make_unique<SimCamera>(options, std::move(scene));
    if (!options.log.empty()) {
        camera->log_ = std::make_unique<FrameLog>(options.log);
        if (!camera->log_->isOpen()) {
            error = "sim log=" + options.log + ": cannot write the file";
            return nullptr;
        }
    }
    if (!options.control.empty() || !script.empty()) {
        camera->control_ = PenControl::start(*camera, std::move(script), options.control, error);
        if (!camera->control_) {
            return nullptr;
        }
    }
    return camera;
}

std::unique_ptr<SimCamera> SimCamera::create(std::string_view options, std::string& error) {
    const std::optional<SimOptions> parsed = parseSimOptions(options, error);
    return parsed ? create(*parsed, error) : nullptr;
}

SimCamera::SimCamera(const SimOptions& options, std::unique_ptr<SceneSource> scene)
    : options_(options),
      scene_(std::move(scene)),
      pen_(std::make_shared<LightPen>()),
      devices_(static_cast<size_t>(std::max(options.count, 0))),
      pose_(options.pose),
      sensor_(options) {
    if (!scene_) {
        auto drawn = std::make_unique<DrawnScene>(options_.sceneSize);
        drawn_ = drawn.get();
        scene_ = std::move(drawn);
    }
    for (Device& d : devices_) {
        for (const ControlSpec& s : kControls) {
            d.controls[s.control] = s.defaultValue;
        }
    }
    const cv::Size screen = scene_->size();
    const cv::Point origin = scene_->origin();
    pen_->set({origin.x + screen.width / 2.0, origin.y + screen.height / 2.0}, false);
}

SimCamera::~SimCamera() {
    // The script and the channel call into this object: stop them first.
    control_.reset();
    close();
}

std::vector<tovik::DeviceInfo> SimCamera::enumerate() {
    std::vector<tovik::DeviceInfo> list;
    for (size_t i = 0; i < devices_.size(); ++i) {
        tovik::DeviceInfo info{"Simulated camera " + std::to_string(i), options_.sizes, {}, {}};
        info.frameRates.assign(options_.sizes.size(), options_.fps);
        list.push_back(std::move(info));
    }
    return list;
}

bool SimCamera::open(int index, cv::Size size) {
    close();
    if (index < 0 || index >= static_cast<int>(devices_.size())) {
        return false;
    }
    if (std::find(options_.sizes.begin(), options_.sizes.end(), size) == options_.sizes.end()) {
        return false;  // the device does not deliver this size
    }
    {
        std::lock_guard lock(mutex_);
        openIndex_ = index;
        frameSize_ = size;
    }
    if (options_.fps > 0) {
        producer_ = std::jthread([this](std::stop_token stop) {
            common::nameThisThread("sim-frames");
            produce(stop);
        });
    }
    return true;
}

void SimCamera::stopProducer() {
    if (producer_.joinable()) {
        producer_.request_stop();
        producer_.join();
    }
    producer_ = {};
}

void SimCamera::close() {
    {
        std::lock_guard lock(mutex_);
        openIndex_ = -1;
        frameSize_ = {};
        queue_.clear();
        frameReady_.notify_all();
    }
    stopProducer();
}

bool SimCamera::isOpen() const {
    std::lock_guard lock(mutex_);
    return openIndex_ >= 0;
}

cv::Size SimCamera::frameSize() const {
    std::lock_guard lock(mutex_);
    return frameSize_;
}

SimCamera::Clock::duration SimCamera::framePeriod() const {
    return options_.fps > 0 ? std::chrono::duration_cast<Clock::duration>(
                                  std::chrono::duration<double>(1.0 / options_.fps))
                            : Clock::duration::zero();
}

void SimCamera::produce(std::stop_token stop) {
    const Clock::duration period = framePeriod();
    std::mutex m;
    std::condition_variable_any tick;
    auto next = Clock::now();
    while (!stop.stop_requested()) {
        next += period;
        {
            std::unique_lock lock(m);
            tick.wait_until(lock, stop, next, [] { return false; });
        }
        if (stop.stop_requested()) {
            return;
        }
        // After a stall (a slow screen capture) resume the rhythm from now
        // instead of bursting to catch up.
        if (Clock::now() - next > 2 * period) {
            next = Clock::now();
        }
        renderFrame();
    }
}

bool SimCamera::renderFrame() {
    std::lock_guard renderLock(renderMutex_);
    cv::Size size;
    CameraPose pose;
    SensorModel::Settings settings;
    cv::Mat image;
    {
        std::lock_guard lock(mutex_);
        if (openIndex_ < 0 || !plugged_) {
            return false;
        }
        size = frameSize_;
        pose = pose_;
        settings = settingsAt(Clock::now());
        if (!spare_.empty()) {
            image = std::move(spare_.back());
            spare_.pop_back();
        }
    }
    const Clock::time_point captured = Clock::now();
    cv::Mat screen;
    if (!scene_->capture(screen) || screen.empty()) {
        return false;
    }
    const LightPen::State pen = pen_->sample(captured, framePeriod());
    sensor_.expose(screen, scene_->origin(), pose.homography(screen.size(), size), size, settings,
                   pen, image);
    std::lock_guard lock(mutex_);
    if (openIndex_ < 0 || !plugged_ || frameSize_ != size) {
        return false;  // closed, unplugged or reopened meanwhile
    }
    QueuedFrame f{std::move(image), {nextNumber_++, captured, pen}};
    queue_.push_back(std::move(f));
    // A full driver queue loses its oldest frame.
    while (queue_.size() > static_cast<size_t>(options_.queue)) {
        spare_.push_back(std::move(queue_.front().image));
        queue_.pop_front();
    }
    frameReady_.notify_all();
    return true;
}

bool SimCamera::grab(cv::Mat& frame, std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    std::unique_lock lock(mutex_);
    if (openIndex_ < 0) {
        return false;
    }
    if (queue_.empty() && options_.fps <= 0 && plugged_) {
        // On-demand camera: the frame is made for this grab.
        lock.unlock();
        renderFrame();
        lock.lock();
    }
    frameReady_.wait_until(lock, deadline, [&] { return !queue_.empty() || openIndex_ < 0; });
    if (queue_.empty()) {
        return false;
    }
    // Everything older than the newest frame is stale: drop it.
    QueuedFrame newest = std::move(queue_.back());
    queue_.pop_back();
    for (QueuedFrame& old : queue_) {
        spare_.push_back(std::move(old.image));
    }
    queue_.clear();
    lock.unlock();

    frame.create(newest.image.size(), CV_8UC3);
    newest.image.copyTo(frame);
    if (log_) {
        log_->write(newest.info.number, newest.info.captured, newest.info.pen);
    }

    lock.lock();
    lastGrabbed_ = newest.info;
    spare_.push_back(std::move(newest.image));
    if (spare_.size() > static_cast<size_t>(options_.queue) + 2) {
        spare_.resize(static_cast<size_t>(options_.queue) + 2);
    }
    return true;
}

bool SimCamera::refuses(const char* name) const {
    return options_.refuse.contains(name);
}

bool SimCamera::hasExposureControl() {
    std::lock_guard lock(mutex_);
    return openIndex_ >= 0 && !options_.missing.contains("exposure");
}

bool SimCamera::setExposure(int log2Seconds, bool automatic) {
    std::lock_guard lock(mutex_);
    if (openIndex_ < 0 || options_.missing.contains("exposure") || refuses("exposure")) {
        return false;
    }
    Device& d = devices_[static_cast<size_t>(openIndex_)];
    if (automatic) {
        noteExposureChange(d);
        d.exposureAuto = true;
        return true;
    }
    if (log2Seconds < kExposureMin || log2Seconds > kExposureMax) {
        return false;
    }
    noteExposureChange(d);
    d.exposureAuto = false;
    d.exposure = log2Seconds;
    return true;
}

bool SimCamera::hasImageControls() {
    std::lock_guard lock(mutex_);
    return openIndex_ >= 0 && !options_.missing.contains("controls");
}

bool SimCamera::setImageControl(ImageControl control, int value) {
    std::lock_guard lock(mutex_);
    const ControlSpec& spec = specOf(control);
    if (openIndex_ < 0 || options_.missing.contains("controls") || refuses(spec.name) ||
        value < spec.minimum || value > spec.maximum) {
        return false;
    }
    devices_[static_cast<size_t>(openIndex_)].controls[control] = value;
    return true;
}

std::optional<int> SimCamera::getImageControl(ImageControl control) {
    std::lock_guard lock(mutex_);
    const ControlSpec& spec = specOf(control);
    if (openIndex_ < 0 || options_.missing.contains("controls") || refuses(spec.name)) {
        return std::nullopt;
    }
    return devices_[static_cast<size_t>(openIndex_)].controls[control];
}

std::vector<tovik::ControlInfo> SimCamera::controls() {
    std::lock_guard lock(mutex_);
    std::vector<tovik::ControlInfo> list;
    if (openIndex_ < 0) {
        return list;
    }
    Device& d = devices_[static_cast<size_t>(openIndex_)];
    if (!options_.missing.contains("controls")) {
        for (const ControlSpec& s : kControls) {
            tovik::ControlInfo c;
#ifdef _WIN32
            c.id = static_cast<unsigned>(s.control);
#else
            c.id = tovik::v4l2::controlId(s.control);
#endif
            c.name = s.caption;
            c.minimum = s.minimum;
            c.maximum = s.maximum;
            c.defaultValue = s.defaultValue;
            c.value = d.controls[s.control];
            list.push_back(c);
        }
    }
#ifdef _WIN32
    // As the camera control interface offers it: one value in log2 seconds.
    if (!options_.missing.contains("exposure")) {
        tovik::ControlInfo time;
        time.id = tovik::MsmfBackend::kExposureControlId;
        time.name = "Exposure";
        time.minimum = kExposureMin;
        time.maximum = kExposureMax;
        time.defaultValue = SensorModel::kExposureDefault;
        time.value = d.exposure;
        list.push_back(time);
    }
    return list;
}

bool SimCamera::setControl(unsigned id, int value) {
    if (id < std::size(kControls)) {
        return setImageControl(static_cast<tovik::ImageControl>(id), value);
    }
    if (id == tovik::MsmfBackend::kExposureControlId) {
        return setExposure(value, false);
    }
    return false;
}
#else
    if (!options_.missing.contains("exposure")) {
        tovik::ControlInfo mode;
        mode.id = V4L2_CID_EXPOSURE_AUTO;
        mode.name = "Auto Exposure";
        mode.type = tovik::ControlInfo::Type::Menu;
        mode.minimum = V4L2_EXPOSURE_MANUAL;
        mode.maximum = V4L2_EXPOSURE_APERTURE_PRIORITY;
        mode.defaultValue = V4L2_EXPOSURE_APERTURE_PRIORITY;
        mode.value = d.exposureAuto ? V4L2_EXPOSURE_APERTURE_PRIORITY : V4L2_EXPOSURE_MANUAL;
        mode.menuItems = {{V4L2_EXPOSURE_MANUAL, "Manual Mode"},
                          {V4L2_EXPOSURE_APERTURE_PRIORITY, "Aperture Priority Mode"}};
        list.push_back(mode);
        tovik::ControlInfo time;
        time.id = V4L2_CID_EXPOSURE_ABSOLUTE;
        time.name = "Exposure Time, Absolute";
        time.minimum = tovik::v4l2::exposureUnits(kExposureMin, 1, 10000);
        time.maximum = tovik::v4l2::exposureUnits(kExposureMax, 1, 10000);
        time.defaultValue = tovik::v4l2::exposureUnits(SensorModel::kExposureDefault, 1, 10000);
        time.value = tovik::v4l2::exposureUnits(d.exposure, 1, 10000);
        list.push_back(time);
    }
    return list;
}

bool SimCamera::setControl(unsigned id, int value) {
    if (const auto c = tovik::v4l2::imageControlFor(id)) {
        return setImageControl(*c, value);
    }
    if (id == V4L2_CID_EXPOSURE_AUTO) {
        if (value == V4L2_EXPOSURE_APERTURE_PRIORITY) {
            return setExposure(0, true);
        }
        if (value == V4L2_EXPOSURE_MANUAL) {
            return setExposure(exposureValue(), false);
        }
        return false;
    }
    if (id == V4L2_CID_EXPOSURE_ABSOLUTE && value > 0) {
        return setExposure(static_cast<int>(std::lround(std::log2(value / 10000.0))), false);
    }
    return false;
}
#endif

bool SimCamera::setScene(const cv::Mat& image) {
    return drawn_ != nullptr && drawn_->setImage(image);
}

CameraPose SimCamera::pose() const {
    std::lock_guard lock(mutex_);
    return pose_;
}

void SimCamera::setPose(const CameraPose& pose) {
    std::lock_guard lock(mutex_);
    pose_ = pose;
}

cv::Matx33d SimCamera::poseMatrix() const {
    const cv::Size screen = scene_->size();
    const cv::Point origin = scene_->origin();
    std::lock_guard lock(mutex_);
    const cv::Size frame = frameSize_.empty() ? options_.sizes.front() : frameSize_;
    const cv::Matx33d shift(1, 0, -origin.x, 0, 1, -origin.y, 0, 0, 1);
    return pose_.homography(screen, frame) * shift;
}

bool SimCamera::cameraPoint(cv::Point2d screen, cv::Point2d& camera) const {
    const cv::Matx33d h = poseMatrix();
    cv::Size frame;
    {
        std::lock_guard lock(mutex_);
        frame = frameSize_.empty() ? options_.sizes.front() : frameSize_;
    }
    if (!projectPoint(h, screen, camera)) {
        return false;
    }
    camera = sensor_.distort(camera, frame);
    return true;
}

void SimCamera::unplug() {
    std::lock_guard lock(mutex_);
    plugged_ = false;
    for (QueuedFrame& f : queue_) {
        spare_.push_back(std::move(f.image));
    }
    queue_.clear();
}

void SimCamera::plug() {
    std::lock_guard lock(mutex_);
    plugged_ = true;
}

bool SimCamera::deviceLost() const {
    std::lock_guard lock(mutex_);
    return openIndex_ >= 0 && !plugged_;
}

double SimCamera::frameRate() const {
    return isOpen() ? options_.fps : 0.0;
}

bool SimCamera::plugged() const {
    std::lock_guard lock(mutex_);
    return plugged_;
}

std::optional<SimCamera::FrameInfo> SimCamera::lastGrabbed() const {
    std::lock_guard lock(mutex_);
    return lastGrabbed_;
}

std::uint64_t SimCamera::framesMade() const {
    std::lock_guard lock(mutex_);
    return nextNumber_;
}

bool SimCamera::exposureAutomatic() const {
    std::lock_guard lock(mutex_);
    return openIndex_ < 0 || devices_[static_cast<size_t>(openIndex_)].exposureAuto;
}

int SimCamera::exposureValue() const {
    std::lock_guard lock(mutex_);
    return openIndex_ < 0 ? SensorModel::kExposureDefault
                          : devices_[static_cast<size_t>(openIndex_)].exposure;
}

int SimCamera::modelLevel(int v) const {
    std::lock_guard lock(mutex_);
    return sensor_.lookupTable(settingsAt(Clock::now())).at<uchar>(std::clamp(v, 0, 255));
}

void SimCamera::noteExposureChange(Device& d) {
    // What the frames show until the change reaches them.
    const auto [automatic, value] = exposureAt(d, Clock::now());
    d.previousAuto = automatic;
    d.previousExposure = value;
    d.changed = Clock::now();
}

std::pair<bool, int> SimCamera::exposureAt(const Device& d, Clock::time_point at) const {
    if (options_.optics.exposureLag) {
        // One frame period (a 30 Hz one for a camera paced by its grabs).
        const double period = 1.0 / (options_.fps > 0 ? options_.fps : 30.0);
        if (at - d.changed < std::chrono::duration<double>(period)) {
            return {d.previousAuto, d.previousExposure};
        }
    }
    return {d.exposureAuto, d.exposure};
}

SensorModel::Settings SimCamera::settingsAt(Clock::time_point at) const {
    Device defaults;
    for (const ControlSpec& spec : kControls) {
        defaults.controls[spec.control] = spec.defaultValue;
    }
    const Device& d = openIndex_ >= 0 ? devices_[static_cast<size_t>(openIndex_)] : defaults;
    const auto [automatic, value] = exposureAt(d, at);
    return {automatic, value, d.controls.at(ImageControl::Brightness),
            d.controls.at(ImageControl::Contrast), d.controls.at(ImageControl::Gain)};
}

}  // namespace sim
