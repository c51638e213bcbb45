#pragma once
// Calibration files in one folder (the program's folder, or the per-user data
// folder when that is not writable). Each file is written to a temporary
// name and renamed over the old one, so a failed write never leaves half a
// file behind.

#include <string>

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

private:
    bool writeFile(const std::string& name, const void* data, size_t size);

    std::string folder_;
};

// The YAML text of a 3x3 float matrix stored under `objectName`.
[[nodiscard]] std::string MatrixYaml(const std::string& objectName, const cv::Matx33f& matrix);

}  // namespace tovik
