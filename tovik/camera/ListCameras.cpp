#include "tovik/camera/ListCameras.h"

#include <cmath>
#include <cstdio>

namespace tovik {

std::string formatFrameSizes(const std::vector<cv::Size>& sizes, const std::vector<double>& rates) {
    std::string text;
    for (size_t i = 0; i < sizes.size(); ++i) {
        if (!text.empty()) {
            text += ',';
        }
        text += std::to_string(sizes[i].width) + 'x' + std::to_string(sizes[i].height);
        if (i < rates.size() && rates[i] > 0) {
            char rate[32];
            std::snprintf(rate, sizeof rate, "@%g", std::round(rates[i] * 100) / 100);
            text += rate;
        }
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
        out << i << '\t' << name << '\t'
            << formatFrameSizes(devices[i].frameSizes, devices[i].frameRates);
        if (!devices[i].problem.empty()) {
            out << '\t' << devices[i].problem;
        }
        out << '\n';
    }
}

}  // namespace tovik
