// Where the Windows programs keep their files. Run from a build folder or a
// plain folder they keep everything beside themselves, as on Linux; installed
// under Program Files (which users may not write) the settings and the
// programs' own files go to %APPDATA%\Tovik\ and %APPDATA%\Kalvo\, and the
// files shipped with them stay beside the program.

// windows.h first: the other system headers build on it.
#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <cwctype>
#include <fstream>
#include <sstream>

#include "common/ini/ProgramPaths.h"
#include "common/ini/SafeWrite.h"
#include "common/ini/win32/WidePath.h"

namespace common {

namespace {

std::string fileNameOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string folderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

std::string withSlash(std::string dir) {
    if (!dir.empty() && dir.back() != '/') {
        dir += '/';
    }
    return dir;
}

std::string knownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    std::string out;
    if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_CREATE, nullptr, &path)) && path) {
        out = utf8Path(path);
    }
    CoTaskMemFree(path);
    return out;
}

// %APPDATA%: the variable when set (the tests point it elsewhere), else the
// shell's roaming application-data folder.
std::string appDataDir() {
    if (const wchar_t* v = _wgetenv(L"APPDATA"); v && *v) {
        return utf8Path(v);
    }
    return knownFolder(FOLDERID_RoamingAppData);
}

bool exists(const std::string& path) {
    return GetFileAttributesW(widePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Whether a file can be made in the folder: the one reliable test, since the
// access rights of Program Files are lists that a permission bit cannot show.
bool writableDir(const std::string& dir) {
    const std::wstring probe =
        widePath(dir + ".tk-write-probe-" + std::to_string(GetCurrentProcessId()));
    HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(h);
    return true;
}

std::string lower(const std::string& s) {
    std::wstring w = widePath(s);
    for (wchar_t& c : w) {
        c = static_cast<wchar_t>(std::towlower(c));
    }
    return utf8Path(w);
}

void copyIfMissing(const std::string& from, const std::string& to) {
    if (exists(to) || !exists(from)) {
        return;
    }
    std::ifstream in(widePath(from).c_str(), std::ios::binary);
    std::ostringstream bytes;
    if (in && bytes << in.rdbuf()) {
        (void)writeFileSafely(to, bytes.str());
    }
}

// "tovik" -> "Tovik": the folder names Windows users see.
std::string folderName(std::string app) {
    if (!app.empty() && app[0] >= 'a' && app[0] <= 'z') {
        app[0] = static_cast<char>(app[0] - 'a' + 'A');
    }
    return app;
}

}  // namespace

std::string currentProgramPath() {
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) {
            return {};
        }
        if (n < buf.size()) {
            buf.resize(n);
            return utf8Path(buf);  // with '/' separators, as every path here
        }
        buf.resize(buf.size() * 2);
    }
}

std::string iniPathBeside(const std::string& programPath) {
    const std::string name = fileNameOf(programPath);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) {
        return programPath + ".ini";
    }
    return programPath.substr(0, programPath.size() - (name.size() - dot - 1)) + "ini";
}

bool isInstalledLayout(const std::string& programDir) {
    const std::string dir = lower(withSlash(programDir));
    for (const wchar_t* variable : {L"ProgramFiles", L"ProgramW6432", L"ProgramFiles(x86)"}) {
        const wchar_t* v = _wgetenv(variable);
        if (v && *v) {
            const std::string base = lower(withSlash(utf8Path(v)));
            if (dir.size() > base.size() && dir.compare(0, base.size(), base) == 0) {
                return true;
            }
        }
    }
    return false;
}

std::string userPicturesDir() {
    std::string dir = knownFolder(FOLDERID_Pictures);
    if (dir.empty()) {
        if (const wchar_t* profile = _wgetenv(L"USERPROFILE"); profile && *profile) {
            dir = utf8Path(profile) + "/Pictures";
        }
    }
    while (dir.size() > 1 && dir.back() == '/') {
        dir.pop_back();
    }
    return dir;
}

ProgramPaths resolveProgramPaths(const std::string& programPath, const std::string& appName) {
    return resolveProgramPaths(programPath, appName, writableDir(folderOf(programPath)));
}

ProgramPaths resolveProgramPaths(const std::string& programPath, const std::string& appName,
                                 bool programDirWritable) {
    ProgramPaths p;
    p.programPath = programPath;
    p.programDir = folderOf(programPath);
    p.iniPath = iniPathBeside(programPath);
    p.dataDir = p.programDir;
    p.libDir = p.programDir;
    p.shareDir = p.programDir;  // shipped files stay beside the program
    const std::string app = folderName(appName.empty() ? fileNameOf(programPath) : appName);
    p.picturesDir = userPicturesDir() + "/" + app + "/";
    p.installed = isInstalledLayout(p.programDir);
    if (!p.installed && programDirWritable) {
        return p;
    }
    p.userFolders = true;
    p.dataDir = withSlash(appDataDir()) + app + "/";
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(widePath(p.dataDir)), ec);
    const std::string besideIni = p.iniPath;
    p.iniPath = p.dataDir + fileNameOf(besideIni);
    if (!p.installed) {
        copyIfMissing(besideIni, p.iniPath);
    }
    return p;
}

}  // namespace common
