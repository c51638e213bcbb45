#pragma once
// Starts programs and opens documents through the shell (ShellExecuteExW), so
// "osk.exe" is found where the system keeps it and "help.mht" opens in the
// viewer associated with it. Thread-safe.

#include <map>
#include <mutex>

#include "common/platform/ShellLauncher.h"

namespace common {

class Win32ShellLauncher final : public ShellLauncher {
public:
    ~Win32ShellLauncher() override;
    long start(const std::vector<std::string>& argv) override;
    void stop(long pid) override;
    bool openDocument(const std::string& path) override;

    // The arguments as one command line, quoted so that the program's start-up
    // code splits them back into the same words.
    [[nodiscard]] static std::wstring quoteArguments(const std::vector<std::string>& args);

private:
    std::mutex mutex_;
    std::map<long, void*> children_;  // process id -> process handle
};

}  // namespace common
