#include "tovik/camera/V4L2Backend.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>

#include "tovik/camera/V4L2Mapping.h"

namespace tovik {

namespace {

int xioctl(int fd, unsigned long request, void* arg) {
    int r;
    do {
        r = ::ioctl(fd, request, arg);
    } while (r < 0 && errno == EINTR);
    return r;
}

// Buffers the driver fills in turn; the newest is picked by draining them.
constexpr unsigned kBufferCount = 4;

struct Fd {
    int fd;
    explicit Fd(const std::string& path)
        : fd(::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC)) {}
    ~Fd() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
};

// Frame sizes of every convertible format, each with its best format.
std::map<std::pair<int, int>, std::uint32_t> sizeFormats(int fd) {
    std::map<std::pair<int, int>, std::uint32_t> sizes;
    // A range offers only the usual sizes, and the device's present one.
    v4l2_format present{};
    present.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    cv::Size current;
    if (xioctl(fd, VIDIOC_G_FMT, &present) == 0) {
        current = cv::Size(static_cast<int>(present.fmt.pix.width),
                           static_cast<int>(present.fmt.pix.height));
    }
    v4l2_fmtdesc desc{};
    desc.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    for (desc.index = 0; xioctl(fd, VIDIOC_ENUM_FMT, &desc) == 0; ++desc.index) {
        const int rank = v4l2::pixelFormatRank(desc.pixelformat);
        if (rank < 0) {
            continue;
        }
        auto add = [&](cv::Size s) {
            auto [it, inserted] =
                sizes.emplace(std::make_pair(s.width, s.height), desc.pixelformat);
            if (!inserted && v4l2::pixelFormatRank(it->second) > rank) {
                it->second = desc.pixelformat;
            }
        };
        v4l2_frmsizeenum fs{};
        fs.pixel_format = desc.pixelformat;
        for (fs.index = 0; xioctl(fd, VIDIOC_ENUM_FRAMESIZES, &fs) == 0; ++fs.index) {
            if (fs.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
                add({static_cast<int>(fs.discrete.width), static_cast<int>(fs.discrete.height)});
            } else {
                for (const cv::Size& s : v4l2::stepwiseSizes(fs.stepwise, current)) {
                    add(s);
                }
                break;  // a range is reported once
            }
        }
    }
    return sizes;
}

}  // namespace

V4L2Backend::V4L2Backend(std::string devDir) : devDir_(std::move(devDir)) {}

V4L2Backend::~V4L2Backend() {
    close();
}

std::vector<std::string> V4L2Backend::captureNodes() const {
    std::vector<std::pair<int, std::string>> nodes;
    if (DIR* dir = ::opendir(devDir_.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            if (const auto n = v4l2::videoNodeNumber(entry->d_name)) {
                nodes.emplace_back(*n, devDir_ + "/" + entry->d_name);
            }
        }
        ::closedir(dir);
    }
    std::sort(nodes.begin(), nodes.end());
    std::vector<std::string> paths;
    for (const auto& [number, path] : nodes) {
        Fd f(path);
        v4l2_capability caps{};
        if (f.fd >= 0 && xioctl(f.fd, VIDIOC_QUERYCAP, &caps) == 0 &&
            v4l2::isVideoCaptureNode(caps)) {
            paths.push_back(path);
        }
    }
    return paths;
}

std::vector<DeviceInfo> V4L2Backend::enumerate() {
    std::vector<DeviceInfo> devices;
    for (const std::string& path : captureNodes()) {
        Fd f(path);
        v4l2_capability caps{};
        if (f.fd < 0 || xioctl(f.fd, VIDIOC_QUERYCAP, &caps) != 0) {
            continue;
        }
        DeviceInfo info;
        info.name = reinterpret_cast<const char*>(caps.card);
        std::vector<cv::Size> sizes;
        for (const auto& [wh, format] : sizeFormats(f.fd)) {
            sizes.emplace_back(wh.first, wh.second);
        }
        std::sort(sizes.begin(), sizes.end(), [](cv::Size a, cv::Size b) {
            return a.area() != b.area() ? a.area() > b.area() : a.width > b.width;
        });
        // The current format leads the list: the format page starts there.
        v4l2_format fmt{};
        fmt.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (xioctl(f.fd, VIDIOC_G_FMT, &fmt) == 0) {
            const cv::Size current(static_cast<int>(fmt.fmt.pix.width),
                                   static_cast<int>(fmt.fmt.pix.height));
            const auto it = std::find(sizes.begin(), sizes.end(), current);
            if (it != sizes.end()) {
                std::rotate(sizes.begin(), it, it + 1);
            }
        }
        info.frameSizes = std::move(sizes);
        devices.push_back(std::move(info));
    }
    return devices;
}

bool V4L2Backend::open(int index, cv::Size size) {
    close();
    const std::vector<std::string> nodes = captureNodes();
    if (index < 0 || index >= static_cast<int>(nodes.size())) {
        return false;
    }
    fd_ = ::open(nodes[static_cast<size_t>(index)].c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        return false;
    }
    const auto formats = sizeFormats(fd_);
    const auto it = formats.find({size.width, size.height});
    if (it == formats.end()) {
        close();
        return false;
    }
    v4l2_format fmt{};
    fmt.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    fmt.fmt.pix.width = static_cast<std::uint32_t>(size.width);
    fmt.fmt.pix.height = static_cast<std::uint32_t>(size.height);
    fmt.fmt.pix.pixelformat = it->second;
    fmt.fmt.pix.field = V4L2_FIELD_NONE;
    // The driver may adjust the request; anything but the exact size fails.
    if (xioctl(fd_, VIDIOC_S_FMT, &fmt) != 0 ||
        fmt.fmt.pix.width != static_cast<std::uint32_t>(size.width) ||
        fmt.fmt.pix.height != static_cast<std::uint32_t>(size.height) ||
        v4l2::pixelFormatRank(fmt.fmt.pix.pixelformat) < 0) {
        close();
        return false;
    }
    pixelFormat_ = fmt.fmt.pix.pixelformat;
    bytesPerLine_ = fmt.fmt.pix.bytesperline;

    v4l2_requestbuffers request{};
    request.count = kBufferCount;
    request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request.memory = V4L2_MEMORY_MMAP;
    if (xioctl(fd_, VIDIOC_REQBUFS, &request) != 0 || request.count < 1) {
        close();
        return false;
    }
    for (unsigned i = 0; i < request.count; ++i) {
        v4l2_buffer b{};
        b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        b.memory = V4L2_MEMORY_MMAP;
        b.index = i;
        if (xioctl(fd_, VIDIOC_QUERYBUF, &b) != 0) {
            close();
            return false;
        }
        void* p = ::mmap(nullptr, b.length, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, b.m.offset);
        if (p == MAP_FAILED) {
            close();
            return false;
        }
        buffers_.push_back({p, b.length});
        if (xioctl(fd_, VIDIOC_QBUF, &b) != 0) {
            close();
            return false;
        }
    }
    v4l2_buf_type type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (xioctl(fd_, VIDIOC_STREAMON, &type) != 0) {
        close();
        return false;
    }
    size_ = size;
    return true;
}

void V4L2Backend::close() {
    if (fd_ >= 0) {
        v4l2_buf_type type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        xioctl(fd_, VIDIOC_STREAMOFF, &type);
    }
    for (const Buffer& b : buffers_) {
        ::munmap(b.start, b.length);
    }
    buffers_.clear();
    if (fd_ >= 0) {
        ::close(fd_);
    }
    fd_ = -1;
    size_ = {};
    pixelFormat_ = 0;
    bytesPerLine_ = 0;
}

bool V4L2Backend::grab(cv::Mat& frame, std::chrono::milliseconds timeout) {
    if (fd_ < 0) {
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::optional<v4l2_buffer> newest;
    unsigned drained = 0;
    while (true) {
        v4l2_buffer b{};
        b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        b.memory = V4L2_MEMORY_MMAP;
        if (xioctl(fd_, VIDIOC_DQBUF, &b) == 0) {
            ++drained;
            if (newest) {
                xioctl(fd_, VIDIOC_QBUF, &*newest);
            }
            newest = b;
            continue;
        }
        if (errno != EAGAIN) {
            break;  // the device went away
        }
        // When every buffer was full the driver may have been dropping frames
        // for a while: what we hold is old, so wait for the next one.
        if (newest && drained < buffers_.size()) {
            break;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        pollfd p{fd_, POLLIN, 0};
        const int r = ::poll(&p, 1, static_cast<int>(left.count()));
        if (r < 0 && errno != EINTR) {
            break;
        }
        if (r > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            break;
        }
        drained = 0;
    }
    if (!newest) {
        return false;
    }
    const bool ok = newest->index < buffers_.size() && (newest->flags & V4L2_BUF_FLAG_ERROR) == 0 &&
                    convert(buffers_[newest->index], newest->bytesused, frame);
    xioctl(fd_, VIDIOC_QBUF, &*newest);
    return ok;
}

bool V4L2Backend::convert(const Buffer& buffer, size_t bytesUsed, cv::Mat& frame) const {
    return v4l2::convertFrame(pixelFormat_, size_, bytesPerLine_,
                              static_cast<const uchar*>(buffer.start), buffer.length, bytesUsed,
                              frame);
}

bool V4L2Backend::hasControl(std::uint32_t id) const {
    v4l2_queryctrl q{};
    q.id = id;
    return fd_ >= 0 && xioctl(fd_, VIDIOC_QUERYCTRL, &q) == 0 &&
           (q.flags & V4L2_CTRL_FLAG_DISABLED) == 0;
}

bool V4L2Backend::hasExposureControl() {
    return hasControl(V4L2_CID_EXPOSURE_AUTO) || hasControl(V4L2_CID_EXPOSURE_ABSOLUTE);
}

bool V4L2Backend::setExposure(int log2Seconds, bool automatic) {
    if (fd_ < 0) {
        return false;
    }
    v4l2_control mode{V4L2_CID_EXPOSURE_AUTO, 0};
    if (automatic) {
        mode.value = V4L2_EXPOSURE_APERTURE_PRIORITY;
        if (xioctl(fd_, VIDIOC_S_CTRL, &mode) == 0) {
            return true;
        }
        // Some drivers offer only full automatic next to manual.
        mode.value = V4L2_EXPOSURE_AUTO;
        return xioctl(fd_, VIDIOC_S_CTRL, &mode) == 0;
    }
    mode.value = V4L2_EXPOSURE_MANUAL;
    if (hasControl(V4L2_CID_EXPOSURE_AUTO) && xioctl(fd_, VIDIOC_S_CTRL, &mode) != 0) {
        return false;
    }
    v4l2_queryctrl q{};
    q.id = V4L2_CID_EXPOSURE_ABSOLUTE;
    if (xioctl(fd_, VIDIOC_QUERYCTRL, &q) != 0) {
        return false;
    }
    v4l2_control time{V4L2_CID_EXPOSURE_ABSOLUTE,
                      v4l2::exposureUnits(log2Seconds, q.minimum, q.maximum)};
    return xioctl(fd_, VIDIOC_S_CTRL, &time) == 0;
}

bool V4L2Backend::hasImageControls() {
    for (int i = 0; i <= static_cast<int>(ImageControl::Gain); ++i) {
        if (hasControl(v4l2::controlId(static_cast<ImageControl>(i)))) {
            return true;
        }
    }
    return false;
}

bool V4L2Backend::setImageControl(ImageControl control, int value) {
    return setControl(v4l2::controlId(control), value);
}

std::optional<int> V4L2Backend::getImageControl(ImageControl control) {
    v4l2_control c{v4l2::controlId(control), 0};
    if (fd_ < 0 || xioctl(fd_, VIDIOC_G_CTRL, &c) != 0) {
        return std::nullopt;
    }
    return c.value;
}

std::vector<ControlInfo> V4L2Backend::controls() {
    std::vector<ControlInfo> list;
    if (fd_ < 0) {
        return list;
    }
    v4l2_queryctrl q{};
    q.id = V4L2_CTRL_FLAG_NEXT_CTRL;
    while (xioctl(fd_, VIDIOC_QUERYCTRL, &q) == 0) {
        bool supported = false;
        const ControlInfo::Type type = v4l2::controlType(q.type, supported);
        if (supported && (q.flags & V4L2_CTRL_FLAG_DISABLED) == 0) {
            ControlInfo c;
            c.id = q.id;
            c.name = std::string(reinterpret_cast<const char*>(q.name),
                                 strnlen(reinterpret_cast<const char*>(q.name), sizeof q.name));
            c.type = type;
            c.minimum = q.minimum;
            c.maximum = q.maximum;
            c.step = q.step;
            c.defaultValue = q.default_value;
            v4l2_control value{q.id, 0};
            if ((q.flags & V4L2_CTRL_FLAG_WRITE_ONLY) == 0 && type != ControlInfo::Type::Button &&
                xioctl(fd_, VIDIOC_G_CTRL, &value) == 0) {
                c.value = value.value;
            }
            if (type == ControlInfo::Type::Menu) {
                for (int i = q.minimum; i <= q.maximum; ++i) {
                    v4l2_querymenu m{};
                    m.id = q.id;
                    m.index = static_cast<std::uint32_t>(i);
                    if (xioctl(fd_, VIDIOC_QUERYMENU, &m) != 0) {
                        continue;  // gaps in a menu are allowed
                    }
                    if (q.type == V4L2_CTRL_TYPE_INTEGER_MENU) {
                        c.menuItems.emplace_back(i, std::to_string(m.value));
                    } else {
                        c.menuItems.emplace_back(
                            i, std::string(
                                   reinterpret_cast<const char*>(m.name),
                                   strnlen(reinterpret_cast<const char*>(m.name), sizeof m.name)));
                    }
                }
            }
            list.push_back(std::move(c));
        }
        q.id |= V4L2_CTRL_FLAG_NEXT_CTRL;
    }
    return list;
}

bool V4L2Backend::setControl(unsigned id, int value) {
    v4l2_control c{id, value};
    return fd_ >= 0 && xioctl(fd_, VIDIOC_S_CTRL, &c) == 0;
}

}  // namespace tovik
