#pragma once
// The programs a test starts: one way to start them, one way to end them.

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace tktest {

struct SpawnOptions {
    // NAME=value entries that replace or add to the test's own environment.
    std::vector<std::string> env = {};
    // Files for standard output and error; empty: the test's own.
    std::string out = {};
    std::string err = {};
    // A pipe to standard input, written with send().
    bool input = false;
    // A descriptor of the child (1: its standard output, 3: one more) whose
    // lines readLine() returns; -1: none.
    int reportFd = -1;
};

class Process {
public:
    // Null when the program cannot be started.
    static std::unique_ptr<Process> start(const std::vector<std::string>& argv,
                                          const SpawnOptions& options = {});
    // Ends it as stop() does, unless it ended already.
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // One line to its standard input.
    void send(const std::string& line) const;
    // The next line from the report descriptor; empty at its end or after `limit`.
    std::string readLine(std::chrono::milliseconds limit);
    // True once it has ended (then status() holds its wait status).
    bool waitExit(std::chrono::milliseconds limit);
    [[nodiscard]] int status() const { return status_; }
    // Its exit code, or 128 + the signal that ended it.
    [[nodiscard]] int exitCode() const;
    void signal(int number) const;
    // SIGTERM, SIGKILL after `grace`, and reaped.
    void stop(std::chrono::milliseconds grace = std::chrono::seconds(3));

private:
    Process() = default;
    pid_t pid_ = -1;
    int input_ = -1;
    int report_ = -1;
    int status_ = 0;
    bool exited_ = false;
};

}  // namespace tktest
