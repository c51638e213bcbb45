#pragma once
// Calibration files in one folder (the program's folder, or the per-user data
// folder when that is not writable). Each file goes through
// common::writeFileSafely, so a failed write never leaves half a file behind.

#include <string>
#include <string_view>
#include <utility>

#include "tovik/calibration/CalibrationServices.h"

namespace tovik {

class FolderCalibrationFiles final : public CalibrationFiles {
public:
    // `folder` with or without a trailing '/'.
    explicit FolderCalibrationFiles(std::string folder);

    // Windows bitmap of an 8-bit image.
    bool SaveImage(const std::string& name, const cv::Mat& image) override;
    bool SaveMatrix(const std::string& name, const std::string& objectName,
                    const cv::Matx33f& matrix) override;

    [[nodiscard]] std::string pathOf(const std::string& name) const;

    // The first write failure since the last takeError(), in words for the
    // user; empty when every file was written.
    [[nodiscard]] std::string takeError() { return std::exchange(lastError_, {}); }

private:
    bool writeFile(const std::string& name, std::string_view data);

    std::string folder_;
    std::string lastError_;
};

// The YAML text of a 3x3 float matrix stored under `objectName`.
[[nodiscard]] std::string MatrixYaml(const std::string& objectName, const cv::Matx33f& matrix);

}  // namespace tovik
