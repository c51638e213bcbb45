#pragma once
// Windows has no uinput: the types the platform options and the page-key
// keyboard are declared with, so that callers build unchanged. The keyboard
// is never made; page keys go through the window finder.

#include <cstdint>
#include <functional>
#include <string>

namespace common {

using UinputIoctl = std::function<int(int fd, unsigned long request, std::uintptr_t arg)>;

struct UinputOpen {
    int fd = -1;
    std::string problem;
};

class UinputKeyboard {
public:
    bool tapKey(int) { return false; }
};

}  // namespace common
