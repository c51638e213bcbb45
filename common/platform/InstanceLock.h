#pragma once
// A named single-instance lock: a lock file in the user's runtime folder held
// with an advisory lock, so a copy that crashed leaves nothing that blocks the
// next start. On Windows a named mutex of the same name, which the system
// releases with its last holder in the same way.

#include <memory>
#include <string>

namespace common {

class InstanceLock {
public:
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Null when another process holds the lock of that name.
    [[nodiscard]] static std::unique_ptr<InstanceLock> tryAcquire(const std::string& name);

    // Where the lock files live ($XDG_RUNTIME_DIR, else the temporary folder).
    [[nodiscard]] static std::string lockPath(const std::string& name);

private:
#ifdef _WIN32
    explicit InstanceLock(void* mutex) : mutex_(mutex) {}
    void* mutex_ = nullptr;
#else
    explicit InstanceLock(int fd) : fd_(fd) {}
    int fd_ = -1;
#endif
};

}  // namespace common
