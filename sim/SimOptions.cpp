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

Optics webcamOptics() {
    Optics o;
    o.k1 = -0.18;
    o.k2 = 0.04;
    o.focal = 0.75;
    o.blur = 1.2;
    o.noiseGrowth = 0.5;
    o.bloom = 1.0;
    o.tilt = 30;
    o.ambient = 25;
    o.exposureLag = true;
    return o;
}

namespace {

// One parse: the options so far and what is settled only at the end.
struct Parse {
    SimOptions& o;
    bool sizeGiven = false;
    cv::Size firstSize;
    std::string expected;  // replaces the option's own text (a pose's error)
};

template <typename T>
bool numberIn(std::string_view value, T& field, T low, T high) {
    return number(value, field) && field >= low && field <= high;
}

template <std::string SimOptions::*Field>
bool setText(std::string_view value, Parse& p) {
    p.o.*Field = value;
    return true;
}

// Each option: its name, what a bad value is told, and how a value is applied
// (false: it does not fit).
struct Option {
    const char* name;
    const char* expected;
    bool (*apply)(std::string_view value, Parse& p);
};

const Option kOptions[] = {
    {"scene", "expected blank or screen",
     [](std::string_view v, Parse& p) {
         p.o.scene = v == "screen" ? SimOptions::Scene::Screen : SimOptions::Scene::Blank;
         return v == "blank" || v == "screen";
     }},
    {"scenesize", "expected WxH",
     [](std::string_view v, Parse& p) { return parseSize(v, p.o.sceneSize); }},
    {"display", "", setText<&SimOptions::display>},
    {"area", "expected WxH+X+Y",
     [](std::string_view v, Parse& p) {
         // WxH+X+Y, as X geometry is written.
         const size_t plus = v.find('+');
         const size_t plus2 = plus == std::string_view::npos ? plus : v.find('+', plus + 1);
         cv::Size s;
         int x = -1, y = -1;
         if (plus2 == std::string_view::npos || !parseSize(v.substr(0, plus), s) ||
             !number(v.substr(plus + 1, plus2 - plus - 1), x) || !number(v.substr(plus2 + 1), y) ||
             x < 0 || y < 0) {
             return false;
         }
         p.o.area = cv::Rect(x, y, s.width, s.height);
         return true;
     }},
    {"pose", "",
     [](std::string_view v, Parse& p) {
         std::optional<CameraPose> pose = CameraPose::parse(v, p.expected);
         p.o.pose = pose.value_or(p.o.pose);
         return pose.has_value();
     }},
    {"count", "expected a count from 0 to 16",
     [](std::string_view v, Parse& p) { return numberIn(v, p.o.count, 0, 16); }},
    {"fps", "expected frames per second from 0 (on demand) to 1000",
     [](std::string_view v, Parse& p) { return numberIn(v, p.o.fps, 0.0, 1000.0); }},
    {"queue", "expected a queue length from 1 to 64",
     [](std::string_view v, Parse& p) { return numberIn(v, p.o.queue, 1, 64); }},
    {"noise", "expected grey levels from 0 to 64",
     [](std::string_view v, Parse& p) { return numberIn(v, p.o.noise, 0.0, 64.0); }},
    {"seed", "expected a whole number",
     [](std::string_view v, Parse& p) { return number(v, p.o.seed); }},
    {"penradius", "expected a radius in camera pixels from 0.5 to 200",
     [](std::string_view v, Parse& p) { return numberIn(v, p.o.penRadius, 0.5, 200.0); }},
    {"control", "", setText<&SimOptions::control>},
    {"script", "", setText<&SimOptions::script>},
    {"log", "", setText<&SimOptions::log>},
    {"refuse",
     "expected control names joined with '+' (brightness, contrast, hue, saturation, sharpness, "
     "gamma, backlight, gain, exposure)",
     [](std::string_view v, Parse& p) {
         for (std::string_view item : splitList(v, '+')) {
             if (!kControlNames.contains(std::string(item))) {
                 return false;
             }
             p.o.refuse.insert(std::string(item));
         }
         return true;
     }},
    {"missing", "expected exposure, controls or exposure+controls",
     [](std::string_view v, Parse& p) {
         for (std::string_view item : splitList(v, '+')) {
             if (item != "exposure" && item != "controls") {
                 return false;
             }
             p.o.missing.insert(std::string(item));
         }
         return true;
     }},
    {"size", "expected WxH",
     [](std::string_view v, Parse& p) { return p.sizeGiven = parseSize(v, p.firstSize); }},
    {"sizes", "expected sizes WxH joined with '+'",
     [](std::string_view v, Parse& p) {
         p.o.sizes.clear();
         for (std::string_view item : splitList(v, '+')) {
             cv::Size s;
             if (!parseSize(item, s)) {
                 return false;
             }
             if (std::find(p.o.sizes.begin(), p.o.sizes.end(), s) == p.o.sizes.end()) {
                 p.o.sizes.push_back(s);
             }
         }
         return true;
     }},
    {"optics", "expected webcam or ideal",
     [](std::string_view v, Parse& p) {
         if (v == "webcam") {
             const double noise = p.o.noise;
             p.o.optics = webcamOptics();
             p.o.noise = std::max(noise, 3.0);
         } else if (v == "ideal") {
             p.o.optics = Optics{};
         }
         return v == "webcam" || v == "ideal";
     }},
    {"k1", "expected a distortion coefficient from -1 to 1",
     [](std::string_view v, Parse& p) { return numberIn(v, p.o.optics.k1, -1.0, 1.0); }},
    {"k2", "expected a distortion coefficient from -1 to 1",
     [](std::string_view v, Parse& p) { return numberIn(v, p.o.optics.k2, -1.0, 1.0); }},
    {"blur", "expected a blur sigma in camera pixels from 0 to 10",
     [](std::string_view v, Parse& p) { return numberIn(v, p.o.optics.blur, 0.0, 10.0); }},
    {"noisegrowth", "expected a noise growth per exposure stop from 0 to 2",
     [](std::string_view v, Parse& p) { return numberIn(v, p.o.optics.noiseGrowth, 0.0, 2.0); }},
    {"bloom", "expected a halo size in spot radii from 0 to 10",
     [](std::string_view v, Parse& p) { return numberIn(v, p.o.optics.bloom, 0.0, 10.0); }},
    {"tilt", "expected a pen tilt in degrees from 0 to 75",
     [](std::string_view v, Parse& p) { return numberIn(v, p.o.optics.tilt, 0.0, 75.0); }},
    {"ambient", "expected room light in grey levels from 0 to 255",
     [](std::string_view v, Parse& p) { return numberIn(v, p.o.optics.ambient, 0.0, 255.0); }},
    {"aelag", "expected 0 or 1",
     [](std::string_view v, Parse& p) {
         p.o.optics.exposureLag = v == "1";
         return v == "0" || v == "1";
     }},
};

}  // namespace

std::string simOptionNames() {
    std::string names;
    for (const Option& option : kOptions) {
        names += names.empty() ? "" : ", ";
        names += option.name;
    }
    return names;
}

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
    Parse parse{o, false, {}, {}};
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
        const auto* known = std::find_if(std::begin(kOptions), std::end(kOptions),
                                         [&](const Option& k) { return name == k.name; });
        if (known == std::end(kOptions)) {
            error = "unknown sim option '" + name + "' (" + simOptionNames() + ")";
            return std::nullopt;
        }
        if (!known->apply(value, parse)) {
            error = "sim option " + name + "=" + std::string(value) + ": " +
                    (parse.expected.empty() ? known->expected : parse.expected);
            return std::nullopt;
        }
    }
    if (parse.sizeGiven) {
        std::erase(o.sizes, parse.firstSize);
        o.sizes.insert(o.sizes.begin(), parse.firstSize);
    }
    return o;
}

}  // namespace sim
