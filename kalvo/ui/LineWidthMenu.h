#pragma once
// The line-width menu of the toolbar: a thin side bar, a heading picture and
// six width buttons (commands 51..56 for widths 1..6 pixels).

#include <QPoint>

#include <memory>
#include <optional>

#include "kalvo/ui/CMenuXP.h"

namespace kalvo {

inline constexpr int kLineWidthHeadingCommand = 5;
inline constexpr int kLineWidthFirstCommand = 51;  // 51..56: widths 1..6

// Width 1..6 for commands 51..56; nothing for any other command.
[[nodiscard]] std::optional<int> lineWidthForCommand(int command);

[[nodiscard]] std::unique_ptr<CMenuXP> BuildLineWidthMenu(
    const MenuXPMetrics& metrics = MenuXPMetrics::systemDefaults());

// Pops the menu up at a screen point (toolbar left + button left, toolbar top
// + button top) and returns the chosen width, or nothing when dismissed or the
// heading was chosen.
[[nodiscard]] std::optional<int> ChooseLineWidth(QPoint screenPos, QWidget* parent = nullptr);

}  // namespace kalvo
