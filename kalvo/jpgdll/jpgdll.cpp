// The optional converter Kalvo loads by name at each save: reads an
// uncompressed 24- or 32-bit bitmap file and writes it as a JPEG file
// (quality 90). Any unreadable or malformed input gives a non-zero result;
// nothing is written then.

#include <fcntl.h>
#include <sys/stat.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/ini/SafeWrite.h"
#ifdef _WIN32
#include "common/ini/win32/WidePath.h"
#endif

namespace {

enum Result : int {
    kOk = 0,
    kBadArguments = 1,
    kCannotRead = 2,
    kBadFormat = 3,
    kEncodeFailed = 4,
    kCannotWrite = 5,
};

constexpr int kQuality = 90;
// The JPEG format limits each side to 65535 pixels.
constexpr std::int64_t kMaxSide = 65535;

std::uint32_t get32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
           (std::uint32_t{p[3]} << 24);
}
std::uint16_t get16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

bool readWholeFile(const char* path, std::vector<std::uint8_t>& out) {
#ifdef _WIN32
    const int fd = ::_wopen(common::widePath(path).c_str(), _O_RDONLY | _O_BINARY);
#else
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
#endif
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
        ::close(fd);
        return false;
    }
    out.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::read(fd, out.data() + done, out.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    out.resize(done);
    return true;
}

struct BmpView {
    const std::uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;  // always positive
    int pitch = 0;
    int bitsPerPixel = 0;
    bool bottomUp = true;
};

int parseBmp(const std::vector<std::uint8_t>& file, BmpView& view) {
    if (file.size() < 54 || file[0] != 'B' || file[1] != 'M') {
        return kBadFormat;
    }
    const std::uint32_t offset = get32(&file[10]);
    const std::uint32_t headerSize = get32(&file[14]);
    if (headerSize < 40 || std::uint64_t{14} + headerSize > file.size()) {
        return kBadFormat;
    }
    const auto width = static_cast<std::int32_t>(get32(&file[18]));
    const auto height = static_cast<std::int32_t>(get32(&file[22]));
    const std::uint16_t planes = get16(&file[26]);
    const std::uint16_t bpp = get16(&file[28]);
    const std::uint32_t compression = get32(&file[30]);
    if (planes != 1 || (bpp != 24 && bpp != 32) || compression != 0) {
        return kBadFormat;
    }
    const std::int64_t w = width;
    const std::int64_t h = height < 0 ? -std::int64_t{height} : std::int64_t{height};
    if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide) {
        return kBadFormat;
    }
    const std::int64_t pitch = ((w * bpp + 31) / 32) * 4;
    if (offset < 14 + headerSize ||
        std::uint64_t{offset} + std::uint64_t(pitch * h) > file.size()) {
        return kBadFormat;
    }
    view.pixels = file.data() + offset;
    view.width = static_cast<int>(w);
    view.height = static_cast<int>(h);
    view.pitch = static_cast<int>(pitch);
    view.bitsPerPixel = bpp;
    view.bottomUp = height > 0;
    return kOk;
}

}  // namespace

#ifdef _WIN32
#define TK_EXPORT __declspec(dllexport)
#else
#define TK_EXPORT __attribute__((visibility("default")))
#endif

extern "C" TK_EXPORT int BmpToJpg(const char* bmpPath, const char* jpgPath) {
    if (bmpPath == nullptr || jpgPath == nullptr || *bmpPath == '\0' || *jpgPath == '\0') {
        return kBadArguments;
    }
    std::vector<std::uint8_t> file;
    if (!readWholeFile(bmpPath, file)) {
        return kCannotRead;
    }
    BmpView view;
    if (const int rc = parseBmp(file, view); rc != kOk) {
        return rc;
    }

    tjhandle tj = tjInitCompress();
    if (tj == nullptr) {
        return kEncodeFailed;
    }
    unsigned char* jpeg = nullptr;
    unsigned long jpegSize = 0;
    const int format = view.bitsPerPixel == 32 ? TJPF_BGRX : TJPF_BGR;
    const int flags = (view.bottomUp ? TJFLAG_BOTTOMUP : 0) | TJFLAG_FASTDCT;
    const int rc = tjCompress2(tj, view.pixels, view.width, view.pitch, view.height, format, &jpeg,
                               &jpegSize, TJSAMP_420, kQuality, flags);
    int result = kOk;
    if (rc != 0 || jpeg == nullptr) {
        result = kEncodeFailed;
    } else if (!common::writeFileSafely(
                   jpgPath, std::string_view(reinterpret_cast<const char*>(jpeg), jpegSize))) {
        result = kCannotWrite;
    }
    tjFree(jpeg);
    tjDestroy(tj);
    return result;
}
