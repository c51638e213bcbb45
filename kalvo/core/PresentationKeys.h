#pragma once
// Page Up and Page Down typed on the screen overlay go to a running
// presentation: a window found by its X11 class (optionally a child of it of
// another class) is activated, the key is typed into it, and the overlay is
// activated again.

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/platform/WindowFinder.h"

namespace common {
class IniFile;
}

namespace kalvo {

struct PresentationClass {
    std::string windowClass;  // '*' stands for any text
    std::string childClass;   // empty: the window itself takes the key
    bool fullScreen = false;  // only a full-screen window of the class counts

    bool operator==(const PresentationClass&) const = default;
};

// Tried in order. A common office suite's running slide show is a
// full-screen window of class "LibreOffice <version>" (its editor, class
// "libreoffice-impress", must not get the keys); two common PDF viewers show
// their presentations as full-screen windows of their own class.
inline constexpr const char* kDefaultPresentationClasses =
    "screenClass/paneClassDC;LibreOffice *//fullscreen;Evince//fullscreen;okular//fullscreen";

// "class/childClass/fullscreen" entries separated by ';'. Blanks around names
// are dropped; the child class and the third field are optional (the entry
// counts only full-screen windows when the third field is "fullscreen");
// entries without a class are skipped.
[[nodiscard]] std::vector<PresentationClass> parsePresentationClasses(std::string_view text);

// Section "PRESENTATION", key "CLASSES"; the default list when the key is
// missing or names no class.
[[nodiscard]] std::vector<PresentationClass> presentationClassesFromIni(const common::IniFile& ini);

class PresentationKeys {
public:
    using Sleep = std::function<void(std::chrono::milliseconds)>;

    PresentationKeys(common::WindowFinder& windows, std::vector<PresentationClass> classes,
                     Sleep sleep = {});

    // The first listed presentation that exists (its child when one is named
    // and found).
    [[nodiscard]] std::optional<common::WindowId> findPresentation() const;

    // A key typed on a drawing window in surface mode `mode`. For Page Up or
    // Page Down outside whiteboard mode, with a presentation running: the
    // presentation is activated, the key typed, 1 ms waited and `self`
    // activated again. True when the key was passed on (the caller then
    // clears the board).
    bool handleKeyDown(int mode, int vk, common::WindowId self);

    [[nodiscard]] const std::vector<PresentationClass>& classes() const { return classes_; }

private:
    common::WindowFinder& windows_;
    std::vector<PresentationClass> classes_;
    Sleep sleep_;
};

}  // namespace kalvo
