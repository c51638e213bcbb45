#pragma once
// A fresh folder per test, removed with everything in it afterwards.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <stdlib.h>
#ifdef _WIN32
#include <process.h>
#endif

namespace tktest {

class TempDir {
public:
    TempDir() {
#ifdef _WIN32
        // No mkdtemp: a new folder named by the process and a counter.
        static int serial = 0;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const std::filesystem::path dir =
                std::filesystem::temp_directory_path() /
                ("tk-common-" + std::to_string(::_getpid()) + "-" + std::to_string(serial++));
            std::error_code ec;
            if (std::filesystem::create_directory(dir, ec)) {
                path_ = dir.generic_string();
            }
        }
#else
        std::string tmpl = (std::filesystem::temp_directory_path() / "tk-common-XXXXXX").string();
        if (::mkdtemp(tmpl.data()) != nullptr) {
            path_ = tmpl;
        }
#endif
    }
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) {
            std::filesystem::remove_all(path_, ec);
        }
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    [[nodiscard]] const std::string& path() const {
        return path_;
    }
    [[nodiscard]] std::string file(const std::string& name) const {
        return path_ + "/" + name;
    }

private:
    std::string path_;
};

inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace tktest
