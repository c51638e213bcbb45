#include "common/platform/ScreenInfo.h"

#include <algorithm>
#include <charconv>

namespace common {

std::optional<Monitor> findMonitor(const std::vector<Monitor>& monitors, std::string_view choice) {
    if (monitors.empty()) {
        return std::nullopt;
    }
    if (choice.empty()) {
        const auto primary = std::find_if(monitors.begin(), monitors.end(),
                                          [](const Monitor& m) { return m.primary; });
        return primary != monitors.end() ? *primary : monitors.front();
    }
    std::size_t index = 0;
    const char* end = choice.data() + choice.size();
    if (auto [p, ec] = std::from_chars(choice.data(), end, index); ec == std::errc() && p == end) {
        return index < monitors.size() ? std::optional<Monitor>(monitors[index]) : std::nullopt;
    }
    const auto named = std::find_if(monitors.begin(), monitors.end(),
                                    [&](const Monitor& m) { return m.name == choice; });
    return named != monitors.end() ? std::optional<Monitor>(*named) : std::nullopt;
}

TargetScreen resolveTargetScreen(const ScreenInfo& screens, std::string_view choice) {
    const std::vector<Monitor> monitors = screens.monitors();
    TargetScreen target;
    if (std::optional<Monitor> chosen = findMonitor(monitors, choice)) {
        target.monitor = std::move(*chosen);
        return target;
    }
    if (std::optional<Monitor> primary = findMonitor(monitors, "")) {
        target.monitor = std::move(*primary);
    }
    std::string names;
    for (const Monitor& m : monitors) {
        names += names.empty() ? "" : ", ";
        names += m.name;
    }
    target.warning = "no monitor \"" + std::string(choice) + "\" (there are: " + names +
                     "); using " + (target.monitor.name.empty() ? "none" : target.monitor.name);
    return target;
}

}  // namespace common
