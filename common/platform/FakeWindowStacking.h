#pragma once
// Stand-in for the window stacking: a stack without other programs and with
// a compositor, as on platforms that compose every window. Tests set what
// it reports and read the raises it was asked for.

#include <vector>

#include "common/platform/WindowStacking.h"

namespace common {

class FakeWindowStacking final : public WindowStacking {
public:
    bool covered = false;
    bool compositor = true;
    std::vector<WindowId> raised;

    bool coveredByOtherProgram(WindowId) override { return covered; }
    void raise(WindowId window) override {
        raised.push_back(window);
        covered = false;
    }
    bool compositorPresent() override { return compositor; }
    bool setNativeClass(WindowId, const std::string&) override { return false; }
};

}  // namespace common
