#include "tests/support/Process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

extern char** environ;

namespace tktest {

namespace {

std::string nameOf(const std::string& entry) {
    return entry.substr(0, entry.find('='));
}

std::vector<std::string> environmentWith(const std::vector<std::string>& overrides) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::none_of(overrides.begin(), overrides.end(),
                         [&](const std::string& o) { return nameOf(o) == nameOf(*e); })) {
            env.emplace_back(*e);
        }
    }
    env.insert(env.end(), overrides.begin(), overrides.end());
    return env;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (std::string& s : strings) {
        out.push_back(s.data());
    }
    out.push_back(nullptr);
    return out;
}

}  // namespace

std::unique_ptr<Process> Process::start(const std::vector<std::string>& argv,
                                        const SpawnOptions& options) {
    int in[2] = {-1, -1};
    int report[2] = {-1, -1};
    if ((options.input && ::pipe2(in, O_CLOEXEC) != 0) ||
        (options.reportFd >= 0 && ::pipe2(report, O_CLOEXEC) != 0)) {
        return nullptr;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (options.input) {
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    }
    for (const auto& [fd, path] :
         {std::pair{STDOUT_FILENO, options.out}, {STDERR_FILENO, options.err}}) {
        if (!path.empty()) {
            posix_spawn_file_actions_addopen(&actions, fd, path.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
        }
    }
    if (options.reportFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, report[1], options.reportFd);
    }
    std::vector<std::string> args = argv;
    std::vector<std::string> env = environmentWith(options.env);
    auto p = std::unique_ptr<Process>(new Process);
    const int failed = posix_spawnp(&p->pid_, args[0].c_str(), &actions, nullptr,
                                    pointers(args).data(), pointers(env).data());
    posix_spawn_file_actions_destroy(&actions);
    for (const int fd : {in[0], report[1]}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    p->input_ = in[1];
    p->report_ = report[0];
    if (failed != 0) {
        p->pid_ = -1;
        return nullptr;
    }
    return p;
}

Process::~Process() {
    stop();
    for (const int fd : {input_, report_}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void Process::send(const std::string& line) const {
    const std::string text = line + "\n";
    [[maybe_unused]] const ssize_t n = ::write(input_, text.data(), text.size());
}

std::string Process::readLine(std::chrono::milliseconds limit) {
    std::string line;
    const auto end = std::chrono::steady_clock::now() + limit;
    pollfd pfd{report_, POLLIN, 0};
    char c = 0;
    while (report_ >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0 || ::poll(&pfd, 1, static_cast<int>(left.count())) <= 0 ||
            ::read(report_, &c, 1) != 1 || c == '\n') {
            break;
        }
        line += c;
    }
    return line;
}

bool Process::waitExit(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!exited_ && pid_ > 0) {
        exited_ = ::waitpid(pid_, &status_, WNOHANG) == pid_;
        if (exited_ || std::chrono::steady_clock::now() >= end) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return exited_;
}

int Process::exitCode() const {
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : 128 + WTERMSIG(status_);
}

void Process::signal(int number) const {
    if (pid_ > 0 && !exited_) {
        ::kill(pid_, number);
    }
}

void Process::stop(std::chrono::milliseconds grace) {
    if (pid_ <= 0 || exited_) {
        return;
    }
    signal(SIGTERM);
    if (!waitExit(grace)) {
        signal(SIGKILL);
        exited_ = ::waitpid(pid_, &status_, 0) == pid_;
    }
}

}  // namespace tktest
