#include "common/platform/PosixShellLauncher.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

extern char** environ;

namespace common {

long PosixShellLauncher::spawn(const std::vector<std::string>& argv) {
    if (argv.empty() || argv.front().empty()) {
        return -1;
    }
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);

    // The child starts with default signal handling and an empty mask, in a
    // session of its own so that it outlives a terminal that closes.
    posix_spawnattr_t attr;
    if (posix_spawnattr_init(&attr) != 0) {
        return -1;
    }
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr,
                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, args[0], nullptr, &attr, args.data(), environ);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) {
        return -1;
    }
    children_.insert(pid);
    return pid;
}

void PosixShellLauncher::reapFinished() {
    for (auto it = children_.begin(); it != children_.end();) {
        const pid_t r = ::waitpid(static_cast<pid_t>(*it), nullptr, WNOHANG);
        // ECHILD: reaped elsewhere (or SIGCHLD ignored); either way it is gone.
        if (r == static_cast<pid_t>(*it) || (r < 0 && errno == ECHILD)) {
            it = children_.erase(it);
        } else {
            ++it;
        }
    }
}

long PosixShellLauncher::start(const std::vector<std::string>& argv) {
    std::lock_guard lock(mutex_);
    reapFinished();
    return spawn(argv);
}

void PosixShellLauncher::stop(long pid) {
    std::lock_guard lock(mutex_);
    reapFinished();
    // Never signal a process we did not start: its number may have been reused.
    if (children_.count(pid) == 0) {
        return;
    }
    const auto p = static_cast<pid_t>(pid);
    ::kill(p, SIGTERM);
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + seconds(2);
    for (;;) {
        const pid_t r = ::waitpid(p, nullptr, WNOHANG);
        if (r == p || (r < 0 && errno != EINTR)) {
            break;
        }
        if (steady_clock::now() >= deadline) {
            ::kill(p, SIGKILL);
            while (::waitpid(p, nullptr, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        std::this_thread::sleep_for(milliseconds(10));
    }
    children_.erase(pid);
}

bool PosixShellLauncher::openDocument(const std::string& path) {
    if (path.empty() || ::access(path.c_str(), F_OK) != 0) {
        return false;
    }
    // A name starting with '-' would read as an option.
    const std::string arg = path.front() == '-' ? "./" + path : path;
    std::lock_guard lock(mutex_);
    reapFinished();
    return spawn({"xdg-open", arg}) > 0;
}

}  // namespace common
