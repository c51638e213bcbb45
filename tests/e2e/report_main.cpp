// Computes the end-to-end report from a run's records, prints it and writes
// report.json. Exit status 0 when every check passed, 1 when one failed, 2
// for bad arguments or unreadable records. Its arguments: usage() below.

#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

#include <opencv2/imgcodecs.hpp>

#include "RunReport.h"
#include "sim/CameraPose.h"

namespace {

int usage() {
    std::fputs(R"(usage: e2e_report --screen WxH [--monitor WxH+X+Y] --pose NAME [--frame-size WxH]
           --sim-log FILE --tovik-log FILE --kalvo-dump FILE --figure FILE
           [--screenshot PNG] [--leftover N] [--calibration auto|manual]
           [--ink-log FILE] [--right-clicks N] [--calibration-log FILE]
           [--pointer-mean PX] [--pointer-max PX] [--saved PICTURE] [--json OUT]
  --calibration-log: the trace of an earlier Tovik run whose calibration this
  run reused from its stored files
)",
               stderr);
    return 2;
}

bool size(const std::string& text, cv::Size& out) {
    return std::sscanf(text.c_str(), "%dx%d", &out.width, &out.height) == 2 && out.width > 0 &&
           out.height > 0;
}

// Reads `path` into `out` with one of the record readers; a missing file is
// no error unless `required`.
template <typename T, typename Reader>
bool readInto(const std::string& path, T& out, Reader reader, bool required = true) {
    std::ifstream in(path, std::ios::binary);
    std::string error;
    if (!in) {
        if (required) {
            std::fprintf(stderr, "e2e_report: cannot read %s\n", path.c_str());
        }
        return !required;
    }
    auto value = reader(in, error);
    if (!value) {
        std::fprintf(stderr, "e2e_report: %s: %s\n", path.c_str(), error.c_str());
        return false;
    }
    out = std::move(*value);
    return true;
}

// Kalvo's dump, read whole.
std::optional<std::vector<e2e::Segment>> readDump(std::istream& in, std::string& error) {
    return e2e::readSegments(std::string(std::istreambuf_iterator<char>(in), {}), error);
}

}  // namespace

int main(int argc, char** argv) {
    std::map<std::string, std::string> opt;
    for (int i = 1; i < argc; i += 2) {
        const std::string name = argv[i];
        if (!name.starts_with("--") || i + 1 >= argc) {
            return usage();
        }
        opt[name.substr(2)] = argv[i + 1];
    }
    for (const char* required :
         {"screen", "pose", "sim-log", "tovik-log", "kalvo-dump", "figure"}) {
        if (!opt.contains(required)) {
            return usage();
        }
    }
    e2e::RunRecords run;
    cv::Size frame(640, 480);
    if (!size(opt["screen"], run.screen) ||
        (opt.contains("frame-size") && !size(opt["frame-size"], frame))) {
        return usage();
    }
    std::string error;
    const std::optional<sim::CameraPose> pose = sim::CameraPose::parse(opt["pose"], error);
    if (!pose) {
        std::fprintf(stderr, "e2e_report: %s\n", error.c_str());
        return 2;
    }
    run.monitor = cv::Rect({}, run.screen);
    if (opt.contains("monitor")) {
        cv::Rect& m = run.monitor;
        if (std::sscanf(opt["monitor"].c_str(), "%dx%d+%d+%d", &m.width, &m.height, &m.x, &m.y) !=
                4 ||
            m.empty() || (m & cv::Rect({}, run.screen)) != m) {
            return usage();
        }
    }
    run.pose = pose->homography(run.monitor.size(), frame);
    e2e::Limits limits;
    if (opt.contains("calibration")) {
        limits.calibration = opt["calibration"];
    }
    // A number given, or `fallback`.
    const auto value = [&opt](const char* name, auto fallback) {
        using T = decltype(fallback);
        const char* text = opt.contains(name) ? opt[name].c_str() : nullptr;
        return text == nullptr         ? fallback
               : std::is_integral_v<T> ? static_cast<T>(std::atoi(text))
                                       : static_cast<T>(std::atof(text));
    };
    limits.rightClicks = value("right-clicks", limits.rightClicks);
    limits.pointerMeanPx = value("pointer-mean", limits.pointerMeanPx);
    limits.pointerMaxPx = value("pointer-max", limits.pointerMaxPx);
    run.leftoverProcesses = value("leftover", run.leftoverProcesses);

    e2e::TovikTrace earlier;
    const bool read = readInto(opt["sim-log"], run.simFrames, e2e::readSimFrames) &&
                      readInto(opt["tovik-log"], run.trace, e2e::readTovikTrace) &&
                      readInto(opt["figure"], run.figure, e2e::readFigure) &&
                      // No dump is a failed check, not an unreadable run.
                      readInto(opt["kalvo-dump"], run.segments, readDump, false);
    if (!read || (opt.contains("calibration-log") &&
                  !readInto(opt["calibration-log"], earlier, e2e::readTovikTrace))) {
        return 2;
    }
    run.trace.calibrations.insert(run.trace.calibrations.begin(), earlier.calibrations.begin(),
                                  earlier.calibrations.end());
    if (opt.contains("ink-log")) {
        // "ink CAPTURE_US SEEN_US" per pointer move whose ink was seen.
        std::ifstream in(opt["ink-log"]);
        std::string kind;
        long long capture = 0, seen = 0;
        for (std::string line; std::getline(in, line);) {
            std::istringstream fields(line);
            if (fields >> kind >> capture >> seen && kind == "ink") {
                run.inkLatenciesMs.push_back(static_cast<double>(seen - capture) / 1000.0);
            }
        }
    }
    for (const auto& [name, image] :
         {std::pair{"screenshot", &run.screenshot}, std::pair{"saved", &run.savedPicture}}) {
        if (opt.contains(name)) {
            *image = cv::imread(opt[name], cv::IMREAD_COLOR);
            if (image->empty()) {
                std::fprintf(stderr, "e2e_report: cannot read %s\n", opt[name].c_str());
                return 2;
            }
        }
    }

    const e2e::Report report = e2e::computeReport(run, limits);
    std::cout << e2e::reportText(report);
    if (opt.contains("json")) {
        std::ofstream out(opt["json"]);
        out << e2e::reportJson(report);
        if (!out) {
            std::fprintf(stderr, "e2e_report: cannot write %s\n", opt["json"].c_str());
            return 2;
        }
    }
    return report.ok ? 0 : 1;
}
