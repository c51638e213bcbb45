#pragma once
// Starts helper programs without a shell and opens documents in the desktop's
// viewer. Failures are reported by the result only.

#include <string>
#include <vector>

namespace common {

class ShellLauncher {
public:
    virtual ~ShellLauncher() = default;
    // Starts argv[0] with the given arguments, searched in PATH; returns the
    // process id, or -1 when it could not be started.
    virtual long start(const std::vector<std::string>& argv) = 0;
    // Ends a process that start() returned, if it still runs.
    virtual void stop(long pid) = 0;
    // Opens a file with the desktop's associated program.
    virtual bool openDocument(const std::string& path) = 0;
};

}  // namespace common
