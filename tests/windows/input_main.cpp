// The Windows smoke tests' hands: pointer and keys through SendInput, as a
// user's mouse and keyboard would give them (under Wine they move the X
// pointer as well).
//
//   tk_win_input click X Y [right]      press and release a button at X,Y
//   tk_win_input stroke X Y X Y ...     the left button held along the points
//   tk_win_input key NAME               enter, escape, or a virtual-key number
//   tk_win_input where                  prints the pointer's position, "X Y"
//   tk_win_input dialog SECONDS         waits for a visible system dialog (class
//                                       "#32770", as the shell's folder picker) and
//                                       brings it to the front; fails after SECONDS
//
// Coordinates are device pixels of the virtual desktop.

// windows.h first: the other system headers build on it.
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/platform/win32/Win32WindowFinder.h"

namespace {

void sendMouse(DWORD flags, int x = 0, int y = 0) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    if ((flags & MOUSEEVENTF_ABSOLUTE) != 0) {
        // 0..65535 across the virtual desktop, first pixel to last.
        const int vx = GetSystemMetrics(SM_XVIRTUALSCREEN);
        const int vy = GetSystemMetrics(SM_YVIRTUALSCREEN);
        const int vw = std::max(2, GetSystemMetrics(SM_CXVIRTUALSCREEN));
        const int vh = std::max(2, GetSystemMetrics(SM_CYVIRTUALSCREEN));
        in.mi.dx = static_cast<LONG>(std::lround((x - vx) * 65535.0 / (vw - 1)));
        in.mi.dy = static_cast<LONG>(std::lround((y - vy) * 65535.0 / (vh - 1)));
        in.mi.dwFlags |= MOUSEEVENTF_MOVE | MOUSEEVENTF_VIRTUALDESK;
    }
    SendInput(1, &in, sizeof in);
    Sleep(15);
}

void sendKey(WORD vk) {
    INPUT in[2]{};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = vk;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, in, sizeof in[0]);
}

int usage() {
    std::fprintf(stderr,
                 "usage: tk_win_input click X Y [right] | stroke X Y X Y ... | key NAME | where | "
                 "dialog SECONDS\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        return usage();
    }
    std::vector<int> n;
    for (std::size_t i = 1; i < args.size(); ++i) {
        char* end = nullptr;
        n.push_back(static_cast<int>(std::strtol(args[i].c_str(), &end, 10)));
        if (end == args[i].c_str() || *end != '\0') {
            n.pop_back();
            break;
        }
    }
    if (args[0] == "click" && n.size() == 2) {
        const bool right = args.size() > 3 && args[3] == "right";
        sendMouse(MOUSEEVENTF_ABSOLUTE, n[0], n[1]);
        sendMouse(right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN);
        sendMouse(right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP);
        return 0;
    }
    if (args[0] == "stroke" && n.size() >= 4 && n.size() % 2 == 0) {
        sendMouse(MOUSEEVENTF_ABSOLUTE, n[0], n[1]);
        sendMouse(MOUSEEVENTF_LEFTDOWN);
        // Steps of about 8 pixels, as a hand moves a pen.
        for (std::size_t i = 2; i + 1 < n.size(); i += 2) {
            const double dx = n[i] - n[i - 2], dy = n[i + 1] - n[i - 1];
            const int steps = std::max(1, static_cast<int>(std::hypot(dx, dy) / 8));
            for (int s = 1; s <= steps; ++s) {
                sendMouse(MOUSEEVENTF_ABSOLUTE,
                          n[i - 2] + static_cast<int>(std::lround(dx * s / steps)),
                          n[i - 1] + static_cast<int>(std::lround(dy * s / steps)));
            }
        }
        sendMouse(MOUSEEVENTF_LEFTUP);
        return 0;
    }
    if (args[0] == "where") {
        POINT p{};
        if (!GetCursorPos(&p)) {
            return 1;
        }
        std::printf("%ld %ld\n", p.x, p.y);
        return 0;
    }
    if (args[0] == "dialog" && n.size() == 1) {
        common::Win32WindowFinder windows;
        for (int waited = 0; waited <= n[0] * 1000; waited += 250) {
            if (const auto found = windows.findByClass("#32770", "")) {
                windows.activate(*found);
                return 0;
            }
            Sleep(250);
        }
        return 1;
    }
    if (args[0] == "key" && args.size() == 2) {
        const WORD vk = args[1] == "enter" ? VK_RETURN
                        : args[1] == "escape"
                            ? VK_ESCAPE
                            : static_cast<WORD>(std::strtol(args[1].c_str(), nullptr, 0));
        if (vk == 0) {
            return usage();
        }
        sendKey(vk);
        return 0;
    }
    return usage();
}
