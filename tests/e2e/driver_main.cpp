// The end-to-end driver's hands and eyes, one small command per call so the
// demo script reads as the scenario. The commands: kUsage below.

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "Figure.h"
#include "RunLogs.h"
#include "common/platform/AbsoluteMapping.h"
#include "sim/PenCommand.h"
#include "sim/ScreenScene.h"
#include "tests/support/PenChannel.h"
#include "tests/support/X11.h"

// Last: Xlib's macros (Complex, Status, ...) collide with names above.
#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include "common/platform/X11Window.h"

namespace {

using Clock = std::chrono::steady_clock;

const char* const kUsage = R"(usage:
  e2e_driver geometry FILE NAME [--title TEXT] [--timeout S]
      waits until a program's geometry file lists control NAME and prints
      the centre of it, "X Y"
  e2e_driver click X Y          an XTest left click on $DISPLAY
  e2e_driver drag X Y X2 Y2     an XTest drag with the left button
  e2e_driver key [ctrl+][shift+]KEYSYM  an XTest key press and release, as
                                typed on the keyboard (to the focused window)
  e2e_driver screenshot OUT.png the whole X screen
  e2e_driver figure --screen WxH[+X+Y] --parts house,star,ok --color RRGGBB
                    [--speed PX_PER_S] [--figure FILE]
      prints the pen script that draws the parts on that screen (a monitor
      at X,Y of the X screen); appends their strokes to FILE
  e2e_driver tap X Y [--hold MS]
      prints the pen script of one tap, or of the pen held still MS ms
  e2e_driver pen SOCKET [--timeout S]
      sends the script on standard input to the simulator's control socket,
      one command at a time, each waited for
  e2e_driver inkwatch TOVIK_LOG OUT [--monitor WxH+X+Y]
      until stopped (SIGTERM): follows Tovik's event log (absolute
      coordinates span the monitor, the whole screen by default) and, for each
      pointer move, polls the screen about every millisecond through XShm
      until ink shows at the pointer; writes "ink CAPTURE_US SEEN_US" or
      "miss CAPTURE_US" (no ink within 500 ms: a tap on a button) to OUT
)";

int usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

bool toDouble(const std::string& text, double& out) {
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return !text.empty() && end == text.c_str() + text.size() && std::isfinite(out);
}

// Where the X server has the managed window (the one carrying WM_STATE) on top
// at (x, y); nothing where the window there is not managed (no window manager,
// a menu or tooltip).
std::optional<cv::Rect> managedWindowAt(Display* d, int x, int y) {
    const Window root = DefaultRootWindow(d);
    const Atom wmState = XInternAtom(d, "WM_STATE", False);
    int wx = 0, wy = 0;
    Window top = 0;
    if (!XTranslateCoordinates(d, root, root, x, y, &wx, &wy, &top) || top == 0) {
        return std::nullopt;
    }
    // The window manager's frame holds the window a few levels down.
    std::vector<Window> todo{top};
    for (size_t i = 0; i < todo.size() && i < 64; ++i) {
        XWindowAttributes a{};
        if (!common::x11::longs(d, todo[i], "WM_STATE", wmState, 2).empty() &&
            XGetWindowAttributes(d, todo[i], &a) &&
            XTranslateCoordinates(d, todo[i], root, 0, 0, &wx, &wy, &top)) {
            return cv::Rect(wx, wy, a.width, a.height);
        }
        const std::vector<Window> kids = common::x11::children(d, todo[i]);
        todo.insert(todo.end(), kids.begin(), kids.end());
    }
    return std::nullopt;
}

// How far from its listing the X server shows the window listed around `at`:
// a window manager that frames a window late (mutter and openbox under load)
// moves it after the program has listed it. Nothing while another window of
// another size is on top there.
std::optional<cv::Point> shownOffset(Display* d,
                                     const std::vector<std::pair<cv::Rect, std::string>>& windows,
                                     cv::Point at, const std::string& title) {
    const std::optional<cv::Rect> shown = managedWindowAt(d, at.x, at.y);
    for (const auto& [box, windowTitle] : windows) {
        if (shown && box.contains(at) && windowTitle == title) {
            if (std::abs(box.width - shown->width) > 1 ||
                std::abs(box.height - shown->height) > 1) {
                return std::nullopt;
            }
            return shown->tl() - box.tl();
        }
    }
    return cv::Point();
}

int geometry(const std::vector<std::string>& args) {
    if (args.size() < 2) {
        return usage();
    }
    const std::string& path = args[0];
    const std::string& name = args[1];
    std::string title;
    double timeout = 30;
    for (size_t i = 2; i + 1 < args.size(); i += 2) {
        if (args[i] == "--title") {
            title = args[i + 1];
        } else if (args[i] != "--timeout" || !toDouble(args[i + 1], timeout)) {
            return usage();
        }
    }
    // The control must stand still for a moment, as for a user's eye: a
    // window the window manager or the program still moves is not clicked
    // where it stood first. Under load mutter frames a shown dialog (moving
    // it down by its title bar) more than 300 ms after it appears.
    const auto settle = std::chrono::milliseconds(1000);
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::lround(timeout * 1000));
    const tktest::DisplayPtr display = tktest::openDisplay();
    // The centre seen, -1 while the control is not listed.
    cv::Point seen(-1, -1);
    auto seenSince = Clock::now();
    do {
        std::ifstream in(path);
        cv::Point now(-1, -1);
        std::string nowTitle;
        std::vector<std::pair<cv::Rect, std::string>> windows;
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string n;
            cv::Rect b;
            if (!(fields >> n >> b.x >> b.y >> b.width >> b.height) || b.empty()) {
                continue;
            }
            std::string rest;
            std::getline(fields, rest);
            if (n.rfind("window.", 0) == 0) {
                windows.emplace_back(b, rest);
            }
            if (now.x < 0 && n == name &&
                (title.empty() || rest.find(title) != std::string::npos)) {
                now = {std::max(0, b.x + b.width / 2), std::max(0, b.y + b.height / 2)};
                nowTitle = rest;
            }
        }
        if (now != seen) {
            seen = now;
            seenSince = Clock::now();
        } else if (seen.x >= 0 && Clock::now() - seenSince >= settle) {
            // A user clicks where the window shows, once it stands still there.
            const auto offset = [&] {
                return display ? shownOffset(display.get(), windows, seen, nowTitle) : cv::Point();
            };
            const std::optional<cv::Point> first = offset();
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            if (first && first == offset()) {
                if (*first != cv::Point()) {
                    std::fprintf(stderr, "e2e_driver: %s shows %+d,%+d off its listing\n",
                                 name.c_str(), first->x, first->y);
                }
                seen += *first;
                break;
            }
            seenSince = Clock::now();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (Clock::now() < deadline);
    if (seen.x < 0) {
        std::fprintf(stderr, "e2e_driver: control %s did not appear in %s\n", name.c_str(),
                     path.c_str());
        return 1;
    }
    std::printf("%d %d\n", seen.x, seen.y);
    return 0;
}

// A press at (x, y), moves in steps to (x2, y2), a release there: a click
// when both points are the same.
int click(const std::vector<std::string>& args) {
    double x = 0, y = 0, x2 = 0, y2 = 0;
    // Two numbers: the end is the start.
    if ((args.size() != 2 && args.size() != 4) || !toDouble(args[0], x) || !toDouble(args[1], y) ||
        !toDouble(args[args.size() - 2], x2) || !toDouble(args.back(), y2)) {
        return usage();
    }
    const tktest::DisplayPtr display = tktest::openDisplay();
    int event = 0, error = 0, major = 0, minor = 0;
    if (!display || !XTestQueryExtension(display.get(), &event, &error, &major, &minor)) {
        std::fprintf(stderr, "e2e_driver: no display, or it has no XTest\n");
        return 1;
    }
    // The window under the pointer sees the move before the press.
    const auto px = [](double v) { return static_cast<int>(std::lround(v)); };
    tktest::stroke(display.get(), px(x), px(y), px(x2), px(y2), (x2 != x || y2 != y) ? 20 : 0,
                   std::chrono::milliseconds(15), std::chrono::milliseconds(60));
    return 0;
}

int key(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        return usage();
    }
    std::vector<KeySym> keys;
    std::string rest = args[0];
    for (const auto& [prefix, sym] : {std::pair<const char*, KeySym>{"ctrl+", XK_Control_L},
                                      std::pair<const char*, KeySym>{"shift+", XK_Shift_L}}) {
        if (rest.starts_with(prefix)) {
            keys.push_back(sym);
            rest.erase(0, std::strlen(prefix));
        }
    }
    keys.push_back(XStringToKeysym(rest.c_str()));
    const tktest::DisplayPtr display = tktest::openDisplay();
    if (keys.back() == NoSymbol || !display) {
        std::fprintf(stderr, "e2e_driver: no key %s or no display\n", args[0].c_str());
        return 1;
    }
    tktest::tapKeys(display.get(), {keys.begin(), keys.end()}, std::chrono::milliseconds(30));
    return 0;
}

int screenshot(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        return usage();
    }
    sim::ScreenScene screen("");
    cv::Mat image;
    if (!screen.isOpen() || !screen.capture(image) || image.empty()) {
        std::fprintf(stderr, "e2e_driver: cannot capture the screen\n");
        return 1;
    }
    if (image.channels() == 4) {
        cv::cvtColor(image, image, cv::COLOR_BGRA2BGR);
    }
    if (!cv::imwrite(args[0], image)) {
        std::fprintf(stderr, "e2e_driver: cannot write %s\n", args[0].c_str());
        return 1;
    }
    return 0;
}

void printScript(const std::vector<std::string>& lines) {
    for (const std::string& l : lines) {
        std::printf("%s\n", l.c_str());
    }
}

int figure(const std::vector<std::string>& args) {
    cv::Size screen;
    cv::Point2d origin;
    std::vector<e2e::FigurePart> parts;
    std::optional<std::uint32_t> color;
    std::string figureFile;
    e2e::PenTiming timing;
    for (size_t i = 0; i + 1 < args.size(); i += 2) {
        const std::string& v = args[i + 1];
        if (args[i] == "--screen") {
            int x = 0, y = 0;
            const int n =
                std::sscanf(v.c_str(), "%dx%d+%d+%d", &screen.width, &screen.height, &x, &y);
            if ((n != 2 && n != 4) || screen.width < 64 || screen.height < 64 || x < 0 || y < 0) {
                return usage();
            }
            origin = {static_cast<double>(x), static_cast<double>(y)};
        } else if (args[i] == "--parts") {
            std::istringstream list(v);
            std::string name;
            while (std::getline(list, name, ',')) {
                e2e::FigurePart part;
                if (!e2e::parseFigurePart(name, part)) {
                    std::fprintf(stderr, "e2e_driver: unknown figure part '%s'\n", name.c_str());
                    return 2;
                }
                parts.push_back(part);
            }
        } else if (args[i] == "--color") {
            char* end = nullptr;
            const auto rgb = static_cast<unsigned>(std::strtoul(v.c_str(), &end, 16));
            if (v.size() != 6 || end != v.c_str() + 6) {
                return usage();
            }
            color = ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
        } else if (args[i] == "--figure") {
            figureFile = v;
        } else if (args[i] != "--speed" || !toDouble(v, timing.speedPxPerS) ||
                   timing.speedPxPerS <= 0) {
            return usage();
        }
    }
    if (args.size() % 2 != 0 || screen.width == 0 || parts.empty() || !color) {
        return usage();
    }
    std::vector<e2e::Stroke> strokes;
    for (e2e::FigurePart part : parts) {
        const std::vector<e2e::Stroke> some =
            e2e::figureStrokes(part, e2e::figureBox(part, screen) + origin, *color);
        strokes.insert(strokes.end(), some.begin(), some.end());
    }
    if (!figureFile.empty()) {
        std::ofstream out(figureFile, std::ios::app);
        out << e2e::writeFigure(strokes);
        if (!out) {
            std::fprintf(stderr, "e2e_driver: cannot write %s\n", figureFile.c_str());
            return 1;
        }
    }
    printScript(e2e::penScript(strokes, timing));
    return 0;
}

int tap(const std::vector<std::string>& args) {
    double x = 0, y = 0, hold = 0;
    const bool held = args.size() == 4 && args[2] == "--hold" && toDouble(args[3], hold) &&
                      hold > 0 && hold < 60000;
    if ((args.size() != 2 && !held) || !toDouble(args[0], x) || !toDouble(args[1], y)) {
        return usage();
    }
    printScript(held ? e2e::tapScript({x, y}, static_cast<int>(std::lround(hold)))
                     : e2e::tapScript({x, y}));
    return 0;
}

int pen(const std::vector<std::string>& args) {
    double timeout = 20;
    if (args.size() != 1 &&
        (args.size() != 3 || args[1] != "--timeout" || !toDouble(args[2], timeout))) {
        return usage();
    }
    // The socket appears when Tovik opens the simulated camera.
    tktest::PenChannel channel;
    if (!channel.connect(args[0], std::chrono::milliseconds(std::lround(timeout * 1000)))) {
        std::fprintf(stderr, "e2e_driver: cannot connect to %s\n", args[0].c_str());
        return 1;
    }
    std::string line;
    while (std::getline(std::cin, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        // A glide or wait is answered when it ends: allow its own length.
        std::string error;
        const std::optional<sim::PenCommand> c = sim::parsePenCommand(line, error);
        const std::string reply =
            channel.command(line, std::chrono::milliseconds((c ? c->ms : 0) + 5000));
        if (reply.empty()) {
            std::fprintf(stderr, "e2e_driver: no answer to '%s'\n", line.c_str());
            return 1;
        }
        if (reply != "ok") {
            std::fprintf(stderr, "e2e_driver: '%s': %s\n", line.c_str(), reply.c_str());
            return 1;
        }
    }
    return 0;
}

volatile sig_atomic_t gStop = 0;

// Ink of the demo's colours (red, blue) in a BGRA pixel.
bool isInk(const unsigned char* p) {
    const int b = p[0], g = p[1], r = p[2];
    return (r > 180 && g < 90 && b < 90) || (b > 180 && r < 90 && g < 90);
}

int inkwatch(const std::vector<std::string>& args) {
    common::ScreenRect target;
    if ((args.size() != 2 && args.size() != 4) ||
        (args.size() == 4 &&
         (args[2] != "--monitor" || std::sscanf(args[3].c_str(), "%dx%d+%d+%d", &target.width,
                                                &target.height, &target.x, &target.y) != 4))) {
        return usage();
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr || !XShmQueryExtension(display)) {
        std::fprintf(stderr, "e2e_driver: no display with XShm\n");
        return 1;
    }
    const int screen = DefaultScreen(display);
    const Window root = DefaultRootWindow(display);
    const int width = DisplayWidth(display, screen), height = DisplayHeight(display, screen);
    if (target.width <= 0) {
        target = {0, 0, width, height};
    }
    // A 3 x 3 patch around the pointer: the previous segment ends at least
    // the dead band (Move) away, so ink here is this move's.
    constexpr int kPatch = 3;
    XShmSegmentInfo segment{};
    XImage* image = XShmCreateImage(display, DefaultVisual(display, screen),
                                    static_cast<unsigned>(DefaultDepth(display, screen)), ZPixmap,
                                    nullptr, &segment, kPatch, kPatch);
    if (image == nullptr || image->bits_per_pixel != 32) {
        std::fprintf(stderr, "e2e_driver: cannot make a shared image\n");
        return 1;
    }
    segment.shmid =
        shmget(IPC_PRIVATE, static_cast<size_t>(image->bytes_per_line) * kPatch, IPC_CREAT | 0600);
    segment.shmaddr = image->data = static_cast<char*>(shmat(segment.shmid, nullptr, 0));
    segment.readOnly = False;
    XShmAttach(display, &segment);
    XSync(display, False);
    shmctl(segment.shmid, IPC_RMID, nullptr);
    std::signal(SIGTERM, [](int) { gStop = 1; });
    std::signal(SIGINT, [](int) { gStop = 1; });

    std::ifstream log(args[0]);
    std::ofstream out(args[1]);
    struct Pending {
        int x, y;
        std::int64_t captureUs;
    };
    std::vector<Pending> pending;
    std::string partial;
    while (gStop == 0) {
        // New complete lines of the log; one the writer is still on waits.
        partial.append(std::istreambuf_iterator<char>(log), {});
        log.clear();
        for (size_t nl = 0; (nl = partial.find('\n')) != std::string::npos;
             partial.erase(0, nl + 1)) {
            std::istringstream one(partial.substr(0, nl + 1));
            std::string error;
            const std::optional<e2e::TovikTrace> read = e2e::readTovikTrace(one, error);
            for (const e2e::TraceEvent& e : read ? read->events : std::vector<e2e::TraceEvent>()) {
                if ((e.flags & 0x8001) == 0x8001 && (e.flags & 0x0006) == 0 && e.captureUs != 0) {
                    const common::PixelPoint at = common::absoluteToPixel(e.dx, e.dy, target);
                    pending.push_back({std::clamp(at.x - 1, 0, width - kPatch),
                                       std::clamp(at.y - 1, 0, height - kPatch), e.captureUs});
                }
            }
        }
        std::erase_if(pending, [&](const Pending& p) {
            bool ink = false;
            if (XShmGetImage(display, root, image, p.x, p.y, AllPlanes) != 0) {
                for (int y = 0; y < kPatch && !ink; ++y) {
                    for (int x = 0; x < kPatch && !ink; ++x) {
                        ink = isInk(reinterpret_cast<unsigned char*>(image->data) +
                                    y * image->bytes_per_line + x * 4);
                    }
                }
            }
            const std::int64_t now = std::chrono::duration_cast<std::chrono::microseconds>(
                                         Clock::now().time_since_epoch())
                                         .count();
            if (ink) {
                out << "ink " << p.captureUs << ' ' << now << '\n';
            } else if (now - p.captureUs > 500'000) {
                out << "miss " << p.captureUs << '\n';
            }
            return ink || now - p.captureUs > 500'000;
        });
        out.flush();
        std::this_thread::sleep_for(std::chrono::microseconds(900));
    }
    XShmDetach(display, &segment);
    XCloseDisplay(display);
    shmdt(segment.shmaddr);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return usage();
    }
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    using Command = int (*)(const std::vector<std::string>&);
    const std::pair<const char*, Command> commands[] = {
        {"geometry", geometry}, {"click", click}, {"key", key}, {"screenshot", screenshot},
        {"figure", figure},     {"tap", tap},     {"pen", pen}, {"inkwatch", inkwatch}};
    for (const auto& [name, run] : commands) {
        if (command == name || (command == "drag" && args.size() == 4 && run == click)) {
            return run(args);
        }
    }
    return usage();
}
