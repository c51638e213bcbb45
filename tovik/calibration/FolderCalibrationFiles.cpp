#include "tovik/calibration/FolderCalibrationFiles.h"

#include <cstdio>
#include <fstream>
#include <vector>

#include <unistd.h>

#include <opencv2/imgcodecs.hpp>

namespace tovik {

FolderCalibrationFiles::FolderCalibrationFiles(std::string folder) : folder_(std::move(folder)) {
    if (!folder_.empty() && folder_.back() != '/') {
        folder_ += '/';
    }
}

std::string FolderCalibrationFiles::pathOf(const std::string& name) const {
    return folder_ + name;
}

bool FolderCalibrationFiles::writeFile(const std::string& name, const void* data, size_t size) {
    const std::string target = pathOf(name);
    const std::string temp = target + ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) {
            return false;
        }
        out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
        out.flush();
        if (!out) {
            out.close();
            std::remove(temp.c_str());
            return false;
        }
    }
    if (std::rename(temp.c_str(), target.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
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
    return writeFile(name, bytes.data(), bytes.size());
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
    return !text.empty() && writeFile(name, text.data(), text.size());
}

}  // namespace tovik
