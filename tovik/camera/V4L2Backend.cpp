#include "tovik/camera/V4L2Backend.h"

#include <poll.h>
#include <sys/mman.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>

#include "tovik/camera/V4L2Mapping.h"

namespace tovik {

namespace {

// Buffers the driver fills in turn; the newest is picked by draining them.
constexpr unsigned kBufferCount = 4;
// Bounds on the enumeration loops: a driver that never says "no more" (or
// reports a menu range of two billion entries) must not hang the program.
constexpr std::uint32_t kMaxFormats = 64;
constexpr std::uint32_t kMaxSizes = 256;
constexpr std::uint32_t kMaxIntervals = 64;
constexpr int kMaxControls = 1024;
constexpr std::int64_t kMaxMenuIndexes = 256;

std::string fixedString(const unsigned char* text, size_t size) {
    const char* p = reinterpret_cast<const char*>(text);
    return std::string(p, strnlen(p, size));
}

// What the device gives at one frame size: the format to ask for and the
// shortest frame interval it offers in that format.
struct SizeChoice {
    std::uint32_t fourcc = 0;
    v4l2_fract interval{0, 0};
    [[nodiscard]] double fps() const {
        return interval.numerator == 0 ? 0.0
                                       : static_cast<double>(interval.denominator) /
                                             static_cast<double>(interval.numerator);
    }
};

using SizeMap = std::map<std::pair<int, int>, SizeChoice>;

}  // namespace

V4L2Backend::V4L2Backend(std::string devDir, std::unique_ptr<V4L2Device> device)
    : devDir_(std::move(devDir)), dev_(device ? std::move(device) : makeSystemV4L2Device()) {}

V4L2Backend::~V4L2Backend() {
    close();
}

int V4L2Backend::xioctl(int fd, unsigned long request, void* arg) const {
    // One call with its retries.
    return ListingCalls{dev_.get(), kMaxIoctlRetries}(fd, request, arg);
}

int V4L2Backend::ListingCalls::operator()(int fd, unsigned long request, void* arg) {
    int r = -1;
    for (int attempt = 0; attempt < kMaxIoctlRetries; ++attempt) {
        if (left <= 0) {
            errno = EINVAL;  // ends every listing loop like "no more entries"
            return -1;
        }
        --left;
        r = dev->ioctl(fd, request, arg);
        if (r == 0 || errno != EINTR) {
            break;
        }
    }
    return r;
}

namespace {

// Every size of every convertible format, each with the format that gives the
// highest frame rate there (the better-ranked format on a tie).
template <typename Ioctl>
SizeMap sizeFormats(int fd, Ioctl& xioctl) {
    SizeMap sizes;
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
    for (desc.index = 0; desc.index < kMaxFormats && xioctl(fd, VIDIOC_ENUM_FMT, &desc) == 0;
         ++desc.index) {
        const int rank = v4l2::pixelFormatRank(desc.pixelformat);
        if (rank < 0) {
            continue;
        }
        auto add = [&](cv::Size s) {
            // Nothing we could allocate or track: a broken answer.
            if (s.width <= 0 || s.height <= 0 || s.width > V4L2Backend::kMaxFrameSide ||
                s.height > V4L2Backend::kMaxFrameSide) {
                return;
            }
            SizeChoice c;
            c.fourcc = desc.pixelformat;
            v4l2_frmivalenum fi{};
            fi.pixel_format = desc.pixelformat;
            fi.width = static_cast<std::uint32_t>(s.width);
            fi.height = static_cast<std::uint32_t>(s.height);
            for (fi.index = 0;
                 fi.index < kMaxIntervals && xioctl(fd, VIDIOC_ENUM_FRAMEINTERVALS, &fi) == 0;
                 ++fi.index) {
                const v4l2_fract f =
                    fi.type == V4L2_FRMIVAL_TYPE_DISCRETE ? fi.discrete : fi.stepwise.min;
                if (f.numerator == 0 || f.denominator == 0) {
                    continue;
                }
                SizeChoice candidate = c;
                candidate.interval = f;
                // Faster than any camera: a broken answer, not a frame rate.
                if (candidate.fps() > c.fps() && candidate.fps() <= V4L2Backend::kMaxFrameRate) {
                    c.interval = f;
                }
                if (fi.type != V4L2_FRMIVAL_TYPE_DISCRETE) {
                    break;  // a range is reported once
                }
            }
            auto [it, inserted] = sizes.emplace(std::make_pair(s.width, s.height), c);
            if (inserted) {
                return;
            }
            const double now = it->second.fps(), offered = c.fps();
            if (offered > now + 1e-6 ||
                (offered > now - 1e-6 && v4l2::pixelFormatRank(it->second.fourcc) > rank)) {
                it->second = c;
            }
        };
        v4l2_frmsizeenum fs{};
        fs.pixel_format = desc.pixelformat;
        for (fs.index = 0; fs.index < kMaxSizes && xioctl(fd, VIDIOC_ENUM_FRAMESIZES, &fs) == 0;
             ++fs.index) {
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

std::string openProblem(const std::string& path, int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return "permission denied for " + path +
                   ": add your user to the 'video' group (sudo usermod -aG video $USER) and log "
                   "in again";
        case EBUSY:
            return path + " is busy: another program is using the camera; close it and try again";
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return path + " is gone (unplugged?)";
        default:
            return "cannot open " + path + ": " + std::strerror(error);
    }
}

}  // namespace

std::vector<V4L2Backend::Node> V4L2Backend::captureNodes() const {
    std::vector<std::pair<int, std::string>> numbered;
    for (const std::string& name : dev_->list(devDir_)) {
        if (const auto n = v4l2::videoNodeNumber(name)) {
            numbered.emplace_back(*n, devDir_ + "/" + name);
        }
    }
    std::sort(numbered.begin(), numbered.end());
    std::vector<Node> nodes;
    for (const auto& [number, path] : numbered) {
        const int fd = dev_->open(path);
        if (fd < 0) {
            // Listed all the same, so the user learns why the camera is unusable.
            if (errno == EACCES || errno == EPERM || errno == EBUSY) {
                nodes.push_back({path, path, {}, errno});
            }
            continue;
        }
        v4l2_capability caps{};
        if (xioctl(fd, VIDIOC_QUERYCAP, &caps) == 0 && v4l2::isVideoCaptureNode(caps)) {
            nodes.push_back({path, fixedString(caps.card, sizeof caps.card),
                             fixedString(caps.bus_info, sizeof caps.bus_info), 0});
        }
        dev_->close(fd);
    }
    return nodes;
}

std::vector<DeviceInfo> V4L2Backend::enumerate() {
    const std::lock_guard lock(mutex_);
    std::vector<DeviceInfo> devices;
    for (const Node& node : captureNodes()) {
        DeviceInfo info;
        info.name = node.card;
        if (node.openError != 0) {
            info.problem = openProblem(node.path, node.openError);
            devices.push_back(std::move(info));
            continue;
        }
        const int fd = dev_->open(node.path);
        if (fd < 0) {
            continue;  // gone between the two looks
        }
        ListingCalls calls{dev_.get()};
        const SizeMap formats = sizeFormats(fd, calls);
        std::vector<std::pair<cv::Size, double>> sizes;
        for (const auto& [wh, choice] : formats) {
            sizes.emplace_back(cv::Size(wh.first, wh.second), choice.fps());
        }
        std::sort(sizes.begin(), sizes.end(), [](const auto& a, const auto& b) {
            return a.first.area() != b.first.area() ? a.first.area() > b.first.area()
                                                    : a.first.width > b.first.width;
        });
        // The current format leads the list: the format page starts there.
        v4l2_format fmt{};
        fmt.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (xioctl(fd, VIDIOC_G_FMT, &fmt) == 0) {
            const cv::Size current(static_cast<int>(fmt.fmt.pix.width),
                                   static_cast<int>(fmt.fmt.pix.height));
            const auto it = std::find_if(sizes.begin(), sizes.end(),
                                         [&](const auto& s) { return s.first == current; });
            if (it != sizes.end()) {
                std::rotate(sizes.begin(), it, it + 1);
            }
        }
        dev_->close(fd);
        for (const auto& [size, fps] : sizes) {
            info.frameSizes.push_back(size);
            info.frameRates.push_back(fps);
        }
        devices.push_back(std::move(info));
    }
    return devices;
}

bool V4L2Backend::open(int index, cv::Size size) {
    close();
    const std::lock_guard lock(mutex_);
    lastError_.clear();
    const std::vector<Node> nodes = captureNodes();
    if (index < 0 || index >= static_cast<int>(nodes.size())) {
        lastError_ = "no camera number " + std::to_string(index);
        return false;
    }
    const Node& node = nodes[static_cast<size_t>(index)];
    if (!openNode(node, size)) {
        return false;
    }
    card_ = node.card;
    busInfo_ = node.busInfo;
    return true;
}

bool V4L2Backend::openNode(const Node& node, cv::Size size) {
    const std::string& path = node.path;
    auto fail = [&](std::string why) {
        lastError_ = std::move(why);
        releaseStream();
        return false;
    };
    // An ioctl refused because another program streams from the device.
    auto ioctlFailure = [&](const char* what) {
        const int e = errno;
        if (e == EBUSY) {
            return fail(node.card + " (" + path +
                        ") is busy: another program is using the camera; close it and try "
                        "again");
        }
        if (e == ENODEV) {
            return fail(node.card + " (" + path + ") was unplugged");
        }
        return fail(node.card + " (" + path + "): " + what + " failed: " + std::strerror(e));
    };
    fd_ = dev_->open(path);
    if (fd_ < 0) {
        return fail(openProblem(path, errno));
    }
    ++streams_;
    ListingCalls calls{dev_.get()};
    const SizeMap formats = sizeFormats(fd_, calls);
    const auto it = formats.find({size.width, size.height});
    if (it == formats.end()) {
        return fail(node.card + " does not deliver " + std::to_string(size.width) + "x" +
                    std::to_string(size.height));
    }
    v4l2_format fmt{};
    fmt.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    fmt.fmt.pix.width = static_cast<std::uint32_t>(size.width);
    fmt.fmt.pix.height = static_cast<std::uint32_t>(size.height);
    fmt.fmt.pix.pixelformat = it->second.fourcc;
    fmt.fmt.pix.field = V4L2_FIELD_NONE;
    if (xioctl(fd_, VIDIOC_S_FMT, &fmt) != 0) {
        return ioctlFailure("setting the format");
    }
    // The driver may adjust the request; anything but the exact size fails.
    if (fmt.fmt.pix.width != static_cast<std::uint32_t>(size.width) ||
        fmt.fmt.pix.height != static_cast<std::uint32_t>(size.height) ||
        v4l2::pixelFormatRank(fmt.fmt.pix.pixelformat) < 0) {
        return fail(node.card + " does not deliver " + std::to_string(size.width) + "x" +
                    std::to_string(size.height));
    }
    pixelFormat_ = fmt.fmt.pix.pixelformat;
    bytesPerLine_ = fmt.fmt.pix.bytesperline;

    // The highest frame rate at this size: less delay from pen to pointer.
    fps_ = 0;
    if (it->second.interval.numerator != 0) {
        v4l2_streamparm parm{};
        parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        parm.parm.capture.timeperframe = it->second.interval;
        if (xioctl(fd_, VIDIOC_S_PARM, &parm) == 0 &&
            parm.parm.capture.timeperframe.numerator != 0) {
            fps_ = static_cast<double>(parm.parm.capture.timeperframe.denominator) /
                   parm.parm.capture.timeperframe.numerator;
        }
    }

    v4l2_requestbuffers request{};
    request.count = kBufferCount;
    request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request.memory = V4L2_MEMORY_MMAP;
    if (xioctl(fd_, VIDIOC_REQBUFS, &request) != 0) {
        return ioctlFailure("requesting buffers");
    }
    if (request.count < 1) {
        return fail(node.card + " (" + path + ") gave no capture buffers");
    }
    for (unsigned i = 0; i < request.count && i < 32; ++i) {
        v4l2_buffer b{};
        b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        b.memory = V4L2_MEMORY_MMAP;
        b.index = i;
        if (xioctl(fd_, VIDIOC_QUERYBUF, &b) != 0) {
            return ioctlFailure("querying a buffer");
        }
        void* p = dev_->mmap(b.length, fd_, b.m.offset);
        if (p == MAP_FAILED) {
            return ioctlFailure("mapping a buffer");
        }
        buffers_.push_back({p, b.length});
        if (xioctl(fd_, VIDIOC_QBUF, &b) != 0) {
            return ioctlFailure("queueing a buffer");
        }
    }
    v4l2_buf_type type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (xioctl(fd_, VIDIOC_STREAMON, &type) != 0) {
        return ioctlFailure("starting the stream");
    }
    size_ = size;
    return true;
}

void V4L2Backend::releaseStream() {
    if (fd_ >= 0) {
        v4l2_buf_type type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        xioctl(fd_, VIDIOC_STREAMOFF, &type);
    }
    for (const Buffer& b : buffers_) {
        dev_->munmap(b.start, b.length);
    }
    buffers_.clear();
    if (fd_ >= 0) {
        dev_->close(fd_);
    }
    fd_ = -1;
}

bool V4L2Backend::isOpen() const {
    const std::lock_guard lock(mutex_);
    return fd_ >= 0 || lost_.load();
}

cv::Size V4L2Backend::frameSize() const {
    const std::lock_guard lock(mutex_);
    return size_;
}

double V4L2Backend::frameRate() const {
    const std::lock_guard lock(mutex_);
    return fps_;
}

std::string V4L2Backend::lastError() const {
    const std::lock_guard lock(mutex_);
    return lastError_;
}

void V4L2Backend::close() {
    const std::lock_guard lock(mutex_);
    releaseStream();
    lost_.store(false);
    size_ = {};
    fps_ = 0;
    pixelFormat_ = 0;
    bytesPerLine_ = 0;
    card_.clear();
    busInfo_.clear();
    applied_.clear();
}

void V4L2Backend::markLost() {
    releaseStream();
    lost_.store(true);
    nextReconnect_ = std::chrono::steady_clock::now();
}

bool V4L2Backend::reconnect() {
    const auto now = std::chrono::steady_clock::now();
    if (now < nextReconnect_) {
        return false;
    }
    nextReconnect_ = now + kReconnectPeriod;
    // The same device: same name on the same port first, else the same name.
    const std::vector<Node> nodes = captureNodes();
    std::vector<const Node*> candidates;
    for (const Node& n : nodes) {
        if (n.openError == 0 && n.card == card_ && n.busInfo == busInfo_) {
            candidates.push_back(&n);
        }
    }
    for (const Node& n : nodes) {
        if (n.openError == 0 && n.card == card_ && n.busInfo != busInfo_) {
            candidates.push_back(&n);
        }
    }
    const std::string keep = lastError_;
    for (const Node* n : candidates) {
        if (openNode(*n, size_)) {
            busInfo_ = n->busInfo;
            lost_.store(false);
            lastError_ = keep;
            for (const auto& [id, value] : applied_) {
                v4l2_control c{id, value};
                xioctl(fd_, VIDIOC_S_CTRL, &c);
            }
            return true;
        }
    }
    lastError_ = keep;
    return false;
}

bool V4L2Backend::grab(cv::Mat& frame, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    if (lost_.load() && !reconnect()) {
        return false;  // at once: the callers poll again on their own schedule
    }
    if (fd_ < 0) {
        return false;
    }
    const std::uint64_t stream = streams_;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::optional<v4l2_buffer> newest;
    unsigned drained = 0;
    // Asks the device whether it is still there after a failed wait.
    auto checkGone = [this] {
        v4l2_capability caps{};
        if (xioctl(fd_, VIDIOC_QUERYCAP, &caps) != 0 && errno == ENODEV) {
            markLost();
            return true;
        }
        return false;
    };
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
        if (errno == ENODEV) {
            markLost();
            return false;
        }
        if (errno != EAGAIN) {
            if (checkGone()) {
                return false;
            }
            break;
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
        // The wait runs unlocked, so that controls can be set meanwhile. A
        // stream closed or replaced during it ends this grab: its buffers
        // are gone, and the next grab uses the new stream.
        short revents = 0;
        const int fd = fd_;
        lock.unlock();
        const int r = dev_->poll(fd, POLLIN, revents, static_cast<int>(left.count()));
        const int pollError = errno;
        lock.lock();
        if (streams_ != stream || fd_ != fd) {
            return false;
        }
        errno = pollError;
        if (r < 0 && errno != EINTR) {
            break;
        }
        if (r > 0 && (revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            if (checkGone()) {
                return false;
            }
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
    const std::lock_guard lock(mutex_);
    return hasControl(V4L2_CID_EXPOSURE_AUTO) || hasControl(V4L2_CID_EXPOSURE_ABSOLUTE);
}

bool V4L2Backend::setExposure(int log2Seconds, bool automatic) {
    const std::lock_guard lock(mutex_);
    if (fd_ < 0) {
        return false;
    }
    if (automatic) {
        if (setControlLocked(V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_APERTURE_PRIORITY)) {
            return true;
        }
        // Some drivers offer only full automatic next to manual.
        return setControlLocked(V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_AUTO);
    }
    if (hasControl(V4L2_CID_EXPOSURE_AUTO) &&
        !setControlLocked(V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL)) {
        return false;
    }
    v4l2_queryctrl q{};
    q.id = V4L2_CID_EXPOSURE_ABSOLUTE;
    if (xioctl(fd_, VIDIOC_QUERYCTRL, &q) != 0) {
        return false;
    }
    return setControlLocked(V4L2_CID_EXPOSURE_ABSOLUTE,
                            v4l2::exposureUnits(log2Seconds, q.minimum, q.maximum));
}

bool V4L2Backend::hasImageControls() {
    const std::lock_guard lock(mutex_);
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
    const std::lock_guard lock(mutex_);
    v4l2_control c{v4l2::controlId(control), 0};
    if (fd_ < 0 || xioctl(fd_, VIDIOC_G_CTRL, &c) != 0) {
        return std::nullopt;
    }
    return c.value;
}

std::vector<ControlInfo> V4L2Backend::controls() {
    const std::lock_guard lock(mutex_);
    std::vector<ControlInfo> list;
    if (fd_ < 0) {
        return list;
    }
    v4l2_queryctrl q{};
    q.id = V4L2_CTRL_FLAG_NEXT_CTRL;
    std::uint32_t previous = 0;
    ListingCalls xioctl{dev_.get()};
    for (int n = 0; n < kMaxControls && xioctl(fd_, VIDIOC_QUERYCTRL, &q) == 0;
         ++n, q.id |= V4L2_CTRL_FLAG_NEXT_CTRL) {
        if (q.id <= previous) {
            break;  // a driver that does not advance would loop for ever
        }
        previous = q.id;
        bool supported = false;
        const ControlInfo::Type type = v4l2::controlType(q.type, supported);
        // A range upside down cannot be offered (a broken driver).
        if (supported && (q.flags & V4L2_CTRL_FLAG_DISABLED) == 0 && q.minimum <= q.maximum) {
            ControlInfo c;
            c.id = q.id;
            c.name = fixedString(q.name, sizeof q.name);
            c.type = type;
            c.minimum = q.minimum;
            c.maximum = q.maximum;
            c.step = std::max(q.step, 1);
            c.defaultValue = std::clamp(q.default_value, q.minimum, q.maximum);
            v4l2_control value{q.id, 0};
            if ((q.flags & V4L2_CTRL_FLAG_WRITE_ONLY) == 0 && type != ControlInfo::Type::Button &&
                xioctl(fd_, VIDIOC_G_CTRL, &value) == 0) {
                c.value = value.value;
            }
            if (type == ControlInfo::Type::Menu) {
                // Menus are short; the indexes asked are bounded whatever
                // range the driver claims.
                const std::int64_t first = std::max(q.minimum, 0);
                const std::int64_t last =
                    std::min<std::int64_t>(q.maximum, first + kMaxMenuIndexes - 1);
                for (std::int64_t i = first; i <= last; ++i) {
                    v4l2_querymenu m{};
                    m.id = q.id;
                    m.index = static_cast<std::uint32_t>(i);
                    if (xioctl(fd_, VIDIOC_QUERYMENU, &m) != 0) {
                        continue;  // gaps in a menu are allowed
                    }
                    c.menuItems.emplace_back(static_cast<int>(i),
                                             q.type == V4L2_CTRL_TYPE_INTEGER_MENU
                                                 ? std::to_string(m.value)
                                                 : fixedString(m.name, sizeof m.name));
                }
                if (c.menuItems.empty()) {
                    continue;  // nothing to choose from
                }
            }
            list.push_back(std::move(c));
        }
    }
    return list;
}

bool V4L2Backend::setControl(unsigned id, int value) {
    const std::lock_guard lock(mutex_);
    return setControlLocked(id, value);
}

bool V4L2Backend::setControlLocked(unsigned id, int value) {
    v4l2_control c{id, value};
    if (fd_ < 0 || xioctl(fd_, VIDIOC_S_CTRL, &c) != 0) {
        return false;
    }
    const auto it = std::find_if(applied_.begin(), applied_.end(),
                                 [id](const auto& a) { return a.first == id; });
    if (it != applied_.end()) {
        applied_.erase(it);
    }
    applied_.emplace_back(id, value);
    return true;
}

}  // namespace tovik
