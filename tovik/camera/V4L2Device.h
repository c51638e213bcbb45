#pragma once
// The kernel calls the V4L2 back end makes, behind one interface, so that the
// back end can run against replayed device descriptions. Each call returns
// what its system call returns and leaves the reason in errno.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tovik {

class V4L2Device {
public:
    virtual ~V4L2Device() = default;
    // File names in `dir` (every entry; the back end picks the video nodes).
    [[nodiscard]] virtual std::vector<std::string> list(const std::string& dir) = 0;
    // A descriptor, or -1 with errno set (EACCES, EBUSY, ENOENT...).
    virtual int open(const std::string& path) = 0;
    virtual int ioctl(int fd, unsigned long request, void* arg) = 0;
    // MAP_FAILED on failure.
    virtual void* mmap(std::size_t length, int fd, std::int64_t offset) = 0;
    virtual void munmap(void* start, std::size_t length) = 0;
    // One descriptor: > 0 with `revents` set, 0 on time-out, -1 with errno.
    virtual int poll(int fd, short events, short& revents, int timeoutMs) = 0;
    virtual void close(int fd) = 0;
};

// The real system calls.
[[nodiscard]] std::unique_ptr<V4L2Device> makeSystemV4L2Device();

}  // namespace tovik
