#include "tovik/console/StoredCalibration.h"

#include <ctime>
#include <filesystem>
#include <system_error>

#include <opencv2/imgcodecs.hpp>

#include "common/ini/SafeWrite.h"
#include "tovik/console/CalibrationFile.h"

namespace tovik {
namespace {

std::string sizeText(cv::Size s) {
    return std::to_string(s.width) + "x" + std::to_string(s.height);
}

std::string rectText(const common::ScreenRect& r) {
    return std::to_string(r.width) + "x" + std::to_string(r.height) + "+" + std::to_string(r.x) +
           "+" + std::to_string(r.y);
}

}  // namespace

std::string FormatMadeAt(std::int64_t seconds) {
    const auto t = static_cast<std::time_t>(seconds);
    std::tm local{};
#ifdef _WIN32
    ::localtime_s(&local, &t);
#else
    ::localtime_r(&t, &local);
#endif
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M", &local);
    return buf;
}

bool StoreCalibration(const std::string& dir, const CalibrationState& state,
                      const CalibrationOrigin& origin, std::string& error) {
    const std::string yml = dir + kStoredCalibrationFile;
    // The background goes under the name the stored description does not
    // use, so the pair on disk stays whole until the new description has
    // replaced the old one; only then does the old background go.
    std::string previous;
    try {
        const cv::FileStorage old(yml, cv::FileStorage::READ);
        if (old.isOpened() && old["background"].isString()) {
            previous = static_cast<std::string>(old["background"]);
        }
    } catch (const cv::Exception&) {
    }
    const std::string background =
        previous == kStoredBackgroundFile ? kStoredBackgroundOtherFile : kStoredBackgroundFile;
    std::string text;
    try {
        std::vector<uchar> png;
        if (state.BackgroundFrame.empty() || !cv::imencode(".png", state.BackgroundFrame, png)) {
            error = "cannot encode the background picture";
            return false;
        }
        const std::string_view bytes(reinterpret_cast<const char*>(png.data()), png.size());
        if (const common::FileWriteResult r = common::writeFileSafely(dir + background, bytes);
            !r.ok()) {
            error = r.describe(dir + background);
            return false;
        }
        cv::FileStorage fs(".yml", cv::FileStorage::WRITE | cv::FileStorage::MEMORY |
                                       cv::FileStorage::FORMAT_YAML);
        // The keys of a calibration file, then what it was made for.
        fs << "homography" << cv::Mat(state.Homography);
        fs << "window"
           << std::vector<int>{state.Window.left, state.Window.right, state.Window.top,
                               state.Window.bottom};
        fs << "auto_threshold" << state.AutoThreshold;
        fs << "background" << background;
        WriteLensModel(fs, state.Lens);
        fs << "camera" << origin.camera;
        fs << "frame_size" << std::vector<int>{origin.frameSize.width, origin.frameSize.height};
        fs << "screen"
           << std::vector<int>{origin.screen.x, origin.screen.y, origin.screen.width,
                               origin.screen.height};
        // A double holds the seconds exactly for the next 285 000 years.
        fs << "made_at" << static_cast<double>(origin.madeAt);
        fs << "made" << FormatMadeAt(origin.madeAt);
        text = fs.releaseAndGetString();
    } catch (const cv::Exception& e) {
        error = "cannot write " + yml + ": " + e.what();
        return false;
    }
    std::error_code ec;
    if (const common::FileWriteResult r = common::writeFileSafely(yml, text); !r.ok()) {
        std::filesystem::remove(dir + background, ec);
        error = r.describe(yml);
        return false;
    }
    if (previous == kStoredBackgroundFile || previous == kStoredBackgroundOtherFile) {
        std::filesystem::remove(dir + previous, ec);
    }
    return true;
}

std::optional<CalibrationOrigin> LoadStoredCalibration(const std::string& dir,
                                                       const CalibrationOrigin& current,
                                                       CalibrationState& state,
                                                       std::string& error) {
    error.clear();
    const std::string yml = dir + kStoredCalibrationFile;
    std::error_code ec;
    if (!std::filesystem::exists(yml, ec)) {
        return std::nullopt;
    }
    CalibrationOrigin stored;
    try {
        cv::FileStorage fs(yml, cv::FileStorage::READ);
        if (!fs.isOpened()) {
            error = "cannot read " + yml;
            return std::nullopt;
        }
        std::vector<int> frame, screen;
        fs["frame_size"] >> frame;
        fs["screen"] >> screen;
        if (!fs["camera"].isString() || frame.size() != 2 || screen.size() != 4 ||
            !fs["made_at"].isReal()) {
            error = yml + " does not say which camera and screen it was made for";
            return std::nullopt;
        }
        // Its homography starts from straightened points only when it says
        // how they were straightened.
        if (current.lensCorrection && fs["lens"].empty()) {
            error = yml + " was made without the lens model that lens correction needs";
            return std::nullopt;
        }
        stored.camera = static_cast<std::string>(fs["camera"]);
        stored.frameSize = {frame[0], frame[1]};
        stored.screen = {screen[0], screen[1], screen[2], screen[3]};
        stored.madeAt = static_cast<std::int64_t>(static_cast<double>(fs["made_at"]));
    } catch (const cv::Exception& e) {
        error = "cannot read " + yml + ": " + e.what();
        return std::nullopt;
    }
    if (stored.camera != current.camera || stored.frameSize != current.frameSize) {
        error = "made for the camera \"" + stored.camera + "\" at " + sizeText(stored.frameSize) +
                ", this is \"" + current.camera + "\" at " + sizeText(current.frameSize);
        return std::nullopt;
    }
    if (!(stored.screen == current.screen)) {
        error = "made for the screen " + rectText(stored.screen) + ", the target is " +
                rectText(current.screen);
        return std::nullopt;
    }
    CalibrationState loaded = state;
    if (!LoadCalibrationFile(yml, current.frameSize, loaded, error)) {
        return std::nullopt;
    }
    const DetectionWindow& w = loaded.Window;
    if (loaded.BackgroundFrame.size() != current.frameSize || w.left < 0 || w.top < 0 ||
        w.right > current.frameSize.width || w.bottom > current.frameSize.height ||
        w.left > w.right || w.top > w.bottom) {
        error = yml + ": the background or the detection window does not fit the frame";
        return std::nullopt;
    }
    state = loaded;
    return stored;
}

}  // namespace tovik
