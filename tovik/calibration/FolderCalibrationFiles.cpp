#include "tovik/calibration/FolderCalibrationFiles.h"

#include <vector>

#include <opencv2/imgcodecs.hpp>

#include "common/ini/SafeWrite.h"

namespace tovik {

FolderCalibrationFiles::FolderCalibrationFiles(std::string folder) : folder_(std::move(folder)) {
    if (!folder_.empty() && folder_.back() != '/') {
        folder_ += '/';
    }
}

std::string FolderCalibrationFiles::pathOf(const std::string& name) const {
    return folder_ + name;
}

bool FolderCalibrationFiles::writeFile(const std::string& name, std::string_view data) {
    const std::string target = pathOf(name);
    const common::FileWriteResult r = common::writeFileSafely(target, data);
    if (!r.ok() && lastError_.empty()) {
        lastError_ = r.describe(target);
    }
    return r.ok();
}

bool FolderCalibrationFiles::SaveImage(const std::string& name, const cv::Mat& image) {
    if (image.empty() || image.depth() != CV_8U) {
        return false;
    }
    std::vector<uchar> bytes;
    try {
        if (!cv::imencode(".bmp", image, bytes)) {
            return false;
        }
    } catch (const cv::Exception&) {
        return false;
    }
    return writeFile(name,
                     std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::string MatrixYaml(const std::string& objectName, const cv::Matx33f& matrix) {
    cv::FileStorage fs(
        ".yml", cv::FileStorage::WRITE | cv::FileStorage::MEMORY | cv::FileStorage::FORMAT_YAML);
    fs << objectName << cv::Mat(matrix);
    return fs.releaseAndGetString();
}

bool FolderCalibrationFiles::SaveMatrix(const std::string& name, const std::string& objectName,
                                        const cv::Matx33f& matrix) {
    const std::string text = MatrixYaml(objectName, matrix);
    return !text.empty() && writeFile(name, text);
}

}  // namespace tovik
