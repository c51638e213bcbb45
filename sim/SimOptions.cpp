#include "sim/SimOptions.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace sim {

namespace {

template <typename T>
bool number(std::string_view text, T& out) {
    const char* end = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), end, out);
    if constexpr (std::is_floating_point_v<T>) {
        if (!std::isfinite(out)) {
            return false;
        }
    }
    return !text.empty() && ec == std::errc() && p == end;
}

bool parseSize(std::string_view text, cv::Size& out) {
    const size_t x = text.find('x');
    if (x == std::string_view::npos) {
        return false;
    }
    int w = 0, h = 0;
    if (!number(text.substr(0, x), w) || !number(text.substr(x + 1), h)) {
        return false;
    }
    if (w < 8 || h < 8 || w > 8192 || h > 8192) {
        return false;
    }
    out = {w, h};
    return true;
}

// Lists inside one option are joined with '+' (commas separate options).
std::vector<std::string_view> splitList(std::string_view text, char sep) {
    std::vector<std::string_view> items;
    while (true) {
        const size_t p = text.find(sep);
        items.push_back(text.substr(0, p));
        if (p == std::string_view::npos) {
            return items;
        }
        text.remove_prefix(p + 1);
    }
}

const std::set<std::string> kControlNames = {"brightness", "contrast",  "hue",
                                             "saturation", "sharpness", "gamma",
                                             "backlight",  "gain",      "exposure"};

}  // namespace

std::optional<SimOptions> parseSimOptions(std::string_view text, std::string& error) {
    SimOptions o;
    std::vector<std::string_view> tokens =
        text.empty() ? std::vector<std::string_view>() : splitList(text, ',');
    // A free pose carries its own commas: re-join its nine numbers.
    std::vector<std::string> options;
    for (size_t i = 0; i < tokens.size(); ++i) {
        std::string t(tokens[i]);
        if (t.starts_with("pose=h:")) {
            for (int n = 1; n < 9 && i + 1 < tokens.size() &&
                            tokens[i + 1].find('=') == std::string_view::npos;
                 ++n) {
                t += ',';
                t += tokens[++i];
            }
        }
        options.push_back(std::move(t));
    }
    bool sizeGiven = false;
    cv::Size firstSize;
    for (std::string option : options) {
        // The scene alone is short for scene=...: "sim:screen,pose=upright".
        if (option == "screen" || option == "blank") {
            option = "scene=" + option;
        }
        const size_t eq = option.find('=');
        if (eq == std::string::npos || eq == 0) {
            error = "sim option '" + option + "' is not name=value";
            return std::nullopt;
        }
        const std::string name = option.substr(0, eq);
        const std::string_view value = std::string_view(option).substr(eq + 1);
        auto bad = [&](const std::string& expected) {
            error = "sim option " + name + "=" + std::string(value) + ": " + expected;
            return std::nullopt;
        };
        if (name == "scene") {
            if (value == "blank") {
                o.scene = SimOptions::Scene::Blank;
            } else if (value == "screen") {
                o.scene = SimOptions::Scene::Screen;
            } else {
                return bad("expected blank or screen");
            }
        } else if (name == "scenesize") {
            if (!parseSize(value, o.sceneSize)) {
                return bad("expected WxH");
            }
        } else if (name == "display") {
            o.display = value;
        } else if (name == "area") {
            // WxH+X+Y, as X geometry is written.
            const size_t plus = value.find('+');
            const size_t plus2 = plus == std::string_view::npos ? plus : value.find('+', plus + 1);
            cv::Size s;
            int x = -1, y = -1;
            if (plus2 == std::string_view::npos || !parseSize(value.substr(0, plus), s) ||
                !number(value.substr(plus + 1, plus2 - plus - 1), x) ||
                !number(value.substr(plus2 + 1), y) || x < 0 || y < 0) {
                return bad("expected WxH+X+Y");
            }
            o.area = cv::Rect(x, y, s.width, s.height);
        } else if (name == "pose") {
            std::string poseError;
            std::optional<CameraPose> pose = CameraPose::parse(value, poseError);
            if (!pose) {
                return bad(poseError);
            }
            o.pose = *pose;
        } else if (name == "count") {
            if (!number(value, o.count) || o.count < 0 || o.count > 16) {
                return bad("expected a count from 0 to 16");
            }
        } else if (name == "fps") {
            if (!number(value, o.fps) || o.fps < 0 || o.fps > 1000) {
                return bad("expected frames per second from 0 (on demand) to 1000");
            }
        } else if (name == "queue") {
            if (!number(value, o.queue) || o.queue < 1 || o.queue > 64) {
                return bad("expected a queue length from 1 to 64");
            }
        } else if (name == "noise") {
            if (!number(value, o.noise) || o.noise < 0 || o.noise > 64) {
                return bad("expected grey levels from 0 to 64");
            }
        } else if (name == "seed") {
            if (!number(value, o.seed)) {
                return bad("expected a whole number");
            }
        } else if (name == "penradius") {
            if (!number(value, o.penRadius) || o.penRadius < 0.5 || o.penRadius > 200) {
                return bad("expected a radius in camera pixels from 0.5 to 200");
            }
        } else if (name == "control") {
            o.control = value;
        } else if (name == "script") {
            o.script = value;
        } else if (name == "log") {
            o.log = value;
        } else if (name == "refuse") {
            for (std::string_view item : splitList(value, '+')) {
                if (!kControlNames.contains(std::string(item))) {
                    return bad(
                        "expected control names joined with '+' (brightness, contrast, "
                        "hue, saturation, sharpness, gamma, backlight, gain, exposure)");
                }
                o.refuse.insert(std::string(item));
            }
        } else if (name == "missing") {
            for (std::string_view item : splitList(value, '+')) {
                if (item != "exposure" && item != "controls") {
                    return bad("expected exposure, controls or exposure+controls");
                }
                o.missing.insert(std::string(item));
            }
        } else if (name == "size") {
            if (!parseSize(value, firstSize)) {
                return bad("expected WxH");
            }
            sizeGiven = true;
        } else if (name == "sizes") {
            o.sizes.clear();
            for (std::string_view item : splitList(value, '+')) {
                cv::Size s;
                if (!parseSize(item, s)) {
                    return bad("expected sizes WxH joined with '+'");
                }
                if (std::find(o.sizes.begin(), o.sizes.end(), s) == o.sizes.end()) {
                    o.sizes.push_back(s);
                }
            }
        } else {
            error = "unknown sim option '" + name +
                    "' (scene, scenesize, display, area, pose, count, fps, queue, noise, seed, "
                    "penradius, control, script, log, refuse, missing, size, sizes)";
            return std::nullopt;
        }
    }
    if (sizeGiven) {
        std::erase(o.sizes, firstSize);
        o.sizes.insert(o.sizes.begin(), firstSize);
    }
    return o;
}

}  // namespace sim
