#pragma once
// Starts programs directly (no shell, PATH searched) and opens documents with
// xdg-open. Children it started are reaped, so none is left as a zombie.

#include <mutex>
#include <set>

#include "common/platform/ShellLauncher.h"

namespace common {

class PosixShellLauncher final : public ShellLauncher {
public:
    ~PosixShellLauncher() override = default;

    long start(const std::vector<std::string>& argv) override;
    // SIGTERM, then waits up to two seconds before SIGKILL; only for processes
    // this launcher started.
    void stop(long pid) override;
    // False when the file does not exist or xdg-open cannot be started.
    bool openDocument(const std::string& path) override;

private:
    long spawn(const std::vector<std::string>& argv);
    void reapFinished();  // expects mutex_ held

    std::mutex mutex_;
    std::set<long> children_;
};

}  // namespace common
