// The Linux side of ProgramPaths: /proc/self/exe, the XDG base folders, an
// installation as <prefix>/bin beside <prefix>/share.

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "common/BuildInfo.h"
#include "common/ini/ProgramPathsOs.h"

namespace common {

using paths::fileNameOf;
using paths::withSlash;

namespace {

std::string homeDir() {
    if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
        return home;
    }
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
        return pw->pw_dir;
    }
    return "/tmp";
}

// An XDG base folder: the variable when it holds an absolute path, otherwise
// the default under the home folder.
std::string xdgBase(const char* variable, const char* fallbackUnderHome) {
    if (const char* v = std::getenv(variable); v && v[0] == '/') {
        return v;
    }
    return homeDir() + "/" + fallbackUnderHome;
}

bool makeDirs(const std::string& dir) {
    std::string partial;
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = dir.find('/', pos + 1);
        partial = dir.substr(0, pos);
        if (partial.empty()) {
            continue;
        }
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
    }
    struct stat st {};
    return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The value of one entry of user-dirs.dirs (KEY="$HOME/Pictures"), with $HOME
// expanded; empty when the file or the entry is missing.
std::string userDirsEntry(const std::string& file, const std::string& key) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key + "=", 0) != 0) {
            continue;
        }
        std::string value = line.substr(key.size() + 1);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        if (value.rfind("$HOME", 0) == 0) {
            value = homeDir() + value.substr(5);
        }
        return value.empty() || value[0] != '/' ? std::string() : value;
    }
    return {};
}

}  // namespace

bool paths::writableDir(const std::string& dir) {
    return ::access(dir.c_str(), W_OK | X_OK) == 0;
}

std::string paths::appFolderName(const std::string& app) {
    return app;
}

paths::UserDirs paths::makeUserDirs(const std::string& appFolder) {
    UserDirs dirs{xdgBase("XDG_CONFIG_HOME", ".config") + "/" + appFolder + "/",
                  xdgBase("XDG_DATA_HOME", ".local/share") + "/" + appFolder + "/"};
    makeDirs(dirs.config);
    makeDirs(dirs.data);
    return dirs;
}

void paths::placeInstalledFiles(ProgramPaths& p, const std::string& appFolder) {
    // <prefix>/lib/kalvo/, not <prefix>/bin/../lib/kalvo/: the paths are shown to users.
    const auto below = [&](const char* relative) {
        return withSlash(std::filesystem::path(p.programDir + relative + "/" + appFolder)
                             .lexically_normal()
                             .string());
    };
    p.libDir = below(kInstallBinToLib);
    p.shareDir = below(kInstallBinToData);
}

std::string currentProgramPath() {
    std::vector<char> buf(4096);
    for (;;) {
        ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) {
            return {};
        }
        if (static_cast<std::size_t>(n) < buf.size()) {
            return std::string(buf.data(), static_cast<std::size_t>(n));
        }
        buf.resize(buf.size() * 2);
    }
}

bool isInstalledLayout(const std::string& programDir) {
    std::string dir = programDir;
    while (dir.size() > 1 && dir.back() == '/') {
        dir.pop_back();
    }
    return fileNameOf(dir) == kInstallBinDirName && isDirectory(withSlash(dir) + kInstallBinToData);
}

std::string userPicturesDir() {
    std::string dir;
    if (const char* v = std::getenv("XDG_PICTURES_DIR"); v && v[0] == '/') {
        dir = v;
    } else {
        dir = userDirsEntry(xdgBase("XDG_CONFIG_HOME", ".config") + "/user-dirs.dirs",
                            "XDG_PICTURES_DIR");
    }
    if (dir.empty()) {
        dir = homeDir() + "/Pictures";
    }
    while (dir.size() > 1 && dir.back() == '/') {
        dir.pop_back();
    }
    return dir;
}

}  // namespace common
