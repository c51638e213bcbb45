#include "tovik/console/TrayMenu.h"

#include "tovik/console/ControlIds.h"

namespace tovik {

std::vector<TrayMenuItem> BuildTrayMenu(bool threadStarted, bool running) {
    std::vector<TrayMenuItem> items;
    items.push_back({ids::ShowConsole, 157});
    if (!running) {
        items.push_back({ids::AutoCalibrate, 147});
        items.push_back({ids::ManualCalibrate, 148});
    }
    if (!threadStarted) {
        items.push_back({ids::Run, 107});
    } else if (running) {
        items.push_back({ids::Pause, 108});
    } else {
        items.push_back({ids::Pause, 109});
    }
    items.push_back({ids::Exit, 118});
    return items;
}

}  // namespace tovik
