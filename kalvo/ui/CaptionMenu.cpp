#include "kalvo/ui/CaptionMenu.h"

#include "kalvo/core/ToolbarCommands.h"

namespace kalvo {

const std::vector<CaptionMenuEntry>& captionMenuEntries() {
    static const std::vector<CaptionMenuEntry> entries{
        {ID_EDIT_UNDO, "Undo\tCtrl+Z"},
        {ID_EDIT_REDO, "Redo\tCtrl+Y"},
    };
    return entries;
}

std::unique_ptr<CMenuXP> BuildCaptionMenu(const std::function<bool(int)>& isEnabled,
                                          const MenuXPMetrics& metrics) {
    auto menu = std::make_unique<CMenuXP>(metrics);
    menu->m_style = 2;
    for (const CaptionMenuEntry& entry : captionMenuEntries()) {
        if (entry.command == 0) {
            menu->AppendSeparator();
            continue;
        }
        const unsigned flags = isEnabled && !isEnabled(entry.command) ? MF_GRAYED : 0;
        menu->AppendOwnerItem(
            flags, std::make_unique<CMenuXPText>(entry.command, QString::fromUtf8(entry.text)));
    }
    return menu;
}

int ChooseCaptionCommand(QPoint screenPos, const std::function<bool(int)>& isEnabled,
                         QWidget* parent) {
    const std::unique_ptr<CMenuXP> menu = BuildCaptionMenu(isEnabled);
    return menu->TrackPopupMenu(screenPos, {}, parent);
}

}  // namespace kalvo
