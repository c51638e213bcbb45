#include "tovik/camera/V4L2Device.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace tovik {

namespace {

class SystemV4L2Device final : public V4L2Device {
public:
    std::vector<std::string> list(const std::string& dir) override {
        std::vector<std::string> names;
        if (DIR* d = ::opendir(dir.c_str())) {
            while (const dirent* entry = ::readdir(d)) {
                names.emplace_back(entry->d_name);
            }
            ::closedir(d);
        }
        return names;
    }
    int open(const std::string& path) override {
        return ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    }
    int ioctl(int fd, unsigned long request, void* arg) override {
        return ::ioctl(fd, request, arg);
    }
    void* mmap(std::size_t length, int fd, std::int64_t offset) override {
        return ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd,
                      static_cast<off_t>(offset));
    }
    void munmap(void* start, std::size_t length) override { ::munmap(start, length); }
    int poll(int fd, short events, short& revents, int timeoutMs) override {
        pollfd p{fd, events, 0};
        const int r = ::poll(&p, 1, timeoutMs);
        revents = p.revents;
        return r;
    }
    void close(int fd) override { ::close(fd); }
};

}  // namespace

std::unique_ptr<V4L2Device> makeSystemV4L2Device() {
    return std::make_unique<SystemV4L2Device>();
}

}  // namespace tovik
