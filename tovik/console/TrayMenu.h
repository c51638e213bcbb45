#pragma once
// The tray icon's context menu, built afresh from the tracking state on every
// right-click.

#include <vector>

namespace tovik {

struct TrayMenuItem {
    int command;   // the console command the item runs
    int stringId;  // its text in the string table
};

// "显示主界面"; the two calibrations only while tracking does not run; one
// tracking item (Run before the thread exists, then Pause or Continue); exit.
[[nodiscard]] std::vector<TrayMenuItem> BuildTrayMenu(bool threadStarted, bool running);

}  // namespace tovik
