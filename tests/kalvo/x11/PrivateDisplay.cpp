#include "PrivateDisplay.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

extern char** environ;

namespace kalvo::x11test {

namespace {

using namespace std::chrono_literals;

bool onPath(const std::string& tool) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const std::size_t end = dirs.find(':', start);
        const std::string dir = dirs.substr(start, end - start);
        if (!dir.empty() && ::access((dir + "/" + tool).c_str(), X_OK) == 0) {
            return true;
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return false;
}

// The current environment with some variables replaced.
std::vector<std::string> environmentWith(const std::vector<std::string>& overrides) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry(*e);
        const std::string name = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const std::string& o : overrides) {
            replaced |= o.substr(0, o.find('=')) == name;
        }
        if (!replaced) {
            env.push_back(entry);
        }
    }
    env.insert(env.end(), overrides.begin(), overrides.end());
    return env;
}

pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
            posix_spawn_file_actions_t* actions = nullptr) {
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& e : env) {
        envp.push_back(const_cast<char*>(e.c_str()));
    }
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], actions, nullptr, args.data(), envp.data()) != 0) {
        return -1;
    }
    return pid;
}

void stop(pid_t pid) {
    if (pid > 0) {
        ::kill(pid, SIGTERM);
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
}

// Waits for a child; kills it after the timeout. -1 when it did not exit.
int waitFor(pid_t pid, std::chrono::seconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < until) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(20ms);
    }
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return -1;
}

bool compositorOwnsScreen(const std::string& display) {
    Display* d = XOpenDisplay(display.c_str());
    if (d == nullptr) {
        return false;
    }
    const Atom atom = XInternAtom(d, "_NET_WM_CM_S0", False);
    const bool owned = XGetSelectionOwner(d, atom) != 0;
    XCloseDisplay(d);
    return owned;
}

}  // namespace

bool inChild() {
    return std::getenv(kChildVariable) != nullptr;
}

ChildResult runOnPrivateDisplay(const std::string& testName, bool compositor) {
    ChildResult result;
    if (!onPath("Xvfb")) {
        result.error = "Xvfb is not installed";
        return result;
    }
    if (compositor && !onPath("xcompmgr")) {
        result.error = "xcompmgr is not installed";
        return result;
    }
    int fds[2];
    if (::pipe(fds) != 0) {
        result.error = "no pipe";
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    // Xvfb reports every display number it finds taken: keep that quiet.
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const pid_t xvfb = spawn(
        {"Xvfb", "-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"},
        environmentWith({}), &actions);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    std::string number;
    pollfd pfd{fds[0], POLLIN, 0};
    while (xvfb > 0 && ::poll(&pfd, 1, 20000) > 0) {
        char c = 0;
        if (::read(fds[0], &c, 1) != 1 || c == '\n') {
            break;
        }
        number += c;
    }
    ::close(fds[0]);
    if (number.empty()) {
        stop(xvfb);
        result.error = "Xvfb did not start";
        return result;
    }
    const std::string display = ":" + number;
    const std::vector<std::string> env = environmentWith(
        {"DISPLAY=" + display, std::string(kChildVariable) + "=1", "QT_QPA_PLATFORM=xcb"});
    pid_t manager = -1;
    if (compositor) {
        manager = spawn({"xcompmgr"}, env);
        const auto until = std::chrono::steady_clock::now() + 10s;
        while (!compositorOwnsScreen(display) && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(20ms);
        }
        if (!compositorOwnsScreen(display)) {
            stop(manager);
            stop(xvfb);
            result.error = "xcompmgr did not start";
            return result;
        }
    }
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const pid_t child = spawn({self, "--gtest_filter=" + testName}, env);
    if (child > 0) {
        result.started = true;
        result.exitCode = waitFor(child, 60s);
    } else {
        result.error = "the test program could not be started again";
    }
    stop(manager);
    stop(xvfb);
    return result;
}

}  // namespace kalvo::x11test
