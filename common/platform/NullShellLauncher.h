#pragma once
// Stand-in for the shell: starts nothing, remembers what it was asked.
// Thread-safe.

#include <mutex>

#include "common/platform/ShellLauncher.h"

namespace common {

class NullShellLauncher final : public ShellLauncher {
public:
    long start(const std::vector<std::string>& argv) override {
        std::lock_guard lock(mutex_);
        started_.push_back(argv);
        if (failStarts_ || argv.empty()) {
            return -1;
        }
        return nextPid_++;
    }
    void stop(long pid) override {
        std::lock_guard lock(mutex_);
        stopped_.push_back(pid);
    }
    bool openDocument(const std::string& path) override {
        std::lock_guard lock(mutex_);
        opened_.push_back(path);
        return !failStarts_;
    }

    // Makes every later start and open fail, as when the program is missing.
    void setFailStarts(bool fail) {
        std::lock_guard lock(mutex_);
        failStarts_ = fail;
    }
    [[nodiscard]] std::vector<std::vector<std::string>> started() const {
        std::lock_guard lock(mutex_);
        return started_;
    }
    [[nodiscard]] std::vector<long> stopped() const {
        std::lock_guard lock(mutex_);
        return stopped_;
    }
    [[nodiscard]] std::vector<std::string> opened() const {
        std::lock_guard lock(mutex_);
        return opened_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::vector<std::string>> started_;
    std::vector<long> stopped_;
    std::vector<std::string> opened_;
    long nextPid_ = 10000;
    bool failStarts_ = false;
};

}  // namespace common
