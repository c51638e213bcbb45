#include "RunLogs.h"

#include "sim/PenCommand.h"

#include <charconv>
#include <cmath>
#include <sstream>

namespace e2e {

namespace {

template <typename T>
bool number(std::string_view text, T& out, int base = 10) {
    const char* end = text.data() + text.size();
    std::from_chars_result r;
    if constexpr (std::is_floating_point_v<T>) {
        r = std::from_chars(text.data(), end, out);
        if (r.ec == std::errc() && !std::isfinite(out)) {
            return false;
        }
    } else {
        r = std::from_chars(text.data(), end, out, base);
    }
    return !text.empty() && r.ec == std::errc() && r.ptr == end;
}

// Calls `parse(words, records)` for each complete, non-blank, non-comment
// line; the final line is skipped when it has no line end. Nothing as soon as
// `parse` is false.
template <typename Records, typename Parse>
std::optional<Records> readLines(std::istream& in, std::string& error, Parse parse) {
    Records records;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t pos = 0;
    int lineNumber = 0;
    while (pos < text.size()) {
        const size_t nl = text.find('\n', pos);
        if (nl == std::string::npos) {
            break;  // cut short by a killed writer
        }
        ++lineNumber;
        const std::string_view line(text.data() + pos, nl - pos);
        pos = nl + 1;
        const std::vector<std::string_view> w = sim::splitWords(line);
        if (w.empty() || w[0].starts_with('#')) {
            continue;
        }
        if (!parse(w, records)) {
            error =
                "line " + std::to_string(lineNumber) + ": cannot read '" + std::string(line) + "'";
            return std::nullopt;
        }
    }
    return records;
}

using Words = std::vector<std::string_view>;

}  // namespace

std::optional<std::vector<SimFrame>> readSimFrames(std::istream& in, std::string& error) {
    return readLines<std::vector<SimFrame>>(in, error, [](const Words& w, auto& frames) {
        SimFrame f;
        int lit = 0;
        if (w.size() != 5 || !number(w[0], f.number) || !number(w[1], f.captureUs) ||
            !number(w[2], f.pen.x) || !number(w[3], f.pen.y) || !number(w[4], lit) ||
            (lit != 0 && lit != 1)) {
            return false;
        }
        f.lit = lit == 1;
        frames.push_back(f);
        return true;
    });
}

std::optional<TovikTrace> readTovikTrace(std::istream& in, std::string& error) {
    return readLines<TovikTrace>(in, error, [](const Words& w, TovikTrace& trace) {
        if (w[0] == "frame") {
            TraceFrame f;
            if (w.size() != 4 || !number(w[1], f.number) || !number(w[2], f.captureUs) ||
                !number(w[3], f.processUs)) {
                return false;
            }
            trace.frames.push_back(f);
            return true;
        }
        if (w[0] == "event") {
            TraceEvent e;
            if (w.size() != 7 || !number(w[1], e.sendUs) || !number(w[2], e.flags) ||
                !number(w[3], e.dx) || !number(w[4], e.dy) || !number(w[5], e.frame) ||
                !number(w[6], e.captureUs)) {
                return false;
            }
            trace.events.push_back(e);
            return true;
        }
        if (w[0] == "calibration") {
            TraceCalibration c;
            if (w.size() != 11 || (w[1] != "auto" && w[1] != "manual")) {
                return false;
            }
            c.kind = std::string(w[1]);
            for (int i = 0; i < 9; ++i) {
                if (!number(w[static_cast<size_t>(i) + 2], c.homography.val[i])) {
                    return false;
                }
            }
            trace.calibrations.push_back(c);
            return true;
        }
        return false;
    });
}

std::optional<std::vector<Segment>> readSegments(std::string_view bytes, std::string& error) {
    constexpr size_t kRecord = 24;
    if (bytes.size() % kRecord != 0) {
        error = "document dump of " + std::to_string(bytes.size()) +
                " bytes is not a whole number of 24-byte segments";
        return std::nullopt;
    }
    auto word = [&](size_t at) {
        const auto* b = reinterpret_cast<const unsigned char*>(bytes.data() + at);
        return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
               (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
    };
    const auto signedWord = [&](size_t at) { return static_cast<std::int32_t>(word(at)); };
    std::vector<Segment> segments;
    for (size_t at = 0; at < bytes.size(); at += kRecord) {
        segments.push_back({signedWord(at), signedWord(at + 4), signedWord(at + 8),
                            signedWord(at + 12), word(at + 16), signedWord(at + 20)});
    }
    return segments;
}

std::optional<std::vector<Stroke>> readFigure(std::istream& in, std::string& error) {
    return readLines<std::vector<Stroke>>(in, error, [](const Words& w, auto& strokes) {
        // At least two points; the colour as RRGGBB.
        std::uint32_t rgb = 0;
        if (w[0] != "stroke" || w.size() < 6 || w.size() % 2 != 0 || w[1].size() != 6 ||
            !number(w[1], rgb, 16)) {
            return false;
        }
        Stroke s;
        s.color = ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
        for (size_t i = 2; i < w.size(); i += 2) {
            cv::Point2d p;
            if (!number(w[i], p.x) || !number(w[i + 1], p.y)) {
                return false;
            }
            s.points.push_back(p);
        }
        strokes.push_back(std::move(s));
        return true;
    });
}

std::string writeFigure(const std::vector<Stroke>& strokes) {
    std::ostringstream out;
    out << "# stroke RRGGBB X Y X Y ... (screen pixels)\n";
    char rgb[8];
    for (const Stroke& s : strokes) {
        const std::uint32_t c = s.color;
        std::snprintf(rgb, sizeof rgb, "%02X%02X%02X", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
        out << "stroke " << rgb;
        for (const cv::Point2d& p : s.points) {
            out << ' ' << p.x << ' ' << p.y;
        }
        out << '\n';
    }
    return out.str();
}

}  // namespace e2e
