// A converter that writes the JPEG file and still reports a failure: the
// saver must go by the file it leaves, not by its result. With
// FAULTY_CONVERTER_WRITES_NOTHING set it reports success and writes nothing.

#include <cstdio>
#include <cstdlib>

extern "C" __attribute__((visibility("default"))) int BmpToJpg(const char* /*bmpPath*/,
                                                               const char* jpgPath) {
    if (std::getenv("FAULTY_CONVERTER_WRITES_NOTHING") != nullptr) {
        return 0;
    }
    std::FILE* f = std::fopen(jpgPath, "wb");
    if (f == nullptr) {
        return 2;
    }
    static const unsigned char kStartOfImage[] = {0xFF, 0xD8, 0xFF, 0xD9};
    std::fwrite(kStartOfImage, 1, sizeof kStartOfImage, f);
    std::fclose(f);
    return 1;
}
