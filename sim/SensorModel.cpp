#include "sim/SensorModel.h"

#include <algorithm>
#include <cmath>
#include <random>

#include <opencv2/calib3d.hpp>
#include <opencv2/imgproc.hpp>

#include "sim/CameraPose.h"

namespace sim {

namespace {

// Automatic exposure brings a white screen to this grey level.
constexpr double kAutoWhite = 200.0;
// A fixed exposure e scales screen levels by 2^(e + k); k puts white at about
// 40 grey at e = -6, far below the pen's saturated spot.
const double kExposureOffset = std::log2(40.0 / 255.0) + 6.0;
// What the camera sees around the screen, in screen levels: a dim wall.
constexpr double kWallLevel = 20.0;

// The pinhole camera the distortion coefficients refer to.
cv::Matx33d lensMatrix(cv::Size frame, const Optics& o) {
    const double f = o.focal * frame.width;
    return {f, 0, frame.width / 2.0, 0, f, frame.height / 2.0, 0, 0, 1};
}

// Where the bent lens shows an ideal image point.
cv::Point2d lensDistort(cv::Point2d p, cv::Size frame, const Optics& o) {
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

}  // namespace

struct SensorModel::Render {
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

SensorModel::SensorModel(const SimOptions& options)
    : optics_(options.optics),
      noise_(options.noise),
      penRadius_(options.penRadius),
      seed_(options.seed),
      render_(std::make_unique<Render>()) {
    render_->random.seed(seed_);
}

SensorModel::~SensorModel() = default;

cv::Mat SensorModel::lookupTable(const Settings& s) const {
    const double ambient = optics_.ambient;
    // Automatic exposure brings the lit white screen to kAutoWhite.
    const double exposure =
        s.automatic ? kAutoWhite / (255.0 + ambient) : std::exp2(s.exposure + kExposureOffset);
    const double gain = 1.0 + s.gain / 32.0;
    const double contrast = s.contrast / 10.0;
    const double brightness = s.brightness;
    cv::Mat lut(1, 256, CV_8U);
    for (int i = 0; i < 256; ++i) {
        double v = (i + ambient) * exposure * gain;
        v = (v - 128.0) * contrast + 128.0 + brightness;
        lut.at<uchar>(i) = cv::saturate_cast<uchar>(v);
    }
    return lut;
}

cv::Point2d SensorModel::distort(cv::Point2d p, cv::Size frame) const {
    return lensDistort(p, frame, optics_);
}

void SensorModel::expose(const cv::Mat& screen, cv::Point origin, const cv::Matx33d& h,
                         cv::Size size, const Settings& settings, const LightPen::State& pen,
                         cv::Mat& image) {
    const cv::Mat lut = lookupTable(settings);
    double noise = noise_;
    // A short exposure needs more amplification, which shows as noise.
    if (!settings.automatic && settings.exposure < -6) {
        noise *= std::exp2(optics_.noiseGrowth * (-6 - settings.exposure));
    }
    Render& r = *render_;
    const Optics& optics = optics_;
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
            r.buildNoise(size, amplitude, seed_);
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
            drawSpot(image, lensDistort(at, size, optics), penRadius_, optics);
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
            cv::circle(image, centre, static_cast<int>(std::lround(penRadius_ * kScale)),
                       cv::Scalar::all(255), cv::FILLED, cv::LINE_AA, kShift);
        }
    }
}

}  // namespace sim
