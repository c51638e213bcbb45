// The Win32 back ends against the real system calls (under Wine on a private
// X server in the windows test level): pointer, keys, windows, mutexes,
// monitors and the shell's command lines.
// windows.h first: the other system headers build on it.
#include <windows.h>

#include <shellapi.h>
#include <windowsx.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <tuple>

#include "common/platform/AbsoluteMapping.h"
#include "common/platform/InstanceLock.h"
#include "common/platform/Platform.h"
#include "common/platform/ScreenFrames.h"
#include "common/platform/win32/Win32InputInjector.h"
#include "common/platform/win32/Win32KeyState.h"
#include "common/platform/win32/Win32ScreenInfo.h"
#include "common/platform/win32/Win32ShellLauncher.h"
#include "common/platform/win32/Win32Text.h"
#include "common/platform/win32/Win32WindowFinder.h"
#include "common/platform/win32/Win32WindowStacking.h"

namespace {

using common::MouseFlags::Absolute;
using common::MouseFlags::Move;

// Messages a test window received, for the window procedure below.
struct Received {
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};
std::vector<Received> gReceived;

LRESULT CALLBACK recordingProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_KEYDOWN || msg == WM_LBUTTONDOWN || msg == WM_LBUTTONUP ||
        msg == WM_RBUTTONDOWN || msg == WM_RBUTTONUP || msg == WM_CLOSE) {
        gReceived.push_back({msg, wp, lp});
        if (msg == WM_CLOSE) {
            return 0;
        }
    }
    return DefWindowProcW(w, msg, wp, lp);
}

// A visible window of the class `name`, registered with recordingProc and
// the background `brush`.
HWND makeWindow(const wchar_t* name, const wchar_t* title, DWORD exStyle, DWORD style,
                common::ScreenRect r, HWND parent = nullptr, HBRUSH brush = nullptr) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = recordingProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = name;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = brush;
    RegisterClassW(&wc);
    return CreateWindowExW(exStyle, name, title, style | WS_VISIBLE, r.x, r.y, r.width, r.height,
                           parent, nullptr, GetModuleHandleW(nullptr), nullptr);
}

common::WindowId id(HWND w) {
    return static_cast<common::WindowId>(reinterpret_cast<std::uintptr_t>(w));
}

// Lets the system deliver what was sent or posted: for `ms`, or until `done`
// holds (then true). Under load Wine hands input on with some delay.
template <class Done>
bool pumpUntil(Done done, int ms = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (MSG m;; std::this_thread::sleep_for(std::chrono::milliseconds(5))) {
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
        if (const bool held = done(); held || std::chrono::steady_clock::now() >= end) {
            return held;
        }
    }
}

void pump(int ms) {
    pumpUntil([] { return false; }, ms);
}

bool received(UINT message) {
    return std::any_of(gReceived.begin(), gReceived.end(),
                       [&](const Received& r) { return r.message == message; });
}

common::ScreenRect primary() {
    return common::findMonitor(common::win32::enumerateMonitors(), "").value().rect;
}

TEST(Win32Monitors, PrimaryIsTheWholeServerScreen) {
    const std::vector<common::Monitor> all = common::Win32ScreenInfo().monitors();
    ASSERT_FALSE(all.empty());
    EXPECT_TRUE(all.front().primary);
    // The runner's X server size, in device pixels.
    if (const char* size = std::getenv("TK_SCREEN_SIZE")) {
        EXPECT_EQ(std::to_string(primary().width) + "x" + std::to_string(primary().height), size);
    }
}

TEST(Win32Injector, AbsoluteMovesSpanTheTargetArea) {
    common::Win32InputInjector injector;
    const common::ScreenRect screen = primary();
    EXPECT_EQ(injector.targetArea(), screen);
    const struct {
        common::ScreenRect area;
        std::int32_t dx, dy;
    } cases[] = {
        {screen, 32768, 32768},
        {screen, 0, 0},
        {screen, 65535, 65535},
        // A monitor that is not at the origin: the right half of the screen.
        {{screen.width / 2, 40, screen.width / 2, screen.height - 40}, 16384, 49152},
        {{screen.width / 2, 40, screen.width / 2, screen.height - 40}, -500, 70000},
    };
    for (const auto& c : cases) {
        injector.setTargetArea(c.area);
        injector.send(Move | Absolute, c.dx, c.dy);
        const common::PixelPoint want = common::absoluteToPixel(c.dx, c.dy, c.area);
        POINT pos{};
        pumpUntil([&] { return GetCursorPos(&pos) && pos.x == want.x && pos.y == want.y; });
        EXPECT_EQ((common::PixelPoint{pos.x, pos.y}), want) << c.dx << "," << c.dy;
    }
    injector.setTargetArea({});
    EXPECT_EQ(injector.targetArea(), screen);
}

TEST(Win32Injector, ButtonsReachTheWindowUnderThePointer) {
    HWND w = makeWindow(L"tkButtonTarget", L"buttons", WS_EX_TOPMOST, WS_POPUP, {0, 0, 400, 300});
    ASSERT_NE(w, nullptr);
    SetForegroundWindow(w);
    pump(300);
    gReceived.clear();
    common::Win32InputInjector injector;
    injector.setTargetArea({0, 0, 400, 300});
    using namespace common::MouseFlags;
    injector.send(Move | Absolute | LeftDown, 32768, 32768);
    injector.send(LeftUp, 0, 0);
    injector.send(RightDown | RightUp, 0, 0);
    pumpUntil([] { return received(WM_RBUTTONUP); });
    for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONUP}) {
        EXPECT_TRUE(received(message)) << message;
    }
    for (const Received& r : gReceived) {
        if (r.message == WM_LBUTTONDOWN) {
            EXPECT_EQ(GET_X_LPARAM(r.lParam), 200);
            EXPECT_EQ(GET_Y_LPARAM(r.lParam), 150);
        }
    }
    DestroyWindow(w);
}

TEST(Win32Keys, F13IsDownWhileHeldAndUpAfter) {
    common::Win32KeyState keys;
    (void)keys.asyncKeyState(common::VK_F13_KEY);  // forgets earlier presses
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = common::VK_F13_KEY;
    SendInput(1, &in, sizeof in);
    EXPECT_TRUE(pumpUntil([&] { return (keys.asyncKeyState(common::VK_F13_KEY) & 0x8000) != 0; }));
    in.ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(1, &in, sizeof in);
    EXPECT_TRUE(pumpUntil([&] { return (keys.asyncKeyState(common::VK_F13_KEY) & 0x8000) == 0; }));
    EXPECT_EQ(keys.asyncKeyState(common::VK_ESCAPE_KEY) & 0x8000, 0);
}

// A presentation of the kind Kalvo drives: a full-screen "screenClass" window
// with a "paneClassDC" child.
class Win32Presentation : public ::testing::Test {
protected:
    void SetUp() override {
        const common::ScreenRect s = primary();
        show_ = makeWindow(L"screenClass", L"slide show", 0, WS_POPUP, s);
        pane_ = makeWindow(L"paneClassDC", L"", 0, WS_CHILD, {0, 0, s.width, s.height}, show_);
        ASSERT_NE(show_, nullptr);
        ASSERT_NE(pane_, nullptr);
        pump(100);
        gReceived.clear();
    }
    void TearDown() override { DestroyWindow(show_); }

    HWND show_ = nullptr;
    HWND pane_ = nullptr;
    common::Win32WindowFinder finder_;
};

TEST_F(Win32Presentation, FindsThePaneByClassAndPostsPageKeysToIt) {
    EXPECT_EQ(finder_.findByClass("screenClass", "paneClassDC"), id(pane_));
    EXPECT_EQ(finder_.findByClass("screen*", "", true), id(show_));
    EXPECT_EQ(finder_.findByClass("screenClass", "noSuchChild"), id(show_));
    EXPECT_EQ(finder_.findByClass("paneClassDC", ""), std::nullopt);  // not top-level
    EXPECT_EQ(finder_.findByTitle("slide show"), id(show_));

    ASSERT_TRUE(finder_.activate(id(pane_)));
    finder_.tapKey(common::VK_NEXT_KEY);
    pumpUntil([] { return !gReceived.empty(); });
    pump(50);  // nothing else follows it
    ASSERT_EQ(gReceived.size(), 1u);
    EXPECT_EQ(std::tuple(gReceived[0].message, gReceived[0].wParam, gReceived[0].lParam),
              std::tuple(UINT{WM_KEYDOWN}, WPARAM{VK_NEXT}, LPARAM{0}));

    finder_.requestClose(id(show_));
    EXPECT_TRUE(pumpUntil([] { return received(WM_CLOSE); }));
}

TEST_F(Win32Presentation, HiddenOrSmallWindowsDoNotCount) {
    SetWindowPos(show_, nullptr, 0, 0, 300, 200, SWP_NOZORDER | SWP_NOMOVE);
    pump(50);
    EXPECT_EQ(finder_.findByClass("screenClass", "", true), std::nullopt);
    EXPECT_EQ(finder_.findByClass("screenClass", ""), id(show_));
    ShowWindow(show_, SW_HIDE);
    pump(50);
    EXPECT_EQ(finder_.findByClass("screenClass", "paneClassDC"), std::nullopt);
    EXPECT_FALSE(finder_.activate(id(show_)));
}

TEST(Win32Stacking, AnotherProgramsWindowAboveCoversUntilRaised) {
    const auto make = [](DWORD style, int x) {
        HWND w = makeWindow(L"tkStacking", L"stack", WS_EX_TOPMOST, style, {x, 0, 200, 150});
        pump(100);
        return w;
    };
    HWND toolbar = make(WS_POPUP, 0);
    HWND other = make(WS_OVERLAPPEDWINDOW, 100);  // made later: above
    ASSERT_NE(toolbar, nullptr);
    ASSERT_NE(other, nullptr);
    // This process's windows stand for another program's once the stacking
    // is told of another process as its own.
    const auto ours = common::makeWin32WindowStacking(static_cast<long>(GetCurrentProcessId()));
    const auto theirs =
        common::makeWin32WindowStacking(static_cast<long>(GetCurrentProcessId()) + 1);
    EXPECT_FALSE(ours->coveredByOtherProgram(id(toolbar)));
    EXPECT_TRUE(theirs->coveredByOtherProgram(id(toolbar)));
    EXPECT_FALSE(theirs->coveredByOtherProgram(id(other)));
    theirs->raise(id(toolbar));
    pump(50);
    EXPECT_FALSE(theirs->coveredByOtherProgram(id(toolbar)));
    EXPECT_EQ(GetForegroundWindow(), other);  // raising took no focus
    // A bare pop-up (a menu) opened over it, a hidden window or one beside
    // it leave it uncovered.
    HWND menu = make(WS_POPUP, 50);
    EXPECT_FALSE(theirs->coveredByOtherProgram(id(toolbar)));
    theirs->raise(id(other));
    pump(50);
    EXPECT_TRUE(theirs->coveredByOtherProgram(id(toolbar)));
    ShowWindow(other, SW_HIDE);
    pump(50);
    EXPECT_FALSE(theirs->coveredByOtherProgram(id(toolbar)));
    SetWindowPos(other, HWND_TOPMOST, 300, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
    pump(50);
    EXPECT_FALSE(theirs->coveredByOtherProgram(id(toolbar)));
    EXPECT_FALSE(theirs->setNativeClass(id(toolbar), "kalvoOverlay"));
    for (HWND w : {toolbar, other, menu}) {
        DestroyWindow(w);
    }
}

TEST(Win32ScreenFrames, FilmTheDesktopOrAnAreaOfIt) {
    HWND red = makeWindow(L"tkRedWindow", L"red", WS_EX_TOPMOST, WS_POPUP, {100, 100, 200, 150},
                          nullptr, CreateSolidBrush(RGB(255, 0, 0)));
    ASSERT_NE(red, nullptr);
    pump(300);
    // Blue, green, red of the pixel at x, y of a frame.
    const auto colour = [](const common::ScreenFrame& f, int x, int y) {
        const unsigned char* p = f.data + static_cast<std::size_t>(y) * f.stride + x * f.channels;
        return std::vector<int>{p[0], p[1], p[2]};
    };
    const std::vector<int> kRed{0, 0, 255};
    auto whole = common::ScreenFrames::open("", {});
    auto part = common::ScreenFrames::open("", {100, 100, 200, 150});
    ASSERT_NE(whole, nullptr);
    ASSERT_NE(part, nullptr);
    common::ScreenFrame f;
    ASSERT_TRUE(whole->grab(f));
    EXPECT_EQ(f.width, primary().width);
    EXPECT_EQ(colour(f, 150, 150), kRed);
    EXPECT_NE(colour(f, 350, 150), kRed);
    ASSERT_TRUE(part->grab(f));
    EXPECT_EQ(std::tuple(f.width, f.height), std::tuple(200, 150));
    EXPECT_EQ(colour(f, 0, 0), kRed);
    EXPECT_EQ(colour(f, 199, 149), kRed);
    EXPECT_EQ(part->area(), (common::ScreenRect{100, 100, 200, 150}));
    part->assumeSizeOnce({50, 40});
    ASSERT_TRUE(part->grab(f));
    EXPECT_EQ(f.width, 50);
    EXPECT_EQ(common::ScreenFrames::open("", {0, 0, 100000, 10}), nullptr);
    DestroyWindow(red);
}

TEST(Win32InstanceLock, NamedMutexAdmitsOneHolderAtATime) {
    auto first = common::InstanceLock::tryAcquire("TovikMainAppMutex-test");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(common::InstanceLock::tryAcquire("TovikMainAppMutex-test"), nullptr);
    EXPECT_NE(common::InstanceLock::tryAcquire("ThdMutex-test"), nullptr);
    // The system's view: the mutex exists under its name while held.
    HANDLE seen = OpenMutexW(SYNCHRONIZE, FALSE, L"Local\\TovikMainAppMutex-test");
    EXPECT_NE(seen, nullptr);
    if (seen) {
        CloseHandle(seen);
    }
    first.reset();
    EXPECT_NE(common::InstanceLock::tryAcquire("TovikMainAppMutex-test"), nullptr);
}

TEST(Win32Shell, CommandLinesSplitBackIntoTheSameWords) {
    const std::vector<std::string> words = {
        "plain", "two words", "", "quote\"inside", "trailing\\", "a\\\\b \"c\"", "汉字 文件"};
    const std::wstring line = L"prog " + common::Win32ShellLauncher::quoteArguments(words);
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(line.c_str(), &argc);
    ASSERT_NE(argv, nullptr);
    ASSERT_EQ(argc, static_cast<int>(words.size()) + 1);
    for (std::size_t i = 0; i < words.size(); ++i) {
        EXPECT_EQ(common::win32::narrow(argv[i + 1]), words[i]);
    }
    LocalFree(argv);
}

TEST(Win32Shell, StartsAndStopsThroughTheShell) {
    common::Win32ShellLauncher shell;
    EXPECT_EQ(shell.start({"no-such-program-here.exe"}), -1);
    EXPECT_FALSE(shell.openDocument("C:\\no\\such\\help.mht"));
    // Runs for a minute unless stopped.
    const long pid = shell.start({"cmd.exe", "/c", "ping -n 60 127.0.0.1 >nul"});
    ASSERT_GT(pid, 0);
    HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(WaitForSingleObject(h, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    shell.stop(pid);
    EXPECT_EQ(WaitForSingleObject(h, 5000), static_cast<DWORD>(WAIT_OBJECT_0));
    CloseHandle(h);
}

TEST(Win32Text, WildcardsAndUtf8RoundTrip) {
    using common::win32::wildcardMatch;
    EXPECT_TRUE(wildcardMatch("LibreOffice *", "LibreOffice 7.4"));
    EXPECT_FALSE(wildcardMatch("LibreOffice *", "libreoffice-impress"));
    EXPECT_TRUE(wildcardMatch("*Class*DC", "paneClassDC"));
    EXPECT_FALSE(wildcardMatch("screenClass", "screenClass2"));
    EXPECT_TRUE(wildcardMatch("a*b*c", "aXbYbc"));
    EXPECT_EQ(common::win32::narrow(common::win32::widen("画板 Kalvo")), "画板 Kalvo");
}

TEST(Win32Platform, MakePlatformPicksTheWin32BackEnds) {
    common::Platform p = common::makePlatform();
    EXPECT_NE(dynamic_cast<common::Win32InputInjector*>(p.injector.get()), nullptr);
    EXPECT_NE(dynamic_cast<common::Win32KeyState*>(p.keys.get()), nullptr);
    EXPECT_NE(dynamic_cast<common::Win32WindowFinder*>(p.windows.get()), nullptr);
    EXPECT_EQ(p.pageKeys, nullptr);
    EXPECT_FALSE(p.isX11);
    _putenv_s("TK_PLATFORM", "null");
    common::Platform stand = common::makePlatform();
    _putenv_s("TK_PLATFORM", "");
    EXPECT_NE(dynamic_cast<common::RecordingInjector*>(stand.injector.get()), nullptr);
}

}  // namespace
