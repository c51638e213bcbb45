#pragma once
// What ProgramPaths.cpp asks of the operating system: the per-user folders,
// where an installation keeps its files, and whether a folder can be
// written. ProgramPathsPosix.cpp answers for Linux (XDG), win32/
// ProgramPathsWin32.cpp for Windows (%APPDATA%, Program Files). Paths are
// UTF-8 with '/' separators on both.

#include <filesystem>
#include <string>

#include "common/ini/ProgramPaths.h"

namespace common::paths {

[[nodiscard]] inline std::string fileNameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

[[nodiscard]] inline std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

[[nodiscard]] inline std::string withSlash(std::string dir) {
    if (!dir.empty() && dir.back() != '/') {
        dir += '/';
    }
    return dir;
}

// A UTF-8 path as the system's file calls take it.
[[nodiscard]] inline std::filesystem::path fsPath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// Whether the program may make files in `dir`.
[[nodiscard]] bool writableDir(const std::string& dir);

// The name of the program's own per-user folders for `app`.
[[nodiscard]] std::string appFolderName(const std::string& app);

// The program's per-user folders for settings and for its data, created,
// with a trailing '/' (they may be one folder).
struct UserDirs {
    std::string config;
    std::string data;
};
[[nodiscard]] UserDirs makeUserDirs(const std::string& appFolder);

// Sets the private-library and shipped-file folders of an installed program.
void placeInstalledFiles(ProgramPaths& p, const std::string& appFolder);

}  // namespace common::paths
