// A converter that writes the JPEG file and still reports a failure: the
// saver must go by the file it leaves, not by its result. With
// FAULTY_CONVERTER_WRITES_NOTHING set it reports success and writes nothing.

#include <cstdlib>
#include <fstream>

extern "C" __attribute__((visibility("default"))) int BmpToJpg(const char* /*bmpPath*/,
                                                               const char* jpgPath) {
    if (std::getenv("FAULTY_CONVERTER_WRITES_NOTHING") != nullptr) {
        return 0;
    }
    std::ofstream(jpgPath, std::ios::binary) << "\xFF\xD8\xFF\xD9";  // start and end of image
    return 1;
}
