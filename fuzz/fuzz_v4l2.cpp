// The V4L2 back end's device listing, opening and control listing fed a
// device whose every answer comes from the input: which nodes exist, whether
// they open, capabilities, formats, frame sizes (discrete and ranges), frame
// intervals, the present format, controls and menus, errors (EINTR
// included). When the input runs out it starts again from its beginning, so
// a driver that never says "no more" costs a few bytes.
// Properties:
// - each listing ends within the back end's bound on kernel calls;
// - every listed size is positive and within kMaxFrameSide, every listed
//   frame rate finite and within (0, kMaxFrameRate] (0: unknown);
// - the format set on opening is one the device offered at that size in the
//   same session, and convertible;
// - every listed control has minimum <= maximum, a step of at least 1, a
//   default inside the range, and menu entries inside the range.
//
// Encoding: every answer starts with a status byte (bit 7 set: the call
// fails with an errno picked by the low bits), followed by the answer's
// fields as little-endian 32-bit values in the order read below.

#include <linux/videodev2.h>
#include <sys/mman.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "tovik/camera/V4L2Backend.h"
#include "tovik/camera/V4L2Mapping.h"

namespace {

using tovik::V4L2Backend;

// The answers, read in turn and from the start again at the end.
class Answers {
public:
    Answers(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t byte() {
        if (size_ == 0) {
            return 0x80;  // nothing to say: every call fails
        }
        const std::uint8_t b = data_[pos_];
        pos_ = (pos_ + 1) % size_;
        return b;
    }
    std::uint32_t u32() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            v |= std::uint32_t{byte()} << (8 * i);
        }
        return v;
    }
    // -1 with errno set when the status byte says the call fails.
    int status(const int* errors, int count) {
        const std::uint8_t s = byte();
        if ((s & 0x80) == 0) {
            return 0;
        }
        errno = errors[(s & 0x7F) % count];
        return -1;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

constexpr int kIoctlErrors[] = {EINVAL, EINVAL, EINTR, EIO, EBUSY, ENODEV, ENOTTY, EAGAIN};
constexpr int kOpenErrors[] = {ENOENT, EACCES, EBUSY, EPERM, ENODEV, EIO};

// Sizes one open session's listing offered, per format.
struct Offered {
    std::map<std::uint32_t, std::set<std::pair<std::uint32_t, std::uint32_t>>> discrete;
    std::map<std::uint32_t, std::vector<v4l2_frmsize_stepwise>> ranges;
    [[nodiscard]] bool has(std::uint32_t fourcc, std::uint32_t w, std::uint32_t h) const {
        if (const auto d = discrete.find(fourcc); d != discrete.end() && d->second.count({w, h})) {
            return true;
        }
        const auto r = ranges.find(fourcc);
        if (r == ranges.end()) {
            return false;
        }
        for (const v4l2_frmsize_stepwise& s : r->second) {
            if (w >= s.min_width && w <= s.max_width && h >= s.min_height && h <= s.max_height) {
                return true;
            }
        }
        return false;
    }
};

bool trace() {
    static const bool on = std::getenv("TK_FUZZ_TRACE") != nullptr;
    return on;
}

class FuzzDevice final : public tovik::V4L2Device {
public:
    explicit FuzzDevice(Answers& in) : in_(in) {}

    std::vector<std::string> list(const std::string&) override {
        std::vector<std::string> names = {"media0", "video-not-a-node"};
        const int count = in_.byte() % 5;
        for (int i = 0; i < count; ++i) {
            names.push_back("video" + std::to_string(in_.byte() % 8));
        }
        return names;
    }
    int open(const std::string&) override {
        if (in_.status(kOpenErrors, std::size(kOpenErrors)) != 0) {
            return -1;
        }
        const int fd = nextFd_++;
        sessions_[fd] = {};
        return fd;
    }
    int ioctl(int fd, unsigned long request, void* arg) override {
        FUZZ_CHECK(sessions_.count(fd) == 1);
        Session& s = sessions_[fd];
        ++s.calls;
        mostCalls_ = std::max(mostCalls_, s.calls);
        // Far past any bound the back end may have: a loop that does not end.
        FUZZ_CHECK(s.calls <= kCallLimit);
        const int r = in_.status(kIoctlErrors, std::size(kIoctlErrors));
        if (r == 0) {
            answer(s, request, arg);
        }
        if (trace()) {  // TK_FUZZ_TRACE=1: follow a seed's answers
            std::fprintf(stderr, "fd %d ioctl %c%d -> %s\n", fd,
                         static_cast<char>(_IOC_TYPE(request)), static_cast<int>(_IOC_NR(request)),
                         r == 0 ? "ok" : std::strerror(errno));
        }
        return r;
    }
    void* mmap(std::size_t length, int, std::int64_t) override {
        if (length == 0 || length > (1u << 22)) {
            return MAP_FAILED;
        }
        void* p =
            ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        return p;
    }
    void munmap(void* start, std::size_t length) override { ::munmap(start, length); }
    int poll(int, short, short& revents, int) override {
        revents = 0;
        return 0;
    }
    void close(int fd) override { FUZZ_CHECK(sessions_.erase(fd) == 1); }

    // The most kernel calls made on one descriptor.
    [[nodiscard]] int mostCalls() const { return mostCalls_; }
    [[nodiscard]] int openDescriptors() const { return static_cast<int>(sessions_.size()); }

    // One descriptor: the format listing and the control listing within
    // their budget, and a bounded number of other calls (format, buffers,
    // stream), each retried a bounded number of times.
    static constexpr int kCallLimit =
        2 * V4L2Backend::kMaxListingCalls + 128 * V4L2Backend::kMaxIoctlRetries;

private:
    struct Session {
        int calls = 0;
        Offered offered;
    };

    void answer(Session& s, unsigned long request, void* arg) {
        switch (request) {
            case VIDIOC_QUERYCAP: {
                auto* c = static_cast<v4l2_capability*>(arg);
                c->capabilities = in_.u32();
                c->device_caps = in_.u32();
                const std::string card = "camera " + std::to_string(in_.byte());
                std::memcpy(c->card, card.data(), card.size());
                std::memcpy(c->bus_info, "usb-1", 5);
                break;
            }
            case VIDIOC_ENUM_FMT: {
                auto* f = static_cast<v4l2_fmtdesc*>(arg);
                f->pixelformat = in_.u32();
                break;
            }
            case VIDIOC_ENUM_FRAMESIZES: {
                auto* f = static_cast<v4l2_frmsizeenum*>(arg);
                f->type = in_.u32();
                if (f->type == V4L2_FRMSIZE_TYPE_DISCRETE) {
                    f->discrete.width = in_.u32();
                    f->discrete.height = in_.u32();
                    s.offered.discrete[f->pixel_format].insert(
                        {f->discrete.width, f->discrete.height});
                } else {
                    v4l2_frmsize_stepwise& r = f->stepwise;
                    r.min_width = in_.u32();
                    r.max_width = in_.u32();
                    r.step_width = in_.u32();
                    r.min_height = in_.u32();
                    r.max_height = in_.u32();
                    r.step_height = in_.u32();
                    s.offered.ranges[f->pixel_format].push_back(r);
                }
                break;
            }
            case VIDIOC_ENUM_FRAMEINTERVALS: {
                auto* f = static_cast<v4l2_frmivalenum*>(arg);
                f->type = in_.u32();
                if (f->type == V4L2_FRMIVAL_TYPE_DISCRETE) {
                    f->discrete = {in_.u32(), in_.u32()};
                } else {
                    f->stepwise.min = {in_.u32(), in_.u32()};
                    f->stepwise.max = {in_.u32(), in_.u32()};
                    f->stepwise.step = {in_.u32(), in_.u32()};
                }
                break;
            }
            case VIDIOC_G_FMT: {
                auto* f = static_cast<v4l2_format*>(arg);
                f->fmt.pix.width = in_.u32();
                f->fmt.pix.height = in_.u32();
                f->fmt.pix.pixelformat = in_.u32();
                break;
            }
            case VIDIOC_S_FMT: {
                auto* f = static_cast<v4l2_format*>(arg);
                v4l2_pix_format& p = f->fmt.pix;
                // What the back end asks for is what this device offered.
                FUZZ_CHECK(tovik::v4l2::pixelFormatRank(p.pixelformat) >= 0);
                FUZZ_CHECK(s.offered.has(p.pixelformat, p.width, p.height));
                if (in_.byte() & 1) {  // the driver adjusts the request
                    p.width = in_.u32();
                    p.height = in_.u32();
                }
                p.bytesperline = in_.u32();
                break;
            }
            case VIDIOC_REQBUFS:
                static_cast<v4l2_requestbuffers*>(arg)->count = in_.byte();
                break;
            case VIDIOC_QUERYBUF: {
                auto* b = static_cast<v4l2_buffer*>(arg);
                b->length = in_.u32();
                b->m.offset = in_.u32();
                break;
            }
            case VIDIOC_QUERYCTRL: {
                auto* q = static_cast<v4l2_queryctrl*>(arg);
                if (q->id & V4L2_CTRL_FLAG_NEXT_CTRL) {
                    q->id = (q->id & ~V4L2_CTRL_FLAG_NEXT_CTRL) + in_.u32();
                }
                q->type = in_.byte() % 10;
                q->minimum = static_cast<std::int32_t>(in_.u32());
                q->maximum = static_cast<std::int32_t>(in_.u32());
                q->step = static_cast<std::int32_t>(in_.u32());
                q->default_value = static_cast<std::int32_t>(in_.u32());
                q->flags = in_.u32();
                const std::string name = "control " + std::to_string(in_.byte());
                std::memcpy(q->name, name.data(), name.size());
                break;
            }
            case VIDIOC_QUERYMENU: {
                auto* m = static_cast<v4l2_querymenu*>(arg);
                const std::uint32_t v = in_.u32();
                m->value = v;  // the name and the value share their storage
                break;
            }
            case VIDIOC_G_CTRL:
                static_cast<v4l2_control*>(arg)->value = static_cast<std::int32_t>(in_.u32());
                break;
            default:
                break;  // S_PARM, QBUF, STREAMON, S_CTRL...: as asked
        }
    }

    Answers& in_;
    std::map<int, Session> sessions_;
    int mostCalls_ = 0;
    int nextFd_ = 3;
};

void checkDevices(const std::vector<tovik::DeviceInfo>& devices) {
    for (const tovik::DeviceInfo& d : devices) {
        FUZZ_CHECK(d.frameSizes.size() == d.frameRates.size());
        FUZZ_CHECK(d.problem.empty() || d.frameSizes.empty());
        for (std::size_t i = 0; i < d.frameSizes.size(); ++i) {
            const cv::Size s = d.frameSizes[i];
            FUZZ_CHECK(s.width > 0 && s.height > 0);
            FUZZ_CHECK(s.width <= V4L2Backend::kMaxFrameSide &&
                       s.height <= V4L2Backend::kMaxFrameSide);
            const double fps = d.frameRates[i];
            FUZZ_CHECK(std::isfinite(fps) && fps >= 0 && fps <= V4L2Backend::kMaxFrameRate);
            for (std::size_t j = 0; j < i; ++j) {
                FUZZ_CHECK(d.frameSizes[j] != s);  // each size once
            }
        }
    }
}

void checkControls(const std::vector<tovik::ControlInfo>& controls) {
    for (const tovik::ControlInfo& c : controls) {
        FUZZ_CHECK(c.minimum <= c.maximum);
        FUZZ_CHECK(c.step >= 1);
        FUZZ_CHECK(c.defaultValue >= c.minimum && c.defaultValue <= c.maximum);
        FUZZ_CHECK(c.type != tovik::ControlInfo::Type::Menu || !c.menuItems.empty());
        for (const auto& [index, label] : c.menuItems) {
            FUZZ_CHECK(index >= c.minimum && index <= c.maximum);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Answers in(data, size);
    auto owned = std::make_unique<FuzzDevice>(in);
    FuzzDevice& device = *owned;
    V4L2Backend backend("/dev", std::move(owned));

    const std::vector<tovik::DeviceInfo> devices = backend.enumerate();
    checkDevices(devices);
    if (trace()) {
        for (const tovik::DeviceInfo& d : devices) {
            std::fprintf(stderr, "device '%s' %s\n", d.name.c_str(), d.problem.c_str());
            for (std::size_t i = 0; i < d.frameSizes.size(); ++i) {
                std::fprintf(stderr, "  %dx%d %.3g fps\n", d.frameSizes[i].width,
                             d.frameSizes[i].height, d.frameRates[i]);
            }
        }
    }
    FUZZ_CHECK(device.openDescriptors() == 0);

    // Open the first device at its first listed size; the device answers
    // afresh, and the format set must be one offered in that session.
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (!devices[i].frameSizes.empty()) {
            if (backend.open(static_cast<int>(i), devices[i].frameSizes.front())) {
                FUZZ_CHECK(backend.isOpen());
                const double fps = backend.frameRate();
                FUZZ_CHECK(std::isfinite(fps) && fps >= 0);
                const std::vector<tovik::ControlInfo> controls = backend.controls();
                checkControls(controls);
                if (trace()) {
                    std::fprintf(stderr, "opened at %.3g fps, %zu controls\n", fps,
                                 controls.size());
                }
            } else {
                FUZZ_CHECK(!backend.lastError().empty());
            }
            break;
        }
    }
    backend.close();
    FUZZ_CHECK(device.openDescriptors() == 0);
    FUZZ_CHECK(device.mostCalls() <= FuzzDevice::kCallLimit);
    return 0;
}
