#pragma once
// A test's X11 hands and eyes: a private X server, a display connection, the
// screen's pixels, XTest input and RandR monitors. Xlib itself stays out of
// this header, so that it may come before Qt's or OpenCV's.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/Process.h"

typedef struct _XDisplay Display;  // NOLINT: Xlib's own declaration

namespace tktest {

struct DisplayCloser {
    void operator()(Display* d) const;
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

// A connection to `name` ($DISPLAY when null); null when it cannot be opened.
DisplayPtr openDisplay(const char* name = nullptr);

// The root window's pixel as 0xFFRRGGBB; 0 when it cannot be read.
std::uint32_t rootPixel(Display* d, int x, int y);

struct Pointer {
    int x = 0;
    int y = 0;
    unsigned buttons = 0;  // Xlib's button mask
};
Pointer pointer(Display* d);

using std::chrono::milliseconds;

// XTest: the pointer to (x, y), `settle`, a press and release of `button`.
void click(Display* d, int x, int y, int button = 1, milliseconds settle = milliseconds(0));
// XTest: a left-button drag from (x, y) to (x2, y2) in `steps` moves, `every`
// after each; `settle` after the first move and after the press.
void stroke(Display* d, int x, int y, int x2, int y2, int steps, milliseconds every,
            milliseconds settle);
// XTest: the keys (keysyms) pressed in order and released in reverse, as typed
// together; `every` after each event.
void tapKeys(Display* d, const std::vector<unsigned long>& keysyms,
             milliseconds every = milliseconds(0));

struct Monitor {
    std::string name;
    int x = 0, y = 0, width = 0, height = 0;
    bool primary = false;
};
// Replaces the monitors set before with these. A primary monitor takes over
// the screen's output, whose own monitor then goes. False without RandR 1.5.
bool setMonitors(Display* d, const std::vector<Monitor>& monitors);
// The monitors set before go; the screen's own comes back, primary no more.
void clearMonitors(Display* d);

// An Xvfb of the test's own: nothing it does reaches the display other tests
// share. Always started with -noreset: a server that resets when its last
// client leaves refuses a connection opened at that moment.
class XServer {
public:
    // False when Xvfb cannot be started. `size` is WxH.
    bool start(const std::string& size = "1024x768");
    [[nodiscard]] const std::string& name() const { return name_; }

private:
    std::unique_ptr<Process> process_;
    std::string name_;
};

// Set in a test program run again by runOnPrivateDisplay.
inline constexpr const char* kPrivateDisplayChild = "TK_PRIVATE_DISPLAY_CHILD";
[[nodiscard]] bool onPrivateDisplay();

struct ChildResult {
    bool started = false;  // false: `error` says why (a tool missing, no display)
    std::string error;
    int exitCode = -1;
};
// Starts an XServer (and the xcompmgr compositor when `compositor`), runs
// this test program with --gtest_filter=`testName` on it (60 s at most) and
// ends them all. The Qt application of a test program stays on the display
// it started on, and a compositor must not reach a shared display.
[[nodiscard]] ChildResult runOnPrivateDisplay(const std::string& testName, bool compositor);

}  // namespace tktest
