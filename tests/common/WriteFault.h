#pragma once
// A disk that fills, or a folder that refuses files, for the length of a scope:
// every write through common::writeFileSafely fails with `error` once
// `bytesBefore` bytes of the file have gone out (0: no file can be created);
// the first `writesBefore` writes pass.

#include <cstddef>
#include <filesystem>
#include <iterator>
#include <string>

#include "common/ini/SafeWrite.h"

namespace tktest {

class ScopedWriteFault {
public:
    ScopedWriteFault(std::size_t bytesBefore, int error, std::size_t writesBefore = 0) {
        common::injectWriteFault(bytesBefore, error, writesBefore);
    }
    ~ScopedWriteFault() { common::clearWriteFault(); }
    ScopedWriteFault(const ScopedWriteFault&) = delete;
    ScopedWriteFault& operator=(const ScopedWriteFault&) = delete;
};

// Names in a folder, so a test can see that no temporary file was left.
inline std::size_t entryCount(const std::string& dir) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir), {}));
}

}  // namespace tktest
