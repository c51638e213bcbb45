#include "common/platform/ScreenFrames.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

namespace common {

namespace {

// Xlib reports protocol errors through one process-wide handler, whose
// default ends the process. The screen can change under a capture (a resize
// between measuring the root and reading it gives BadMatch), so errors on
// the scenes' own connections are counted here instead; errors on other
// connections go to the handler that was there before.
std::mutex gErrorMutex;
std::map<Display*, int> gErrors;  // the scenes' connections, errors seen
XErrorHandler gPrevious = nullptr;

int onError(Display* display, XErrorEvent* event) {
    {
        std::lock_guard lock(gErrorMutex);
        const auto it = gErrors.find(display);
        if (it != gErrors.end()) {
            ++it->second;
            return 0;
        }
    }
    return gPrevious != nullptr ? gPrevious(display, event) : 0;
}

void watchErrors(Display* display) {
    std::lock_guard lock(gErrorMutex);
    static const bool installed = [] {
        gPrevious = XSetErrorHandler(onError);
        return true;
    }();
    (void)installed;
    gErrors[display] = 0;
}

void unwatchErrors(Display* display) {
    std::lock_guard lock(gErrorMutex);
    gErrors.erase(display);
}

// Errors on `display` so far.
int errorsOn(Display* display) {
    std::lock_guard lock(gErrorMutex);
    const auto it = gErrors.find(display);
    return it == gErrors.end() ? 0 : it->second;
}

}  // namespace

struct ScreenFrames::Impl {
    Display* display = nullptr;
    Window root = 0;
    ScreenSize size;
    ScreenRect area;  // filmed part of the root; empty: all of it
    bool shm = false;
    XShmSegmentInfo segment{};
    XImage* shmImage = nullptr;
    std::vector<unsigned char> converted;  // frames copied or converted to BGR(A)
    std::optional<ScreenSize> assumed;     // see assumeSizeOnce

    void releaseShm() {
        if (shmImage != nullptr) {
            XShmDetach(display, &segment);
            XSync(display, False);
            XDestroyImage(shmImage);
            shmdt(segment.shmaddr);
            shmImage = nullptr;
        }
    }

    bool createShm() {
        releaseShm();
        const int screen = DefaultScreen(display);
        shmImage = XShmCreateImage(display, DefaultVisual(display, screen),
                                   static_cast<unsigned>(DefaultDepth(display, screen)), ZPixmap,
                                   nullptr, &segment, static_cast<unsigned>(size.width),
                                   static_cast<unsigned>(size.height));
        if (shmImage == nullptr) {
            return false;
        }
        segment.shmid = shmget(
            IPC_PRIVATE,
            static_cast<size_t>(shmImage->bytes_per_line) * static_cast<size_t>(shmImage->height),
            IPC_CREAT | 0600);
        if (segment.shmid < 0) {
            XDestroyImage(shmImage);
            shmImage = nullptr;
            return false;
        }
        segment.shmaddr = shmImage->data = static_cast<char*>(shmat(segment.shmid, nullptr, 0));
        segment.readOnly = False;
        bool ok = segment.shmaddr != reinterpret_cast<char*>(-1);
        if (ok) {
            // A remote server or one without shared memory refuses the
            // attach with an error, seen once the request is synchronised.
            const int before = errorsOn(display);
            ok = XShmAttach(display, &segment) != 0;
            XSync(display, False);
            ok = ok && errorsOn(display) == before;
        }
        // Marked for removal now: the segment goes away with the last detach,
        // also when the process dies.
        shmctl(segment.shmid, IPC_RMID, nullptr);
        if (!ok) {
            if (segment.shmaddr != reinterpret_cast<char*>(-1)) {
                shmdt(segment.shmaddr);
            }
            shmImage->data = nullptr;
            XDestroyImage(shmImage);
            shmImage = nullptr;
        }
        return ok;
    }

    // Points at the X image's pixels when they are BGRA already; converts
    // them into our own buffer otherwise.
    void toFrame(XImage* image, ScreenFrame& out) {
        out.width = image->width;
        out.height = image->height;
        if (image->bits_per_pixel == 32 && image->red_mask == 0xff0000 &&
            image->green_mask == 0x00ff00 && image->blue_mask == 0x0000ff &&
            image->byte_order == LSBFirst) {
            out.data = reinterpret_cast<unsigned char*>(image->data);
            out.channels = 4;
            out.stride = static_cast<std::size_t>(image->bytes_per_line);
            return;
        }
        // Unusual visuals: slow but correct.
        out.channels = 3;
        out.stride = static_cast<std::size_t>(image->width) * 3;
        converted.resize(out.stride * static_cast<std::size_t>(image->height));
        auto shiftOf = [](unsigned long mask) {
            int s = 0;
            while (mask != 0 && (mask & 1) == 0) {
                mask >>= 1;
                ++s;
            }
            return s;
        };
        auto scale = [](unsigned long v, unsigned long mask, int shift) {
            const unsigned long max = mask >> shift;
            return static_cast<unsigned char>(max == 0 ? 0 : ((v & mask) >> shift) * 255 / max);
        };
        const int rs = shiftOf(image->red_mask), gs = shiftOf(image->green_mask),
                  bs = shiftOf(image->blue_mask);
        for (int y = 0; y < image->height; ++y) {
            unsigned char* row = converted.data() + out.stride * static_cast<std::size_t>(y);
            for (int x = 0; x < image->width; ++x) {
                const unsigned long p = XGetPixel(image, x, y);
                row[3 * x] = scale(p, image->blue_mask, bs);
                row[3 * x + 1] = scale(p, image->green_mask, gs);
                row[3 * x + 2] = scale(p, image->red_mask, rs);
            }
        }
        out.data = converted.data();
    }
};

namespace {

bool within(const ScreenRect& area, const ScreenRect& screen) {
    return area.x >= screen.x && area.y >= screen.y &&
           area.x + area.width <= screen.x + screen.width &&
           area.y + area.height <= screen.y + screen.height;
}

bool isEmpty(const ScreenRect& area) {
    return area.width <= 0 || area.height <= 0;
}

}  // namespace

std::unique_ptr<ScreenFrames> ScreenFrames::open(const std::string& displayName, ScreenRect area) {
    Display* display = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
    if (display == nullptr) {
        return nullptr;
    }
    const Window root = DefaultRootWindow(display);
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, root, &attributes);
    const ScreenRect screen{0, 0, attributes.width, attributes.height};
    if (!isEmpty(area) && !within(area, screen)) {
        XCloseDisplay(display);
        return nullptr;
    }
    watchErrors(display);
    auto x = std::make_unique<Impl>();
    x->display = display;
    x->root = root;
    x->area = isEmpty(area) ? ScreenRect{} : area;
    x->size = isEmpty(area) ? screen.size() : area.size();
    x->shm = XShmQueryExtension(display) && x->createShm();
    return std::unique_ptr<ScreenFrames>(new ScreenFrames(std::move(x)));
}

ScreenFrames::ScreenFrames(std::unique_ptr<Impl> x) : x_(std::move(x)) {}

ScreenFrames::~ScreenFrames() {
    x_->releaseShm();
    XCloseDisplay(x_->display);
    unwatchErrors(x_->display);
}

bool ScreenFrames::usesSharedMemory() const {
    return x_->shm;
}

ScreenSize ScreenFrames::size() const {
    return x_->size;
}

ScreenRect ScreenFrames::area() const {
    return x_->area;
}

void ScreenFrames::assumeSizeOnce(ScreenSize size) {
    x_->assumed = size;
}

bool ScreenFrames::grab(ScreenFrame& out) {
    Impl& x = *x_;
    // The screen may be resized (xrandr) while we run; a filmed area keeps
    // its size while the screen still holds it.
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(x.display, x.root, &attributes) == 0) {
        return false;
    }
    const ScreenRect screen{0, 0, attributes.width, attributes.height};
    if (!isEmpty(x.area) && !within(x.area, screen)) {
        return false;
    }
    ScreenSize now = isEmpty(x.area) ? screen.size() : x.area.size();
    if (x.assumed) {
        now = *x.assumed;
        x.assumed.reset();
    }
    if (now.width != x.size.width || now.height != x.size.height) {
        x.size = now;
        if (x.shm) {
            x.shm = x.createShm();
        }
    }
    // A failed read (the screen shrank after it was measured) costs this
    // frame only: the next capture measures again.
    if (x.shm) {
        if (XShmGetImage(x.display, x.root, x.shmImage, x.area.x, x.area.y, AllPlanes) == 0) {
            x.size = {};
            return false;
        }
        x.toFrame(x.shmImage, out);
        return true;
    }
    XImage* image =
        XGetImage(x.display, x.root, x.area.x, x.area.y, static_cast<unsigned>(x.size.width),
                  static_cast<unsigned>(x.size.height), AllPlanes, ZPixmap);
    if (image == nullptr) {
        x.size = {};
        return false;
    }
    x.toFrame(image, out);
    if (out.data != x.converted.data()) {
        // The X image is freed below; keep the pixels in our own buffer.
        const std::size_t bytes = out.stride * static_cast<std::size_t>(out.height);
        x.converted.assign(out.data, out.data + bytes);
        out.data = x.converted.data();
    }
    XDestroyImage(image);
    return true;
}

}  // namespace common
