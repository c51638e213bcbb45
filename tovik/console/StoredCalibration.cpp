#include "tovik/console/StoredCalibration.h"

#include <ctime>
#include <filesystem>
#include <system_error>

#include <opencv2/imgcodecs.hpp>

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
    // The temporary name keeps the extension that selects YAML.
    const std::string tmp = dir + "StoredCalibration.tmp.yml";
    try {
        if (state.BackgroundFrame.empty() ||
            !cv::imwrite(dir + kStoredBackgroundFile, state.BackgroundFrame)) {
            error = "cannot write " + dir + kStoredBackgroundFile;
            return false;
        }
        cv::FileStorage fs(tmp, cv::FileStorage::WRITE);
        if (!fs.isOpened()) {
            error = "cannot write " + tmp;
            return false;
        }
        // The keys of a calibration file, then what it was made for.
        fs << "homography" << cv::Mat(state.Homography);
        fs << "window"
           << std::vector<int>{state.Window.left, state.Window.right, state.Window.top,
                               state.Window.bottom};
        fs << "auto_threshold" << state.AutoThreshold;
        fs << "background" << std::string(kStoredBackgroundFile);
        fs << "camera" << origin.camera;
        fs << "frame_size" << std::vector<int>{origin.frameSize.width, origin.frameSize.height};
        fs << "screen"
           << std::vector<int>{origin.screen.x, origin.screen.y, origin.screen.width,
                               origin.screen.height};
        // A double holds the seconds exactly for the next 285 000 years.
        fs << "made_at" << static_cast<double>(origin.madeAt);
        fs << "made" << FormatMadeAt(origin.madeAt);
        fs.release();
    } catch (const cv::Exception& e) {
        error = "cannot write " + yml + ": " + e.what();
        return false;
    }
    std::error_code ec;
    std::filesystem::rename(tmp, yml, ec);
    if (ec) {
        std::filesystem::remove(tmp, ec);
        error = "cannot write " + yml;
        return false;
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
