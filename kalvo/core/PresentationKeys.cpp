#include "kalvo/core/PresentationKeys.h"

#include <thread>

#include "common/ini/IniFile.h"
#include "common/platform/KeyState.h"
#include "kalvo/core/DrawingState.h"

namespace kalvo {

namespace {

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

std::vector<PresentationClass> parsePresentationClasses(std::string_view text) {
    std::vector<PresentationClass> out;
    while (true) {
        const std::size_t end = text.find(';');
        const std::string_view entry = text.substr(0, end);
        const std::size_t slash = entry.find('/');
        const std::string_view window = trimmed(entry.substr(0, slash));
        std::string_view child =
            slash == std::string_view::npos ? std::string_view{} : entry.substr(slash + 1);
        const std::size_t second = child.find('/');
        const std::string_view flags = second == std::string_view::npos
                                           ? std::string_view{}
                                           : trimmed(child.substr(second + 1));
        child = trimmed(child.substr(0, second));
        if (!window.empty()) {
            out.push_back({std::string(window), std::string(child), flags == "fullscreen"});
        }
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
    return out;
}

std::vector<PresentationClass> presentationClassesFromIni(const common::IniFile& ini) {
    auto classes = parsePresentationClasses(
        ini.getString("PRESENTATION", "CLASSES", kDefaultPresentationClasses));
    if (classes.empty()) {
        classes = parsePresentationClasses(kDefaultPresentationClasses);
    }
    return classes;
}

PresentationKeys::PresentationKeys(common::WindowFinder& windows,
                                   std::vector<PresentationClass> classes, Sleep sleep)
    : windows_(windows), classes_(std::move(classes)), sleep_(std::move(sleep)) {
    if (!sleep_) {
        sleep_ = [](std::chrono::milliseconds ms) { std::this_thread::sleep_for(ms); };
    }
}

std::optional<common::WindowId> PresentationKeys::findPresentation() const {
    for (const PresentationClass& c : classes_) {
        if (auto found = windows_.findByClass(c.windowClass, c.childClass, c.fullScreen)) {
            return found;
        }
    }
    return std::nullopt;
}

bool PresentationKeys::handleKeyDown(int mode, int vk, common::WindowId self) {
    if (mode == kModeWhiteboard || (vk != common::VK_NEXT_KEY && vk != common::VK_PRIOR_KEY)) {
        return false;
    }
    const std::optional<common::WindowId> target = findPresentation();
    if (!target) {
        return false;
    }
    // Activation and key go through one connection, so the key reaches the
    // presentation before this window takes the focus back. A presentation
    // that did not take the focus gets no key: it would land on this window
    // and come back here.
    if (!windows_.activate(*target)) {
        windows_.activate(self);
        return false;
    }
    windows_.tapKey(vk);
    sleep_(std::chrono::milliseconds(1));
    windows_.activate(self);
    return true;
}

}  // namespace kalvo
