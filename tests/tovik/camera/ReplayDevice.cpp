#include "ReplayDevice.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/mman.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <numeric>
#include <regex>
#include <sstream>

#include <opencv2/imgcodecs.hpp>

#include "common/TempDir.h"

namespace tovik::testing {

namespace {

std::uint32_t fourccOf(const std::string& four) {
    return v4l2_fourcc(four[0], four[1], four[2], four[3]);
}

// "power_line_frequency" -> "Power Line Frequency": the driver's own names
// are title case; the listing shows them in this form.
std::string titleOf(const std::string& identifier) {
    std::string name;
    bool start = true;
    for (char c : identifier) {
        if (c == '_') {
            name += ' ';
            start = true;
        } else {
            name += start ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
            start = false;
        }
    }
    return name;
}

v4l2_fract intervalOf(double fps) {
    const auto milli = static_cast<std::uint32_t>(std::lround(fps * 1000));
    const std::uint32_t g = std::gcd(milli, 1000u);
    return {1000 / g, milli / g};
}

// Into a fixed char field of `size` bytes, zero-terminated (also packed ones).
void copyString(void* field, std::size_t size, const std::string& text) {
    std::memset(field, 0, size);
    std::memcpy(field, text.data(), std::min(text.size(), size - 1));
}

// The element of `items` that `match` accepts; null when none does.
template <typename Items, typename Match>
auto* findIn(Items& items, Match match) {
    const auto it = std::find_if(items.begin(), items.end(), match);
    return it == items.end() ? nullptr : &*it;
}

// The element of `items` of the lowest `cost` (the first of equals).
template <typename Items, typename Cost>
const auto& nearest(const Items& items, Cost cost) {
    return *std::min_element(items.begin(), items.end(),
                             [&](const auto& a, const auto& b) { return cost(a) < cost(b); });
}

std::optional<DeviceDescription> parseListing(const std::string& text, std::string& error) {
    static const std::regex format(R"(^\s*\[(\d+)\]: '(....)' \((.*)\)$)");
    static const std::regex size(R"(^\s*Size: Discrete (\d+)x(\d+)$)");
    static const std::regex interval(R"(^\s*Interval: Discrete [0-9.]+s \(([0-9.]+) fps\)$)");
    static const std::regex control(R"(^\s*(\w+) 0x([0-9a-f]{8}) \((\w+)\)\s*: (.*)$)");
    static const std::regex menuItem(R"(^\s*(\d+): (.*?)\s*$)");
    static const std::regex card(R"(^\s*Card type\s*: (.*?)\s*$)");
    static const std::regex bus(R"(^\s*Bus info\s*: (.*?)\s*$)");
    static const std::regex current(R"(^\s*Width/Height\s*: (\d+)/(\d+)\s*$)");
    static const std::regex pixels(R"(^\s*Pixel Format\s*: '(....)'.*$)");
    static const std::regex keyValue(R"((\w+)=(-?\w+))");
    DeviceDescription d;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        std::smatch m;
        if (std::regex_match(line, m, card)) {
            d.card = m[1];
        } else if (std::regex_match(line, m, bus)) {
            d.busInfo = m[1];
        } else if (std::regex_match(line, m, current)) {
            d.width = static_cast<std::uint32_t>(std::stoul(m[1]));
            d.height = static_cast<std::uint32_t>(std::stoul(m[2]));
        } else if (std::regex_match(line, m, pixels)) {
            d.fourcc = fourccOf(m[1]);
        } else if (std::regex_match(line, m, format)) {
            d.formats.push_back({fourccOf(m[2]), m[3], {}});
        } else if (std::regex_match(line, m, size)) {
            if (d.formats.empty()) {
                error = "line " + std::to_string(number) + ": a size outside a format";
                return std::nullopt;
            }
            d.formats.back().sizes.push_back({static_cast<std::uint32_t>(std::stoul(m[1])),
                                              static_cast<std::uint32_t>(std::stoul(m[2])),
                                              {}});
        } else if (std::regex_match(line, m, interval)) {
            if (d.formats.empty() || d.formats.back().sizes.empty()) {
                error = "line " + std::to_string(number) + ": an interval outside a size";
                return std::nullopt;
            }
            d.formats.back().sizes.back().intervals.push_back(intervalOf(std::stod(m[1])));
        } else if (std::regex_match(line, m, control)) {
            DeviceDescription::Control c;
            c.id = static_cast<std::uint32_t>(std::stoul(m[2], nullptr, 16));
            c.name = titleOf(m[1]);
            const std::string type = m[3];
            c.type = type == "bool"      ? V4L2_CTRL_TYPE_BOOLEAN
                     : type == "menu"    ? V4L2_CTRL_TYPE_MENU
                     : type == "intmenu" ? V4L2_CTRL_TYPE_INTEGER_MENU
                     : type == "button"  ? V4L2_CTRL_TYPE_BUTTON
                                         : V4L2_CTRL_TYPE_INTEGER;
            if (c.type == V4L2_CTRL_TYPE_BOOLEAN) {
                c.maximum = 1;
            }
            using Field = std::int32_t DeviceDescription::Control::*;
            static const std::map<std::string, Field> fields{
                {"min", &DeviceDescription::Control::minimum},
                {"max", &DeviceDescription::Control::maximum},
                {"step", &DeviceDescription::Control::step},
                {"default", &DeviceDescription::Control::defaultValue},
                {"value", &DeviceDescription::Control::value}};
            const std::string rest = m[4];
            for (auto it = std::sregex_iterator(rest.begin(), rest.end(), keyValue);
                 it != std::sregex_iterator(); ++it) {
                const std::string key = (*it)[1], v = (*it)[2];
                if (key == "flags") {
                    c.flags |=
                        v.find("inactive") != std::string::npos ? V4L2_CTRL_FLAG_INACTIVE : 0;
                } else if (fields.contains(key)) {
                    c.*fields.at(key) = static_cast<std::int32_t>(std::stoll(v));
                }
            }
            d.controls.push_back(c);
        } else if (std::regex_match(line, m, menuItem) && !d.controls.empty() &&
                   (d.controls.back().type == V4L2_CTRL_TYPE_MENU ||
                    d.controls.back().type == V4L2_CTRL_TYPE_INTEGER_MENU)) {
            d.controls.back().menu[static_cast<std::uint32_t>(std::stoul(m[1]))] = m[2];
        }
    }
    if (d.card.empty() || d.formats.empty()) {
        error = "no card type or no formats";
        return std::nullopt;
    }
    std::sort(d.controls.begin(), d.controls.end(),
              [](const auto& a, const auto& b) { return a.id < b.id; });
    return d;
}

}  // namespace

DeviceDescription loadFixture(const std::string& name) {
    const std::string path = std::string(TK_V4L2_FIXTURES) + "/" + name;
    EXPECT_TRUE(std::filesystem::is_regular_file(path)) << path;
    std::string error;
    auto d = parseListing(tktest::readBytes(path), error);
    EXPECT_TRUE(d) << path << ": " << error;
    return d.value_or(DeviceDescription{});
}

void ReplayDevice::plug(int node, DeviceDescription description) {
    const std::lock_guard lock(mutex_);
    Node& n = nodes_[node];
    n = Node{.d = std::move(description), .generation = n.generation + 1, .present = true};
}

void ReplayDevice::unplug(int node) {
    const std::lock_guard lock(mutex_);
    nodes_[node].present = false;
}

std::optional<std::int32_t> ReplayDevice::controlValue(int node, std::uint32_t id) const {
    const std::lock_guard lock(mutex_);
    const auto* c = findIn(nodes_.at(node).d.controls, [&](const auto& k) { return k.id == id; });
    return c == nullptr ? std::nullopt : std::optional(c->value);
}

std::vector<std::string> ReplayDevice::list(const std::string&) {
    const std::lock_guard lock(mutex_);
    std::vector<std::string> names{".", "..", "null", "tty0"};
    for (const auto& [number, n] : nodes_) {
        if (n.present) {
            names.push_back("video" + std::to_string(number));
        }
    }
    return names;
}

int ReplayDevice::open(const std::string& path) {
    const std::lock_guard lock(mutex_);
    const auto p = path.rfind("/video");
    const auto it =
        p == std::string::npos ? nodes_.end() : nodes_.find(std::stoi(path.substr(p + 6)));
    if (it == nodes_.end() || !it->second.present) {
        return fail(ENOENT);
    }
    if (it->second.openError != 0) {
        return fail(it->second.openError);
    }
    const int fd = nextFd_++;
    fds_[fd] = Open{it->first, it->second.generation, {}, {}, {}, false};
    return fd;
}

void ReplayDevice::close(int fd) {
    const std::lock_guard lock(mutex_);
    fds_.erase(fd);
}

void* ReplayDevice::mmap(std::size_t length, int fd, std::int64_t offset) {
    const std::lock_guard lock(mutex_);
    const auto it = fds_.find(fd);
    const auto index = static_cast<size_t>(offset >> 20);
    if (it == fds_.end() || index >= it->second.buffers.size() ||
        length > it->second.buffers[index].size()) {
        return MAP_FAILED;
    }
    return it->second.buffers[index].data();
}

ReplayDevice::Node* ReplayDevice::liveNode(const Open& o) {
    Node& n = nodes_[o.node];
    return n.present && n.generation == o.generation ? &n : nullptr;
}

int ReplayDevice::poll(int fd, short, short& revents, int) {
    const std::lock_guard lock(mutex_);
    const auto it = fds_.find(fd);
    if (it == fds_.end() || liveNode(it->second) == nullptr) {
        revents = it == fds_.end() ? POLLNVAL : POLLERR | POLLHUP;
        return 1;
    }
    Open& o = it->second;
    if (o.streaming && o.done.empty() && !o.queued.empty()) {
        o.done.push_back(o.queued.front());
        o.queued.pop_front();
    }
    // Nothing comes: a time-out at once.
    revents = o.streaming && !o.done.empty() ? POLLIN : 0;
    return revents == 0 ? 0 : 1;
}

void ReplayDevice::fill(Node& n, std::vector<uchar>& buffer, std::uint32_t& bytesUsed) const {
    const int w = static_cast<int>(n.d.width), h = static_cast<int>(n.d.height);
    if (n.d.fourcc == V4L2_PIX_FMT_MJPEG) {
        std::vector<uchar> jpeg;
        cv::imencode(".jpg", cv::Mat(h, w, CV_8UC3, cv::Scalar::all(kLevel)), jpeg);
        std::copy(jpeg.begin(), jpeg.end(), buffer.begin());
        bytesUsed = static_cast<std::uint32_t>(jpeg.size());
        return;
    }
    for (size_t i = 0; i + 1 < buffer.size(); i += 2) {
        buffer[i] = kLevel;
        buffer[i + 1] = 128;
    }
    bytesUsed = static_cast<std::uint32_t>(w * h * 2);
}

int ReplayDevice::ioctl(int fd, unsigned long request, void* arg) {
    const std::lock_guard lock(mutex_);
    ++calls_[request];
    const auto it = fds_.find(fd);
    if (it == fds_.end()) {
        return fail(EBADF);
    }
    Node* n = liveNode(it->second);
    return n == nullptr ? fail(ENODEV) : handle(*n, it->second, request, arg);
}

int ReplayDevice::handle(Node& n, Open& o, unsigned long request, void* arg) {
    DeviceDescription& d = n.d;
    auto findFormat = [&](std::uint32_t fourcc) {
        return findIn(d.formats, [&](const auto& f) { return f.fourcc == fourcc; });
    };
    auto findSize = [&](std::uint32_t fourcc, std::uint32_t w, std::uint32_t h) {
        auto* f = findFormat(fourcc);
        auto sameSize = [&](const auto& s) { return s.width == w && s.height == h; };
        return f == nullptr ? nullptr : findIn(f->sizes, sameSize);
    };
    auto findControl = [&](std::uint32_t id) {
        return findIn(d.controls, [&](const auto& c) { return c.id == id; });
    };
    const std::uint32_t frameBytes = d.width * d.height * 2;
    switch (request) {
        case VIDIOC_QUERYCAP: {
            auto* c = static_cast<v4l2_capability*>(arg);
            *c = {};
            copyString(c->driver, sizeof c->driver, "uvcvideo");
            copyString(c->card, sizeof c->card, d.card);
            copyString(c->bus_info, sizeof c->bus_info, d.busInfo);
            c->device_caps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
            c->capabilities = c->device_caps | V4L2_CAP_META_CAPTURE | V4L2_CAP_DEVICE_CAPS;
            return 0;
        }
        case VIDIOC_ENUM_FMT: {
            auto* f = static_cast<v4l2_fmtdesc*>(arg);
            if (f->index >= d.formats.size()) {
                return fail(EINVAL);
            }
            f->pixelformat = d.formats[f->index].fourcc;
            copyString(f->description, sizeof f->description, d.formats[f->index].description);
            return 0;
        }
        case VIDIOC_ENUM_FRAMESIZES: {
            auto* s = static_cast<v4l2_frmsizeenum*>(arg);
            auto* f = findFormat(s->pixel_format);
            if (f == nullptr || s->index >= f->sizes.size()) {
                return fail(EINVAL);
            }
            s->type = V4L2_FRMSIZE_TYPE_DISCRETE;
            s->discrete = {f->sizes[s->index].width, f->sizes[s->index].height};
            return 0;
        }
        case VIDIOC_ENUM_FRAMEINTERVALS: {
            auto* i = static_cast<v4l2_frmivalenum*>(arg);
            auto* s = findSize(i->pixel_format, i->width, i->height);
            if (s == nullptr || i->index >= s->intervals.size()) {
                return fail(EINVAL);
            }
            i->type = V4L2_FRMIVAL_TYPE_DISCRETE;
            i->discrete = s->intervals[i->index];
            return 0;
        }
        case VIDIOC_G_FMT:
        case VIDIOC_S_FMT: {
            auto* f = static_cast<v4l2_format*>(arg);
            if (request == VIDIOC_S_FMT) {
                if (n.busy || o.streaming) {
                    return fail(EBUSY);
                }
                // Like drivers do: an unknown format becomes the first, an
                // unknown size the nearest one.
                auto* format = findFormat(f->fmt.pix.pixelformat);
                if (format == nullptr) {
                    format = &d.formats.front();
                }
                const auto& best = nearest(format->sizes, [&](const auto& s) {
                    return std::abs(static_cast<long>(s.width) - f->fmt.pix.width) +
                           std::abs(static_cast<long>(s.height) - f->fmt.pix.height);
                });
                d.fourcc = format->fourcc;
                d.width = best.width;
                d.height = best.height;
                n.interval.reset();
            }
            f->fmt.pix.width = d.width;
            f->fmt.pix.height = d.height;
            f->fmt.pix.pixelformat = d.fourcc;
            f->fmt.pix.field = V4L2_FIELD_NONE;
            f->fmt.pix.bytesperline = d.fourcc == V4L2_PIX_FMT_MJPEG ? 0 : d.width * 2;
            f->fmt.pix.sizeimage = d.width * d.height * 2;
            return 0;
        }
        case VIDIOC_S_PARM: {
            auto* p = static_cast<v4l2_streamparm*>(arg);
            auto* s = findSize(d.fourcc, d.width, d.height);
            if (s == nullptr || s->intervals.empty()) {
                return fail(EINVAL);
            }
            const v4l2_fract want = p->parm.capture.timeperframe;
            auto fps = [](v4l2_fract f) {
                return f.numerator == 0 ? 0.0 : double(f.denominator) / f.numerator;
            };
            const v4l2_fract best =
                nearest(s->intervals, [&](v4l2_fract i) { return std::abs(fps(i) - fps(want)); });
            n.interval = best;
            p->parm.capture.timeperframe = best;
            p->parm.capture.capability = V4L2_CAP_TIMEPERFRAME;
            return 0;
        }
        case VIDIOC_REQBUFS: {
            auto* r = static_cast<v4l2_requestbuffers*>(arg);
            if (n.busy) {
                return fail(EBUSY);
            }
            o.queued.clear();
            o.done.clear();
            r->count = std::min<std::uint32_t>(r->count, 4);
            o.buffers.assign(r->count, std::vector<uchar>(frameBytes));
            return 0;
        }
        case VIDIOC_QUERYBUF:
        case VIDIOC_QBUF:
        case VIDIOC_DQBUF: {
            auto* b = static_cast<v4l2_buffer*>(arg);
            if (request == VIDIOC_DQBUF) {
                if (o.done.empty()) {
                    return fail(EAGAIN);
                }
                b->index = o.done.front();
                o.done.pop_front();
                fill(n, o.buffers[b->index], b->bytesused);
                b->flags = 0;
                return 0;
            }
            if (b->index >= o.buffers.size()) {
                return fail(EINVAL);
            }
            if (request == VIDIOC_QUERYBUF) {
                b->length = static_cast<std::uint32_t>(o.buffers[b->index].size());
                b->m.offset = b->index << 20;
            } else {
                o.queued.push_back(b->index);
            }
            return 0;
        }
        case VIDIOC_STREAMON:
            o.streaming = true;
            n.streamed = d.fourcc;
            return 0;
        case VIDIOC_STREAMOFF:
            o.streaming = false;
            o.queued.clear();
            o.done.clear();
            return 0;
        case VIDIOC_QUERYCTRL: {
            auto* q = static_cast<v4l2_queryctrl*>(arg);
            const bool next = (q->id & V4L2_CTRL_FLAG_NEXT_CTRL) != 0;
            const std::uint32_t id =
                q->id & ~(V4L2_CTRL_FLAG_NEXT_CTRL | V4L2_CTRL_FLAG_NEXT_COMPOUND);
            const auto* c =
                findIn(d.controls, [&](const auto& k) { return next ? k.id > id : k.id == id; });
            if (c == nullptr) {
                return fail(EINVAL);
            }
            *q = {};
            q->id = c->id;
            q->type = c->type;
            copyString(q->name, sizeof q->name, c->name);
            q->minimum = c->minimum;
            q->maximum = c->maximum;
            q->step = c->step;
            q->default_value = c->defaultValue;
            q->flags = c->flags;
            return 0;
        }
        case VIDIOC_QUERYMENU: {
            auto* m = static_cast<v4l2_querymenu*>(arg);
            auto* c = findControl(m->id);
            if (c == nullptr || !c->menu.contains(m->index)) {
                return fail(EINVAL);
            }
            if (c->type == V4L2_CTRL_TYPE_INTEGER_MENU) {
                m->value = std::stoll(c->menu[m->index]);
            } else {
                copyString(m->name, sizeof m->name, c->menu[m->index]);
            }
            return 0;
        }
        case VIDIOC_G_CTRL:
        case VIDIOC_S_CTRL: {
            auto* v = static_cast<v4l2_control*>(arg);
            auto* c = findControl(v->id);
            if (c == nullptr) {
                return fail(EINVAL);
            }
            if (request == VIDIOC_G_CTRL) {
                v->value = c->value;
                return 0;
            }
            if (v->value < c->minimum || v->value > c->maximum ||
                ((c->type == V4L2_CTRL_TYPE_MENU) &&
                 !c->menu.contains(static_cast<std::uint32_t>(v->value)))) {
                return fail(ERANGE);
            }
            c->value = v->value;
            // Choosing manual exposure makes the absolute time usable.
            if (c->id == V4L2_CID_EXPOSURE_AUTO) {
                if (auto* t = findControl(V4L2_CID_EXPOSURE_ABSOLUTE)) {
                    t->flags = v->value == V4L2_EXPOSURE_MANUAL ? 0 : V4L2_CTRL_FLAG_INACTIVE;
                }
            }
            return 0;
        }
        default:
            return fail(ENOTTY);
    }
}

}  // namespace tovik::testing
