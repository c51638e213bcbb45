#include "tovik/camera/ListCameras.h"

namespace tovik {

std::string formatFrameSizes(const std::vector<cv::Size>& sizes) {
    std::string text;
    for (const cv::Size& s : sizes) {
        if (!text.empty()) {
            text += ',';
        }
        text += std::to_string(s.width) + 'x' + std::to_string(s.height);
    }
    return text;
}

void ListCameras(std::ostream& out, CCameraDS& camera) {
    const std::vector<DeviceInfo> devices = camera.Devices();
    for (size_t i = 0; i < devices.size(); ++i) {
        // Names come from drivers; keep the line format intact.
        std::string name = devices[i].name;
        for (char& c : name) {
            if (c == '\t' || c == '\n' || c == '\r') {
                c = ' ';
            }
        }
        out << i << '\t' << name << '\t' << formatFrameSizes(devices[i].frameSizes) << '\n';
    }
}

}  // namespace tovik
