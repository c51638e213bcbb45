#pragma once
// Shared by the fuzz targets: FUZZ_CHECK reports a property that does not
// hold and ends with abort(), so libFuzzer keeps the input as a finding; a
// scratch folder for targets that go through real files.

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#define FUZZ_CHECK(cond)                                                                     \
    do {                                                                                     \
        if (!(cond)) {                                                                       \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                    \
        }                                                                                    \
    } while (false)

namespace fuzzsupport {

// Names of the entries of `dir`, without "." and "..".
inline std::vector<std::string> listDir(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            const std::string n = e->d_name;
            if (n != "." && n != "..") {
                names.push_back(n);
            }
        }
        ::closedir(d);
    }
    return names;
}

inline void removeDir(const std::string& dir) {
    for (const std::string& n : listDir(dir)) {
        ::unlink((dir + "/" + n).c_str());
    }
    ::rmdir(dir.c_str());
}

// One folder per process, in memory where /dev/shm exists; emptied by the
// caller after each input and removed at exit.
inline const std::string& scratchDir() {
    static const std::string dir = [] {
        std::string tmpl =
            (::access("/dev/shm", W_OK) == 0 ? std::string("/dev/shm") : std::string("/tmp")) +
            "/tk-fuzz-XXXXXX";
        if (::mkdtemp(tmpl.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        static std::string atExit = tmpl;
        std::atexit([] { removeDir(atExit); });
        return tmpl;
    }();
    return dir;
}

inline void clearDir(const std::string& dir) {
    for (const std::string& n : listDir(dir)) {
        ::unlink((dir + "/" + n).c_str());
    }
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

}  // namespace fuzzsupport
