#include "sim/SimCamera.h"

#include <cmath>
#include <fstream>
#include <sstream>

#include <opencv2/calib3d.hpp>
#include <opencv2/imgproc.hpp>

#include "sim/ControlChannel.h"
#include "sim/DrawnScene.h"
#include "sim/FrameLog.h"
#include "sim/ScreenScene.h"
#ifdef _WIN32
#include "tovik/camera/win32/MsmfBackend.h"
#else
#include "tovik/camera/V4L2Mapping.h"
#endif

namespace sim {

using tovik::ImageControl;

namespace {

// Automatic exposure brings a white screen to this grey level.
constexpr double kAutoWhite = 200.0;
// A fixed exposure e scales screen levels by 2^(e + k); k puts white at about
// 40 grey at e = -6, far below the pen's saturated spot.
const double kExposureOffset = std::log2(40.0 / 255.0) + 6.0;
constexpr int kExposureMin = -13;
constexpr int kExposureMax = 0;
// What the camera sees around the screen, in screen levels: a dim wall.
constexpr double kWallLevel = 20.0;

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

// The pinhole camera the distortion coefficients refer to.
cv::Matx33d lensMatrix(cv::Size frame, const Optics& o) {
    const double f = o.focal * frame.width;
    return {f, 0, frame.width / 2.0, 0, f, frame.height / 2.0, 0, 0, 1};
}

// Where the bent lens shows an ideal image point.
cv::Point2d distort(cv::Point2d p, cv::Size frame, const Optics& o) {
    if (o.k1 == 0 && o.k2 == 0) {
        return p;
    }
    const double f = o.focal * frame.width, cx = frame.width / 2.0, cy = frame.height / 2.0;
    const double x = (p.x - cx) / f, y = (p.y - cy) / f, r2 = x * x + y * y;
    const double g = 1 + o.k1 * r2 + o.k2 * r2 * r2;
    return {cx + f * x * g, cy + f * y * g};
}

// The pen's spot as a real pen makes it: a saturated ellipse (a disc
// stretched by the tilt along a fixed direction) inside a soft halo, added
// to the image as light.
void drawSpot(cv::Mat& image, cv::Point2d at, double radius, const Optics& o) {
    constexpr double kAzimuth = 30.0 * CV_PI / 180.0;  // direction the pen leans
    constexpr double kHalo = 150.0;                    // halo peak, grey levels
    const double stretch = 1.0 / std::cos(o.tilt * CV_PI / 180.0);
    const double reach = radius * stretch * (1.0 + 3.0 * o.bloom) + 2.0;
    const cv::Rect box = cv::Rect(cv::Point(static_cast<int>(std::floor(at.x - reach)),
                                            static_cast<int>(std::floor(at.y - reach))),
                                  cv::Point(static_cast<int>(std::ceil(at.x + reach)) + 1,
                                            static_cast<int>(std::ceil(at.y + reach)) + 1)) &
                         cv::Rect(0, 0, image.cols, image.rows);
    const double ca = std::cos(kAzimuth), sa = std::sin(kAzimuth);
    for (int v = box.y; v < box.y + box.height; ++v) {
        auto* row = image.ptr<cv::Vec3b>(v);
        for (int u = box.x; u < box.x + box.width; ++u) {
            const double dx = u - at.x, dy = v - at.y;
            const double along = (dx * ca + dy * sa) / stretch, across = -dx * sa + dy * ca;
            const double d = std::hypot(along, across);  // in pixels of the unstretched disc
            // One pixel of anti-aliasing at the edge of the core.
            double light = std::clamp(radius - d + 0.5, 0.0, 1.0) * 255.0;
            if (o.bloom > 0 && d > radius) {
                const double s = (d - radius) / (o.bloom * radius);
                light = std::max(light, kHalo * std::exp(-0.5 * s * s));
            }
            if (light > 0) {
                for (int c = 0; c < 3; ++c) {
                    row[u][c] = cv::saturate_cast<uchar>(row[u][c] + light);
                }
            }
        }
    }
}

const ControlSpec& specOf(ImageControl c) {
    for (const ControlSpec& s : kControls) {
        if (s.control == c) {
            return s;
        }
    }
    return kControls[0];
}

}  // namespace

struct SimCamera::Render {
    cv::Size sceneSize, frameSize;
    cv::Matx33d homography;
    double k1 = 0, k2 = 0;
    bool mapsValid = false;
    cv::Mat map1, map2;  // fixed-point remap tables, camera pixel -> screen pixel
    cv::Mat warped;      // for four-channel scenes
    cv::Mat noisePlus, noiseMinus;
    cv::Size noiseFor;
    int noiseAmplitude = 0;
    std::mt19937_64 random;

    void buildMaps(cv::Size scene, cv::Size frame, const cv::Matx33d& h, const Optics& optics) {
        cv::Mat grid(frame, CV_32FC2);
        for (int v = 0; v < frame.height; ++v) {
            auto* row = grid.ptr<cv::Vec2f>(v);
            for (int u = 0; u < frame.width; ++u) {
                row[u] = {static_cast<float>(u), static_cast<float>(v)};
            }
        }
        if (optics.k1 != 0 || optics.k2 != 0) {
            // Each pixel of the bent image shows what the ideal lens puts at
            // its undistorted position.
            const cv::Matx33d k = lensMatrix(frame, optics);
            const cv::Vec4d d(optics.k1, optics.k2, 0, 0);
            cv::Mat flat = grid.reshape(2, frame.area()), ideal;
            cv::undistortPoints(
                flat, ideal, k, d, cv::noArray(), k,
                cv::TermCriteria(cv::TermCriteria::COUNT | cv::TermCriteria::EPS, 20, 1e-6));
            grid = ideal.reshape(2, frame.height);
        }
        cv::Mat screenPoints;
        cv::perspectiveTransform(grid, screenPoints, cv::Mat(h.inv()));
        cv::convertMaps(screenPoints, cv::noArray(), map1, map2, CV_16SC2);
        sceneSize = scene;
        frameSize = frame;
        homography = h;
        k1 = optics.k1;
        k2 = optics.k2;
        mapsValid = true;
    }

    // A bank of noise a little larger than a frame; each frame takes a window
    // at a random offset, so noise costs two saturating passes per frame.
    void buildNoise(cv::Size frame, int amplitude, std::uint64_t seed) {
        cv::Mat n(frame.height + 16, frame.width * 3 + 48, CV_16S);
        cv::RNG rng(seed == 0 ? 0x5eedULL : seed);
        rng.fill(n, cv::RNG::UNIFORM, -amplitude, amplitude + 1);
        cv::Mat plus, minus;
        cv::max(n, 0, plus);
        cv::max(-n, 0, minus);
        plus.convertTo(noisePlus, CV_8U);
        minus.convertTo(noiseMinus, CV_8U);
        noiseFor = frame;
        noiseAmplitude = amplitude;
    }
};

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
        std::ifstream in(options.script);
        if (!in) {
            error = "sim script=" + options.script + ": cannot read the file";
            return nullptr;
        }
        std::stringstream text;
        text << in.rdbuf();
        std::string scriptError;
        auto parsed = parsePenScript(text.str(), scriptError);
        if (!parsed) {
            error = "sim script=" + options.script + ": " + scriptError;
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
    if (!options.control.empty()) {
        SimCamera* self = camera.get();
        camera->control_ = ControlChannel::open(
            options.control,
            [self](std::string_view line, std::stop_token stop) -> std::string {
                std::string lineError;
                const std::optional<PenCommand> c = parsePenCommand(line, lineError);
                if (!c) {
                    return "error: " + lineError;
                }
                self->execute(*c, stop);
                return "ok";
            },
            error);
        if (!camera->control_) {
            return nullptr;
        }
    }
    if (!script.empty()) {
        SimCamera* self = camera.get();
        camera->script_ = std::jthread([self, script](std::stop_token stop) {
            for (const PenCommand& c : script) {
                if (stop.stop_requested()) {
                    return;
                }
                self->execute(c, stop);
            }
        });
    }
    return camera;
}

SimCamera::SimCamera(const SimOptions& options, std::unique_ptr<SceneSource> scene)
    : options_(options),
      scene_(std::move(scene)),
      pen_(std::make_shared<LightPen>()),
      devices_(static_cast<size_t>(std::max(options.count, 0))),
      pose_(options.pose),
      render_(std::make_unique<Render>()) {
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
    render_->random.seed(options_.seed);
    const cv::Size screen = scene_->size();
    const cv::Point origin = scene_->origin();
    pen_->set({origin.x + screen.width / 2.0, origin.y + screen.height / 2.0}, false);
}

SimCamera::~SimCamera() {
    // The script and the channel call into this object: stop them first.
    script_ = {};
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
        producer_ = std::jthread([this](std::stop_token stop) { produce(stop); });
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

void SimCamera::produce(std::stop_token stop) {
    const auto period = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(1.0 / options_.fps));
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
    cv::Mat lut;
    cv::Mat image;
    double noise = options_.noise;
    {
        std::lock_guard lock(mutex_);
        if (openIndex_ < 0 || !plugged_) {
            return false;
        }
        size = frameSize_;
        pose = pose_;
        const Clock::time_point now = Clock::now();
        lut = lookupTable(now);
        // A short exposure needs more amplification, which shows as noise.
        const auto [automatic, exposure] =
            exposureAt(devices_[static_cast<size_t>(openIndex_)], now);
        if (!automatic && exposure < -6) {
            noise *= std::exp2(options_.optics.noiseGrowth * (-6 - exposure));
        }
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
    const LightPen::State pen = pen_->stateAt(captured);
    Render& r = *render_;
    const Optics& optics = options_.optics;
    const cv::Matx33d h = pose.homography(screen.size(), size);
    const cv::Point origin = scene_->origin();
    if (!r.mapsValid || r.sceneSize != screen.size() || r.frameSize != size || r.homography != h ||
        r.k1 != optics.k1 || r.k2 != optics.k2) {
        r.buildMaps(screen.size(), size, h, optics);
    }
    image.create(size, CV_8UC3);
    const cv::Scalar wall = cv::Scalar::all(kWallLevel);
    if (screen.channels() == 4) {
        cv::remap(screen, r.warped, r.map1, r.map2, cv::INTER_LINEAR, cv::BORDER_CONSTANT, wall);
        cv::cvtColor(r.warped, image, cv::COLOR_BGRA2BGR);
    } else {
        cv::remap(screen, image, r.map1, r.map2, cv::INTER_LINEAR, cv::BORDER_CONSTANT, wall);
    }
    cv::LUT(image, lut, image);
    auto addNoise = [&] {
        const int amplitude = static_cast<int>(std::lround(noise));
        if (amplitude <= 0) {
            return;
        }
        if (r.noiseFor != size || r.noiseAmplitude != amplitude) {
            r.buildNoise(size, amplitude, options_.seed);
        }
        const int dy = static_cast<int>(r.random() % 16);
        const int dx = static_cast<int>(r.random() % 48);
        const cv::Rect window(dx, dy, size.width * 3, size.height);
        cv::Mat flat = image.reshape(1);
        cv::add(flat, r.noisePlus(window), flat);
        cv::subtract(flat, r.noiseMinus(window), flat);
    };
    cv::Point2d at;
    const bool spot = pen.lit && projectPoint(h, pen.position - cv::Point2d(origin), at) &&
                      std::abs(at.x) < 1e6 && std::abs(at.y) < 1e6;
    if (optics.any()) {
        // Light reaches the sensor through the lens: the spot is drawn into
        // the scene, the lens blurs both, the sensor adds its noise last.
        if (spot) {
            drawSpot(image, distort(at, size, optics), options_.penRadius, optics);
        }
        if (optics.blur > 0) {
            cv::GaussianBlur(image, image, cv::Size(), optics.blur);
        }
        addNoise();
    } else {
        addNoise();
        if (spot) {
            // Sub-pixel centre (4 fractional bits); the core is saturated.
            constexpr int kShift = 4;
            constexpr double kScale = 1 << kShift;
            const cv::Point centre(static_cast<int>(std::lround(at.x * kScale)),
                                   static_cast<int>(std::lround(at.y * kScale)));
            cv::circle(image, centre, static_cast<int>(std::lround(options_.penRadius * kScale)),
                       cv::Scalar::all(255), cv::FILLED, cv::LINE_AA, kShift);
        }
    }
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
        time.defaultValue = -6;
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
        time.defaultValue = tovik::v4l2::exposureUnits(-6, 1, 10000);
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
    camera = distort(camera, frame, options_.optics);
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
    return openIndex_ < 0 ? -6 : devices_[static_cast<size_t>(openIndex_)].exposure;
}

int SimCamera::modelLevel(int v) const {
    std::lock_guard lock(mutex_);
    return lookupTable().at<uchar>(std::clamp(v, 0, 255));
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

cv::Mat SimCamera::lookupTable(Clock::time_point at) const {
    Device defaults;
    for (const ControlSpec& s : kControls) {
        defaults.controls[s.control] = s.defaultValue;
    }
    const Device& d = openIndex_ >= 0 ? devices_[static_cast<size_t>(openIndex_)] : defaults;
    const auto [automatic, value] = exposureAt(d, at);
    const double ambient = options_.optics.ambient;
    // Automatic exposure brings the lit white screen to kAutoWhite.
    const double exposure =
        automatic ? kAutoWhite / (255.0 + ambient) : std::exp2(value + kExposureOffset);
    const double gain = 1.0 + d.controls.at(ImageControl::Gain) / 32.0;
    const double contrast = d.controls.at(ImageControl::Contrast) / 10.0;
    const double brightness = d.controls.at(ImageControl::Brightness);
    cv::Mat lut(1, 256, CV_8U);
    for (int i = 0; i < 256; ++i) {
        double v = (i + ambient) * exposure * gain;
        v = (v - 128.0) * contrast + 128.0 + brightness;
        lut.at<uchar>(i) = cv::saturate_cast<uchar>(v);
    }
    return lut;
}

void SimCamera::execute(const PenCommand& c, std::stop_token stop) {
    auto sleep = [&stop](int ms) {
        std::mutex m;
        std::condition_variable_any cv;
        std::unique_lock lock(m);
        cv.wait_for(lock, stop, std::chrono::milliseconds(ms), [] { return false; });
    };
    switch (c.kind) {
        case PenCommand::Kind::Nothing:
            break;
        case PenCommand::Kind::Move:
            pen_->moveTo({c.x1, c.y1});
            break;
        case PenCommand::Kind::Lit:
            pen_->setLit(c.on);
            break;
        case PenCommand::Kind::F13:
            pen_->setButton(c.on);
            break;
        case PenCommand::Kind::Path:
            pen_->glide({c.x1, c.y1}, {c.x2, c.y2}, std::chrono::milliseconds(c.ms));
            sleep(c.ms);
            break;
        case PenCommand::Kind::Wait:
            sleep(c.ms);
            break;
        case PenCommand::Kind::Unplug:
            unplug();
            break;
        case PenCommand::Kind::Plug:
            plug();
            break;
    }
}

}  // namespace sim
