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

// Test paths are UTF-8 strings, as the programs' are.
inline std::filesystem::path fsPath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

class TempDir {
public:
    TempDir() : TempDir("tk-common-") {}
    // The folder's name starts with `prefix` (UTF-8).
    explicit TempDir(const std::string& prefix) {
#ifdef _WIN32
        // No mkdtemp: a new folder named by the process and a counter.
        static int serial = 0;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const std::filesystem::path dir =
                std::filesystem::temp_directory_path() /
                fsPath(prefix + std::to_string(::_getpid()) + "-" + std::to_string(serial++));
            std::error_code ec;
            if (std::filesystem::create_directory(dir, ec)) {
                const std::u8string utf8 = dir.generic_u8string();
                path_.assign(utf8.begin(), utf8.end());
            }
        }
#else
        std::string tmpl = (std::filesystem::temp_directory_path() / (prefix + "XXXXXX")).string();
        if (::mkdtemp(tmpl.data()) != nullptr) {
            path_ = tmpl;
        }
#endif
    }
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) {
            std::filesystem::remove_all(fsPath(path_), ec);
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
    std::ofstream out(fsPath(path), std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline std::string readBytes(const std::string& path) {
    std::ifstream in(fsPath(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace tktest
