#include "common/platform/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace common {

namespace {

bool isDir(const char* path) {
    struct stat st {};
    return path && path[0] == '/' && ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

// A lock name becomes one file name: path separators and control characters
// would escape the folder or make an odd name.
std::string fileNameFor(const std::string& name) {
    std::string out;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        out += (c == '/' || u < 0x20 || u == 0x7F) ? '_' : c;
    }
    if (out.empty() || out == "." || out == "..") {
        out = "_" + out;
    }
    return out;
}

}  // namespace

InstanceLock::~InstanceLock() {
    if (fd_ >= 0) {
        ::close(fd_);  // also releases the lock
    }
}

std::string InstanceLock::lockPath(const std::string& name) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (isDir(runtime)) {
        return std::string(runtime) + "/" + fileNameFor(name) + ".lock";
    }
    // The temporary folder is shared by every user: the user id keeps one
    // user's copy from blocking another's.
    const char* tmp = std::getenv("TMPDIR");
    const std::string dir = isDir(tmp) ? tmp : "/tmp";
    return dir + "/" + fileNameFor(name) + "-" + std::to_string(::getuid()) + ".lock";
}

std::unique_ptr<InstanceLock> InstanceLock::tryAcquire(const std::string& name) {
    const std::string path = lockPath(name);
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        // Nothing can be locked (a read-only or foreign file): we cannot tell
        // whether another copy runs, and refusing to start would be worse.
        return std::unique_ptr<InstanceLock>(new InstanceLock(-1));
    }
    // The kernel drops a flock when its holder exits, however it ends, so a
    // crashed copy never leaves a stale lock behind.
    int rc = 0;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        ::close(fd);
        return nullptr;
    }
    // The holder's process id, for anyone looking at the file.
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const ssize_t n = ::pwrite(fd, pid.data(), pid.size(), 0);
    }
    return std::unique_ptr<InstanceLock>(new InstanceLock(fd));
}

}  // namespace common
