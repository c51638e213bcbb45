#include <windows.h>

#include "common/platform/InstanceLock.h"
#include "common/platform/win32/Win32Text.h"

namespace common {

InstanceLock::~InstanceLock() {
    if (mutex_) {
        ReleaseMutex(mutex_);
        CloseHandle(mutex_);
    }
}

std::string InstanceLock::lockPath(const std::string& name) {
    // The session's namespace: one user's copy does not block another's.
    return "Local\\" + name;
}

std::unique_ptr<InstanceLock> InstanceLock::tryAcquire(const std::string& name) {
    // Backslashes would name a namespace that does not exist.
    std::string safe = name;
    for (char& c : safe) {
        c = c == '\\' ? '_' : c;
    }
    const std::wstring wide = win32::widen(lockPath(safe));
    HANDLE mutex = CreateMutexW(nullptr, TRUE, wide.c_str());
    if (mutex == nullptr) {
        // Nothing could be made: whether another copy runs is unknown, and
        // refusing to start would be worse.
        return std::unique_ptr<InstanceLock>(new InstanceLock(nullptr));
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        // Someone still holds a handle: another copy runs (in this process
        // too, like a second lock file). A copy that died closed its handle
        // with it, and the mutex went away then.
        CloseHandle(mutex);
        return nullptr;
    }
    return std::unique_ptr<InstanceLock>(new InstanceLock(mutex));
}

}  // namespace common
