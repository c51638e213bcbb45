#pragma once
// Runs one test in a child process on a private Xvfb, optionally with the
// xcompmgr compositor: the Qt application of a test program is tied to the
// display it started on, and a compositor must not reach the shared display
// other tests run on.

#include <string>

namespace kalvo::x11test {

// Set in the child: the test body runs there.
inline constexpr const char* kChildVariable = "KALVO_SURFACE_X11_CHILD";

[[nodiscard]] bool inChild();

struct ChildResult {
    bool started = false;  // false: `error` says why (a tool missing, no display)
    std::string error;
    int exitCode = -1;
};

// Starts Xvfb (and xcompmgr when `compositor`), runs this test program with
// --gtest_filter=`testName` on it and waits (60 s at most); stops them all.
[[nodiscard]] ChildResult runOnPrivateDisplay(const std::string& testName, bool compositor);

}  // namespace kalvo::x11test
