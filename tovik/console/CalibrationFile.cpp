#include "tovik/console/CalibrationFile.h"

#include <cmath>
#include <filesystem>

#include <opencv2/imgcodecs.hpp>

#include "common/ini/SafeWrite.h"

namespace tovik {

bool LoadCalibrationFile(const std::string& path, cv::Size cameraFrame, CalibrationState& state,
                         std::string& error) {
    cv::FileStorage fs;
    try {
        if (!fs.open(path, cv::FileStorage::READ)) {
            error = "cannot read the calibration file " + path;
            return false;
        }
    } catch (const cv::Exception& e) {
        error = "cannot parse the calibration file " + path + ": " + e.what();
        return false;
    }
    try {
        cv::Mat h;
        fs["homography"] >> h;
        if (h.rows != 3 || h.cols != 3) {
            error = path + ": 'homography' must be a 3x3 matrix";
            return false;
        }
        h.convertTo(h, CV_32F);
        cv::Matx33f homography;
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) {
                homography(r, c) = h.at<float>(r, c);
                if (!std::isfinite(homography(r, c))) {
                    error = path + ": 'homography' holds a value that is not finite";
                    return false;
                }
            }
        }
        std::vector<int> window;
        fs["window"] >> window;
        if (window.size() != 4) {
            error = path + ": 'window' must be [left, right, top, bottom]";
            return false;
        }
        if (fs["auto_threshold"].empty() || !fs["auto_threshold"].isInt()) {
            error = path + ": 'auto_threshold' must be an integer";
            return false;
        }
        const int autoThreshold = static_cast<int>(fs["auto_threshold"]);

        cv::Mat background;
        if (!fs["background"].empty()) {
            std::filesystem::path image(static_cast<std::string>(fs["background"]));
            if (image.is_relative()) {
                image = std::filesystem::path(path).parent_path() / image;
            }
            background = cv::imread(image.string(), cv::IMREAD_COLOR);
            if (background.empty()) {
                error = path + ": cannot read the background image " + image.string();
                return false;
            }
        } else if (!fs["background_grey"].empty() && fs["background_grey"].isInt()) {
            cv::Size size = cameraFrame;
            std::vector<int> frameSize;
            fs["frame_size"] >> frameSize;
            if (frameSize.size() == 2) {
                size = {frameSize[0], frameSize[1]};
            }
            const int grey = static_cast<int>(fs["background_grey"]);
            if (size.width <= 0 || size.height <= 0 || size.width > 8192 || size.height > 8192 ||
                grey < 0 || grey > 255) {
                error = path + ": 'background_grey' needs a grey level 0..255 and a frame size";
                return false;
            }
            background = cv::Mat(size, CV_8UC3, cv::Scalar::all(grey));
        } else {
            error = path + ": give 'background' (an image) or 'background_grey' (0..255)";
            return false;
        }

        LensModel lens;
        if (const cv::FileNode node = fs["lens"]; !node.empty()) {
            std::vector<double> centre;
            node["centre"] >> centre;
            lens.valid = static_cast<int>(node["valid"]) != 0;
            lens.focal = static_cast<double>(node["focal"]);
            lens.k1 = static_cast<double>(node["k1"]);
            lens.k2 = static_cast<double>(node["k2"]);
            if (!node.isMap() || centre.size() != 2 || !(lens.focal > 0) ||
                !std::isfinite(lens.focal) || !std::isfinite(lens.k1) || !std::isfinite(lens.k2) ||
                !std::isfinite(centre[0]) || !std::isfinite(centre[1])) {
                error = path + ": 'lens' must be {valid, focal, centre: [x, y], k1, k2}";
                return false;
            }
            lens.centre = {centre[0], centre[1]};
        }

        state.Homography = homography;
        state.Lens = lens;
        state.Window = {window[0], window[1], window[2], window[3]};
        state.AutoThreshold = autoThreshold;
        state.BackgroundFrame = background;
        state.Calibrated = 1;
        return true;
    } catch (const cv::Exception& e) {
        error = path + ": " + e.what();
        return false;
    }
}

void WriteLensModel(cv::FileStorage& fs, const LensModel& lens) {
    fs << "lens"
       << "{"
       << "valid" << (lens.valid ? 1 : 0) << "focal" << lens.focal << "centre"
       << std::vector<double>{lens.centre.x, lens.centre.y} << "k1" << lens.k1 << "k2" << lens.k2
       << "}";
}

bool WriteCalibrationFile(const std::string& path, const CalibrationFileContent& content) {
    try {
        // Built in memory and written whole, like every file the programs write.
        cv::FileStorage fs(".yml", cv::FileStorage::WRITE | cv::FileStorage::MEMORY |
                                       cv::FileStorage::FORMAT_YAML);
        fs << "homography" << cv::Mat(content.homography);
        fs << "window"
           << std::vector<int>{content.window.left, content.window.right, content.window.top,
                               content.window.bottom};
        fs << "auto_threshold" << content.autoThreshold;
        if (!content.backgroundPath.empty()) {
            fs << "background" << content.backgroundPath;
        } else {
            fs << "background_grey" << content.backgroundGrey;
            if (content.frameSize.width > 0) {
                fs << "frame_size"
                   << std::vector<int>{content.frameSize.width, content.frameSize.height};
            }
        }
        return common::writeFileSafely(path, fs.releaseAndGetString()).ok();
    } catch (const cv::Exception&) {
        return false;
    }
}

}  // namespace tovik
