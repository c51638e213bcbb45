#include "kalvo/ui/LineWidthMenu.h"

#include "kalvo/ui/PickerResources.h"

namespace kalvo {

std::optional<int> lineWidthForCommand(int command) {
    if (command >= kLineWidthFirstCommand && command < kLineWidthFirstCommand + 6) {
        return command - kLineWidthFirstCommand + 1;
    }
    return std::nullopt;
}

std::unique_ptr<CMenuXP> BuildLineWidthMenu(const MenuXPMetrics& metrics) {
    auto menu = std::make_unique<CMenuXP>(metrics);
    menu->m_crBackground = 0xF2F2FF;
    menu->m_crSelection = 0xFF9966;
    menu->m_style = 2;
    menu->AppendSideBar(std::make_unique<CMenuXPSideBar>(2, QString(), QPixmap(), 0));
    menu->m_crGradientFrom = 0xC0E67D;
    menu->m_crGradientTo = 0x000000;
    menu->AppendOwnerItem(
        0, std::make_unique<CMenuXPText>(kLineWidthHeadingCommand, QString(), pickerPixmap(229)));
    // Icon 227 shows the thinnest line and goes with width 1.
    for (int i = 0; i < 6; ++i) {
        menu->AppendOwnerItem(
            0, std::make_unique<CMenuXPButton>(kLineWidthFirstCommand + i, pickerPixmap(227 - i)));
    }
    return menu;
}

std::optional<int> ChooseLineWidth(QPoint screenPos, QWidget* parent) {
    const std::unique_ptr<CMenuXP> menu = BuildLineWidthMenu();
    return lineWidthForCommand(menu->TrackPopupMenu(screenPos, {}, parent));
}

}  // namespace kalvo
