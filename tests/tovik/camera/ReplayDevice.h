#pragma once
// A V4L2 device that replays webcam descriptions (v4l2-ctl listings, see
// tests/data/v4l2): it answers the capture back end's ioctls from them,
// streams plain grey frames, and can be made busy, forbidden or unplugged.
// Like the kernel, its device calls and plugging may come from several threads.

#include <linux/videodev2.h>

#include <cerrno>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "tovik/camera/V4L2Device.h"

namespace tovik::testing {

struct DeviceDescription {
    struct Size {
        std::uint32_t width = 0, height = 0;
        std::vector<v4l2_fract> intervals;
    };
    struct Format {
        std::uint32_t fourcc = 0;
        std::string description;
        std::vector<Size> sizes;
    };
    struct Control {
        std::uint32_t id = 0;
        std::uint32_t type = V4L2_CTRL_TYPE_INTEGER;
        std::string name;
        std::int32_t minimum = 0, maximum = 0, step = 1, defaultValue = 0, value = 0;
        std::uint32_t flags = 0;
        std::map<std::uint32_t, std::string> menu;
    };
    std::string card, busInfo;
    std::vector<Format> formats;
    std::vector<Control> controls;                    // ordered by id
    std::uint32_t width = 0, height = 0, fourcc = 0;  // the current format
};

// A file of tests/data/v4l2; fails the test when it cannot be read.
[[nodiscard]] DeviceDescription loadFixture(const std::string& name);

class ReplayDevice final : public V4L2Device {
public:
    // The node /dev/video<node> appears with this description (fresh state,
    // as a camera just plugged in).
    void plug(int node, DeviceDescription description);
    // The node disappears; open descriptors get ENODEV.
    void unplug(int node);
    // open() of the node fails with this errno (0: it works again).
    void setOpenError(int node, int error) { nodes_[node].openError = error; }
    // Another program streams from the device: format and buffer requests
    // fail with EBUSY.
    void setBusy(int node, bool busy) { nodes_[node].busy = busy; }

    [[nodiscard]] int calls(unsigned long request) const {
        return calls_.contains(request) ? calls_.at(request) : 0;
    }
    [[nodiscard]] std::optional<v4l2_fract> interval(int node) const {
        return nodes_.at(node).interval;
    }
    [[nodiscard]] std::uint32_t streamedFormat(int node) const { return nodes_.at(node).streamed; }
    [[nodiscard]] std::optional<std::int32_t> controlValue(int node, std::uint32_t id) const;
    [[nodiscard]] int openDescriptors() const { return static_cast<int>(fds_.size()); }

    std::vector<std::string> list(const std::string& dir) override;
    int open(const std::string& path) override;
    int ioctl(int fd, unsigned long request, void* arg) override;
    void* mmap(std::size_t length, int fd, std::int64_t offset) override;
    void munmap(void*, std::size_t) override {}
    int poll(int fd, short events, short& revents, int timeoutMs) override;
    void close(int fd) override;

private:
    struct Node {
        DeviceDescription d;
        int generation = 0;  // bumped by each plug, so old descriptors die
        bool present = false;
        bool busy = false;
        int openError = 0;
        std::optional<v4l2_fract> interval = std::nullopt;
        std::uint32_t streamed = 0;
    };
    struct Open {
        int node = 0;
        int generation = 0;
        std::vector<std::vector<uchar>> buffers;
        std::deque<std::uint32_t> queued, done;
        bool streaming = false;
    };
    static int fail(int error) {
        errno = error;
        return -1;
    }
    // The node of an open descriptor, unless it was unplugged since.
    Node* liveNode(const Open& o);
    int handle(Node& n, Open& o, unsigned long request, void* arg);
    void fill(Node& n, std::vector<uchar>& buffer, std::uint32_t& bytesUsed) const;

    mutable std::mutex mutex_;
    std::map<int, Node> nodes_;
    std::map<int, Open> fds_;
    std::map<unsigned long, int> calls_;
    int nextFd_ = 100;
    static constexpr std::uint8_t kLevel = 90;  // the grey of the frames sent
};

}  // namespace tovik::testing
