#include "sim/ScreenScene.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

#include <opencv2/imgproc.hpp>

namespace sim {

namespace {

// XShmAttach reports failure (a remote server, no shared memory) through the
// error handler; this flag catches it while the attach is synchronised.
bool gAttachFailed = false;
int onAttachError(Display*, XErrorEvent*) {
    gAttachFailed = true;
    return 0;
}
std::mutex gErrorHandlerMutex;

}  // namespace

struct ScreenScene::X {
    Display* display = nullptr;
    Window root = 0;
    cv::Size size;
    cv::Rect area;  // filmed part of the root; empty: all of it
    bool shm = false;
    XShmSegmentInfo segment{};
    XImage* shmImage = nullptr;
    cv::Mat converted;  // frames from servers whose pixels are not BGRA

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
            std::lock_guard lock(gErrorHandlerMutex);
            gAttachFailed = false;
            auto previous = XSetErrorHandler(onAttachError);
            ok = XShmAttach(display, &segment) != 0;
            XSync(display, False);
            XSetErrorHandler(previous);
            ok = ok && !gAttachFailed;
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

    // Wraps or converts an X image as BGR(A).
    bool toMat(XImage* image, cv::Mat& out) {
        if (image->bits_per_pixel == 32 && image->red_mask == 0xff0000 &&
            image->green_mask == 0x00ff00 && image->blue_mask == 0x0000ff &&
            image->byte_order == LSBFirst) {
            out = cv::Mat(image->height, image->width, CV_8UC4, image->data,
                          static_cast<size_t>(image->bytes_per_line));
            return true;
        }
        // Unusual visuals: slow but correct.
        converted.create(image->height, image->width, CV_8UC3);
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
            return static_cast<uchar>(max == 0 ? 0 : ((v & mask) >> shift) * 255 / max);
        };
        const int rs = shiftOf(image->red_mask), gs = shiftOf(image->green_mask),
                  bs = shiftOf(image->blue_mask);
        for (int y = 0; y < image->height; ++y) {
            auto* row = converted.ptr<cv::Vec3b>(y);
            for (int x = 0; x < image->width; ++x) {
                const unsigned long p = XGetPixel(image, x, y);
                row[x] = {scale(p, image->blue_mask, bs), scale(p, image->green_mask, gs),
                          scale(p, image->red_mask, rs)};
            }
        }
        out = converted;
        return true;
    }
};

ScreenScene::ScreenScene(const std::string& displayName, cv::Rect area) {
    Display* display = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
    if (display == nullptr) {
        return;
    }
    const Window root = DefaultRootWindow(display);
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, root, &attributes);
    const cv::Rect screen(0, 0, attributes.width, attributes.height);
    if (!area.empty() && (area & screen) != area) {
        XCloseDisplay(display);
        return;
    }
    x_ = std::make_unique<X>();
    x_->display = display;
    x_->root = root;
    x_->area = area;
    x_->size = area.empty() ? screen.size() : area.size();
    x_->shm = XShmQueryExtension(display) && x_->createShm();
}

ScreenScene::~ScreenScene() {
    if (x_) {
        x_->releaseShm();
        XCloseDisplay(x_->display);
    }
}

bool ScreenScene::isOpen() const {
    std::lock_guard lock(mutex_);
    return x_ != nullptr;
}

bool ScreenScene::usesSharedMemory() const {
    std::lock_guard lock(mutex_);
    return x_ && x_->shm;
}

cv::Size ScreenScene::size() const {
    std::lock_guard lock(mutex_);
    return x_ ? x_->size : cv::Size();
}

cv::Point ScreenScene::origin() const {
    std::lock_guard lock(mutex_);
    return x_ ? x_->area.tl() : cv::Point();
}

bool ScreenScene::capture(cv::Mat& out) {
    std::lock_guard lock(mutex_);
    if (!x_) {
        return false;
    }
    X& x = *x_;
    // The screen may be resized (xrandr) while we run; a filmed area keeps
    // its size while the screen still holds it.
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(x.display, x.root, &attributes) == 0) {
        return false;
    }
    const cv::Rect screen(0, 0, attributes.width, attributes.height);
    if (!x.area.empty() && (x.area & screen) != x.area) {
        return false;
    }
    const cv::Size now = x.area.empty() ? screen.size() : x.area.size();
    if (now != x.size) {
        x.size = now;
        if (x.shm) {
            x.shm = x.createShm();
        }
    }
    if (x.shm) {
        if (XShmGetImage(x.display, x.root, x.shmImage, x.area.x, x.area.y, AllPlanes) == 0) {
            return false;
        }
        return x.toMat(x.shmImage, out);
    }
    XImage* image =
        XGetImage(x.display, x.root, x.area.x, x.area.y, static_cast<unsigned>(x.size.width),
                  static_cast<unsigned>(x.size.height), AllPlanes, ZPixmap);
    if (image == nullptr) {
        return false;
    }
    cv::Mat wrapped;
    const bool ok = x.toMat(image, wrapped);
    if (ok) {
        // The X image is freed below; keep the pixels in our own buffer.
        if (wrapped.data != x.converted.data) {
            wrapped.copyTo(x.converted);
        }
        out = x.converted;
    }
    XDestroyImage(image);
    return ok;
}

}  // namespace sim
