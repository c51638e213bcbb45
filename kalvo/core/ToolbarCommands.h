#pragma once
// Command numbers of the floating toolbar's buttons, their tooltips, and the
// numbers of the button image strips for each surface mode.

#include <array>
#include <cstdint>

namespace kalvo {

inline constexpr int ID_DRAW_ON_SCREEN = 32771;
inline constexpr int ID_WHITEBOARD = 32781;
inline constexpr int ID_PICK_PEN = 32774;
inline constexpr int ID_ERASER = 32776;
inline constexpr int ID_LINE_WIDTH = 32775;
inline constexpr int ID_COLOR_SETTING = 32823;
inline constexpr int ID_CLEAR_BOARD = 32783;
inline constexpr int ID_SAVE_IMAGE = 32777;
inline constexpr int ID_VIRTUAL_KEYBOARD = 32784;
inline constexpr int ID_HELP = 57670;
inline constexpr int ID_UNUSED_BUTTON = 32837;  // has no handler anywhere: always disabled
inline constexpr int ID_EXIT = 32824;
// The About box, from the toolbar's context menu.
inline constexpr int ID_APP_ABOUT = 57664;

struct ToolbarButtonInfo {
    int command;
    const char* tooltip;  // null: no tooltip
};

inline constexpr std::array<ToolbarButtonInfo, 12> kToolbarButtons{{
    {ID_DRAW_ON_SCREEN, "Draw on the screen"},
    {ID_WHITEBOARD, "Draw on a whiteboard"},
    {ID_PICK_PEN, "Pick a pen"},
    {ID_ERASER, "Eraser"},
    {ID_LINE_WIDTH, "Line width Setting"},
    {ID_COLOR_SETTING, "Color Setting"},
    {ID_CLEAR_BOARD, "Clear the board"},
    {ID_SAVE_IMAGE, "Save as image"},
    {ID_VIRTUAL_KEYBOARD, "Virtual Keyboard"},
    {ID_HELP, "Help"},
    {ID_UNUSED_BUTTON, nullptr},
    {ID_EXIT, "Exit"},
}};

// Button image strips (288 x 24, twelve 24 x 24 images).
inline constexpr int IDB_SCREEN_NORMAL = 207;
inline constexpr int IDB_NONE_HOT = 208;
inline constexpr int IDB_NONE_NORMAL = 209;
inline constexpr int IDB_SCREEN_HOT = 210;
inline constexpr int IDB_BOARD_NORMAL = 211;
inline constexpr int IDB_BOARD_HOT = 212;

// Program icons.
inline constexpr int IDI_MAIN_FRAME = 149;
inline constexpr int IDI_DRAWING_WINDOW = 151;

inline constexpr int kToolbarImageWidth = 24;

struct ModeImages {
    int normal;
    int hot;
};

// Normal and hot strips of a surface mode (0 none, 1 screen, 2 whiteboard);
// any other mode gets the strips of no mode.
[[nodiscard]] constexpr ModeImages imagesForMode(std::int32_t mode) {
    switch (mode) {
        case 1:
            return {IDB_SCREEN_NORMAL, IDB_SCREEN_HOT};
        case 2:
            return {IDB_BOARD_NORMAL, IDB_BOARD_HOT};
        default:
            return {IDB_NONE_NORMAL, IDB_NONE_HOT};
    }
}

}  // namespace kalvo
