#include "common/ini/SafeWrite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef _WIN32
#include <windows.h>

#include "common/ini/win32/WidePath.h"
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace common {

namespace {

// The injected fault: bytes allowed before it, or npos when none.
constexpr std::size_t kNoFault = static_cast<std::size_t>(-1);
std::atomic<std::size_t> faultAfter{kNoFault};
std::atomic<int> faultError{0};
std::atomic<std::size_t> faultSkips{0};  // writes that still pass untouched

#ifndef _WIN32
// The file a save replaces: the target of a symbolic link, so the link stays.
std::string resolveTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            std::string r(real);
            std::free(real);
            return r;
        }
    }
    return path;
}
#endif

int writeAll(int fd, std::string_view data, std::size_t limit) {
    std::size_t allowed = limit == kNoFault ? data.size() : std::min(limit, data.size());
    std::string_view part = data.substr(0, allowed);
    while (!part.empty()) {
        const ssize_t n = ::write(fd, part.data(), part.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        part.remove_prefix(static_cast<std::size_t>(n));
    }
    return allowed < data.size() ? faultError.load() : 0;
}

// The bytes this write may put out before the injected fault strikes.
std::size_t takeFaultLimit() {
    std::size_t limit = faultAfter.load();
    if (limit != kNoFault && faultSkips.load() > 0) {
        --faultSkips;
        limit = kNoFault;
    }
    return limit;
}

#ifndef _WIN32
// Creates a new file beside `target` with a name of its own. The kernel
// applies the umask to 0666, as for any new file: the process-wide umask is
// never changed, since other threads may be creating files meanwhile.
int createTemporary(const std::string& target, std::string& tmp) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        tmp = target + "." + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
        const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}
#endif

}  // namespace

std::string FileWriteResult::describe(const std::string& path) const {
    if (error == 0) {
        return {};
    }
    // The system's own words for the error stay beside ours.
    const std::string system = std::strerror(error);
    if (unreadable) {
        return "无法读取已有的文件 " + path + "：" + system + "；该文件保持不变";
    }
    const char* reason = nullptr;
    switch (error) {
        case ENOSPC:
#ifdef EDQUOT
        case EDQUOT:
#endif
            reason = "磁盘已满";
            break;
        case EROFS:
            reason = "文件夹位于只读文件系统";
            break;
        case EACCES:
        case EPERM:
            reason = "文件夹不允许写入";
            break;
        case ENOENT:
        case ENOTDIR:
            reason = "文件夹不存在";
            break;
        default:
            break;
    }
    const std::string why = reason != nullptr ? std::string(reason) + "（" + system + "）" : system;
    return "无法写入 " + path + "：" + why + "；原文件保持不变";
}

#ifdef _WIN32
namespace {

int errnoOf(DWORD error) {
    switch (error) {
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return EACCES;
        case ERROR_WRITE_PROTECT:
            return EROFS;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_FILE_NOT_FOUND:
        case ERROR_INVALID_NAME:
            return ENOENT;
        default:
            return EIO;
    }
}

}  // namespace

// The same steps with the Windows calls: a new temporary file beside the
// target, its data flushed (_commit), then moved over the target in one step
// that is itself written through to the disk.
FileWriteResult writeFileSafely(const std::string& path, std::string_view data) {
    const std::size_t limit = takeFaultLimit();
    if (limit == 0) {
        return {faultError.load()};
    }
    static std::atomic<unsigned> serial{0};
    const std::string tmp = path + "." + std::to_string(GetCurrentProcessId()) + "-" +
                            std::to_string(serial++) + ".tmp";
    const std::wstring wideTmp = widePath(tmp);
    const int fd =
        ::_wopen(wideTmp.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) {
        return {errno};
    }
    int error = writeAll(fd, data, limit);
    if (error == 0 && ::_commit(fd) != 0) {
        error = errno;
    }
    if (::_close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && !MoveFileExW(wideTmp.c_str(), widePath(path).c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = errnoOf(GetLastError());
    }
    if (error != 0) {
        DeleteFileW(wideTmp.c_str());
    }
    return {error};
}
#else
FileWriteResult writeFileSafely(const std::string& path, std::string_view data) {
    const std::string target = resolveTarget(path);
    const std::size_t limit = takeFaultLimit();
    if (limit == 0) {
        return {faultError.load()};
    }
    std::string tmp;
    const int fd = createTemporary(target, tmp);
    if (fd < 0) {
        return {errno};
    }

    // An existing file keeps its mode and, where we may set it, its owner; a
    // new one keeps what open() gave it.
    int error = 0;
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0) {
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
            // Not permitted for ordinary users; the file then belongs to us.
        }
        error = ::fchmod(fd, old.st_mode & 07777) == 0 ? 0 : errno;
    }
    if (error == 0) {
        error = writeAll(fd, data, limit);
    }
    // Flushed before the rename: otherwise a crash of the machine could leave
    // the new name pointing at a file whose data never reached the disk.
    if (error == 0 && ::fsync(fd) != 0) {
        error = errno;
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && ::rename(tmp.c_str(), target.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(tmp.c_str());
    }
    return {error};
}
#endif

void injectWriteFault(std::size_t bytesBefore, int error, std::size_t writesBefore) {
    faultError.store(error);
    faultSkips.store(writesBefore);
    faultAfter.store(bytesBefore);
}

void clearWriteFault() {
    faultSkips.store(0);
    faultAfter.store(kNoFault);
    faultError.store(0);
}

}  // namespace common
