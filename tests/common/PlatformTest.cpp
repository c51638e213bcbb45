#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <filesystem>
#include <thread>

#include "EnvOverride.h"
#include "TempDir.h"
#include "common/platform/AbsoluteMapping.h"
#include "common/platform/InstanceLock.h"
#include "common/platform/KeyState.h"
#include "common/platform/NullShellLauncher.h"
#include "common/platform/NullWindowFinder.h"
#include "common/platform/Platform.h"
#include "common/platform/PosixShellLauncher.h"
#include "tests/support/Wait.h"

namespace {

using namespace std::chrono_literals;
using common::PixelPoint;
using common::ScreenRect;
using tktest::EnvOverride;
using tktest::TempDir;

struct MapCase {
    std::int32_t dx;
    std::int32_t dy;
    ScreenRect area;
    PixelPoint expected;
};

TEST(AbsoluteToPixel, MapsTheUnitSquareOntoTheTargetAreaAndClamps) {
    const MapCase cases[] = {
        {0, 0, {0, 0, 1280, 800}, {0, 0}},
        {32768, 32768, {0, 0, 1280, 800}, {640, 400}},
        {65535, 65535, {0, 0, 1280, 800}, {1279, 799}},
        {65536, 65536, {0, 0, 1280, 800}, {1279, 799}},  // off screen: clamped to the last pixel
        {32768, 16384, {0, 0, 1366, 768}, {683, 192}},
        {51, 51, {0, 0, 1366, 768}, {1, 0}},  // (51 * 1366) >> 16 = 1, (51 * 768) >> 16 = 0
        {-1, -70000, {0, 0, 1280, 800}, {0, 0}},
        {INT32_MAX, INT32_MIN, {0, 0, 7680, 4320}, {7679, 0}},  // no 32-bit overflow
        {1000, 1000, {0, 0, 0, 0}, {0, 0}},
        // A projector right of a 1280-wide laptop panel: offset, and clamped
        // into the projector, never onto the panel.
        {32768, 32768, {1280, 0, 1024, 768}, {1792, 384}},
        {-5, 70000, {1280, 0, 1024, 768}, {1280, 767}},
        {0, 0, {-1024, 100, 1024, 768}, {-1024, 100}},
    };
    for (const MapCase& c : cases) {
        EXPECT_EQ(common::absoluteToPixel(c.dx, c.dy, c.area), c.expected)
            << c.dx << "," << c.dy << " on " << c.area.width << "x" << c.area.height << "+"
            << c.area.x << "+" << c.area.y;
    }
}

TEST(TargetScreen, PicksThePrimaryByDefaultAndOtherwiseByIndexOrName) {
    // The usual classroom: a laptop panel, and a projector as the second
    // monitor, left of it, with the panel primary.
    const common::FixedScreenInfo screens(
        {{"eDP-1", {1024, 0, 1280, 800}, true}, {"HDMI-1", {0, 0, 1024, 768}, false}});
    const struct {
        const char* choice;
        const char* expected;
        bool warned;
    } cases[] = {
        {"", "eDP-1", false},        {"0", "eDP-1", false}, {"1", "HDMI-1", false},
        {"HDMI-1", "HDMI-1", false}, {"2", "eDP-1", true},  {"VGA-1", "eDP-1", true},
        {"-1", "eDP-1", true},       {"1x", "eDP-1", true},
    };
    for (const auto& c : cases) {
        const common::TargetScreen t = common::resolveTargetScreen(screens, c.choice);

        EXPECT_EQ(t.monitor.name, c.expected) << c.choice;
        EXPECT_EQ(!t.warning.empty(), c.warned) << c.choice << ": " << t.warning;
    }
    EXPECT_EQ(common::resolveTargetScreen(screens, "1").monitor.rect,
              (common::ScreenRect{0, 0, 1024, 768}));
    // Without a primary the first monitor stands in.
    EXPECT_EQ(
        common::findMonitor({{"a", {0, 0, 1, 1}, false}, {"b", {1, 0, 1, 1}, false}}, "")->name,
        "a");
    EXPECT_FALSE(common::findMonitor({}, "").has_value());
}

TEST(ScriptedKeyState, LatchesPressesBetweenQueriesPerKey) {
    common::ScriptedKeyState keys;

    keys.tap(common::VK_F13_KEY);
    EXPECT_EQ(keys.asyncKeyState(common::VK_F13_KEY), 1);
    EXPECT_EQ(keys.asyncKeyState(common::VK_F13_KEY), 0);

    keys.setDown(common::VK_ESCAPE_KEY, true);
    EXPECT_EQ(keys.asyncKeyState(common::VK_F13_KEY), 0);  // other keys unaffected
    EXPECT_NE(keys.asyncKeyState(common::VK_ESCAPE_KEY) & 0x8000, 0);
    EXPECT_NE(keys.asyncKeyState(common::VK_ESCAPE_KEY) & 0x8000, 0);
    keys.setDown(common::VK_ESCAPE_KEY, false);
    EXPECT_EQ(keys.asyncKeyState(common::VK_ESCAPE_KEY), 0);  // press already reported

    keys.setDown(common::VK_NEXT_KEY, true);
    keys.setDown(common::VK_NEXT_KEY, false);
    EXPECT_EQ(keys.asyncKeyState(common::VK_NEXT_KEY), 1);  // press and release between polls
    EXPECT_EQ(keys.asyncKeyState(common::VK_NEXT_KEY), 0);
}

class InstanceLockTest : public ::testing::Test {
protected:
    TempDir runtime;
    EnvOverride env{"XDG_RUNTIME_DIR", runtime.path().c_str()};
};

TEST_F(InstanceLockTest, LockFileLivesInTheRuntimeFolderUnderASafeName) {
    EXPECT_EQ(common::InstanceLock::lockPath("TovikMainAppMutex"),
              runtime.path() + "/TovikMainAppMutex.lock");
    EXPECT_EQ(common::InstanceLock::lockPath("../a/b"), runtime.path() + "/.._a_b.lock");

    EnvOverride noRuntime("XDG_RUNTIME_DIR", nullptr);
    const std::string fallback = common::InstanceLock::lockPath("X");
    EXPECT_EQ(std::filesystem::path(fallback).filename(),
              "X-" + std::to_string(::getuid()) + ".lock");
}

TEST_F(InstanceLockTest, SecondAcquireIsRefusedUntilTheFirstIsReleased) {
    auto first = common::InstanceLock::tryAcquire("tk-test");
    ASSERT_TRUE(first);

    EXPECT_FALSE(common::InstanceLock::tryAcquire("tk-test"));
    EXPECT_TRUE(common::InstanceLock::tryAcquire("tk-other"));

    first.reset();
    EXPECT_TRUE(common::InstanceLock::tryAcquire("tk-test"));
}

TEST_F(InstanceLockTest, HolderThatEndsWithoutReleasingDoesNotBlock) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Never released: the process just ends.
        common::InstanceLock* held = common::InstanceLock::tryAcquire("tk-crash").release();
        ::_exit(held ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    EXPECT_TRUE(common::InstanceLock::tryAcquire("tk-crash"));
}

TEST_F(InstanceLockTest, LiveHolderInAnotherProcessBlocksUntilItIsKilled) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto lock = common::InstanceLock::tryAcquire("tk-live");
        const char ok = lock ? 'y' : 'n';
        (void)!::write(ready[1], &ok, 1);
        ::pause();
        ::_exit(0);
    }
    char ok = 0;
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    ::close(ready[0]);
    ::close(ready[1]);
    ASSERT_EQ(ok, 'y');

    const bool blockedWhileAlive = !common::InstanceLock::tryAcquire("tk-live");
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);

    EXPECT_TRUE(blockedWhileAlive);
    EXPECT_TRUE(common::InstanceLock::tryAcquire("tk-live"));
}

// Starts `argv`, lets `settle` pass and stops it: ended and reaped, not a zombie.
void expectStopEnds(const std::vector<std::string>& argv, std::chrono::milliseconds settle) {
    common::PosixShellLauncher shell;
    const long pid = shell.start(argv);
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(settle);

    shell.stop(pid);

    EXPECT_TRUE(::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) << argv.back();
}

TEST(PosixShellLauncher, StartsProgramsFromPathAndReportsFailuresAsResults) {
    common::PosixShellLauncher shell;

    EXPECT_GT(shell.start({"true"}), 0);
    EXPECT_EQ(shell.start({"tk-no-such-program-here"}), -1);
    EXPECT_EQ(shell.start({}), -1);
    EXPECT_EQ(shell.start({""}), -1);
    EXPECT_FALSE(shell.openDocument("/no/such/file.mht"));
}

TEST(PosixShellLauncher, StopEndsAndReapsTheChild) {
    expectStopEnds({"sleep", "30"}, 0ms);
}

TEST(PosixShellLauncher, StopKillsAChildThatIgnoresTerm) {
    expectStopEnds({"sh", "-c", "trap '' TERM; exec sleep 30"}, 100ms);  // the shell sets its trap
}

TEST(PosixShellLauncher, StopIgnoresProcessesItDidNotStart) {
    common::PosixShellLauncher shell;
    common::PosixShellLauncher other;
    const long pid = other.start({"sleep", "30"});
    ASSERT_GT(pid, 0);

    shell.stop(pid);

    EXPECT_EQ(::waitpid(static_cast<pid_t>(pid), nullptr, WNOHANG), 0);  // still running
    other.stop(pid);
}

TEST(PosixShellLauncher, OpenDocumentHandsThePathToXdgOpen) {
    TempDir dir;
    const std::string marker = dir.file("opened");
    const std::string script = dir.file("xdg-open");
    tktest::writeBytes(script, "#!/bin/sh\nprintf '%s' \"$1\" > '" + marker + "'\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    const std::string path = std::string(::getenv("PATH") ? ::getenv("PATH") : "/usr/bin:/bin");
    EnvOverride env("PATH", (dir.path() + ":" + path).c_str());
    const std::string doc = dir.file("help.mht");
    tktest::writeBytes(doc, "x");

    ASSERT_TRUE(common::PosixShellLauncher().openDocument(doc));

    tktest::waitUntil([&] { return tktest::readBytes(marker) == doc; });
    EXPECT_EQ(tktest::readBytes(marker), doc);
}

TEST(MakePlatform, ChoosesStandInsWhenAskedOrWhenNoDisplayOpens) {
    {
        EnvOverride env("TK_PLATFORM", "null");
        common::Platform p = common::makePlatform();
        EXPECT_FALSE(p.isX11);
        EXPECT_NE(dynamic_cast<common::RecordingInjector*>(p.injector.get()), nullptr);
        EXPECT_NE(dynamic_cast<common::ScriptedKeyState*>(p.keys.get()), nullptr);
        EXPECT_NE(dynamic_cast<common::NullShellLauncher*>(p.shell.get()), nullptr);
        EXPECT_NE(dynamic_cast<common::NullWindowFinder*>(p.windows.get()), nullptr);
        EXPECT_GT(p.screen->monitors().at(0).rect.width, 0);
    }
    {
        EnvOverride env("TK_PLATFORM", nullptr);
        common::Platform p = common::makePlatform(":987");  // no such display
        EXPECT_FALSE(p.isX11);
        EXPECT_NE(dynamic_cast<common::RecordingInjector*>(p.injector.get()), nullptr);
    }
}

TEST(NullWindowFinder, FindsDeclaredWindowsAndRecordsRequests) {
    common::NullWindowFinder finder;
    finder.addWindow({1, "other", "Other", 0});
    finder.addWindow({2, "screenClass", "Show", 0});
    finder.addWindow({3, "frame", "", 2});
    finder.addWindow({4, "paneClassDC", "", 3});

    EXPECT_EQ(finder.findByClass("screenClass", "paneClassDC"), 4u);
    EXPECT_EQ(finder.findByClass("screenClass", "missing"), 2u);
    EXPECT_EQ(finder.findByClass("other", "paneClassDC"), 1u);  // the pane is not its child
    EXPECT_FALSE(finder.findByClass("missing", ""));
    EXPECT_EQ(finder.findByTitle("Show"), 2u);

    finder.activate(4);
    finder.tapKey(common::VK_NEXT_KEY);
    finder.requestClose(2);
    EXPECT_EQ(finder.activated(), std::vector<common::WindowId>{4});
    EXPECT_EQ(finder.tappedKeys(), std::vector<int>{common::VK_NEXT_KEY});
    EXPECT_EQ(finder.closeRequests(), std::vector<common::WindowId>{2});
}

}  // namespace
