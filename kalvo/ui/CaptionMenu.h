#pragma once
// The floating toolbar's context menu, opened by a right click on its caption
// strip: commands without a button, within reach of a pen user. Each entry is
// a command that goes through the frame like a button's.

#include <QPoint>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

#include "kalvo/ui/CMenuXP.h"

namespace kalvo {

struct CaptionMenuEntry {
    int command;
    const char* text;  // a tab separates the shortcut shown on the right
};

// Add new entries at the end; 0 is a separator.
[[nodiscard]] const std::vector<CaptionMenuEntry>& captionMenuEntries();

// Entries whose command isEnabled rejects are grayed.
[[nodiscard]] std::unique_ptr<CMenuXP> BuildCaptionMenu(
    const std::function<bool(int)>& isEnabled,
    const MenuXPMetrics& metrics = MenuXPMetrics::systemDefaults());

// Pops the menu up at a screen point; the chosen command, 0 when dismissed.
int ChooseCaptionCommand(QPoint screenPos, const std::function<bool(int)>& isEnabled,
                         QWidget* parent = nullptr);

}  // namespace kalvo
