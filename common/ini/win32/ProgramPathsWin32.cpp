// The Windows side of ProgramPaths. Run from a build folder or a plain folder
// the programs keep everything beside themselves, as on Linux; installed under
// Program Files (which users may not write) the settings and the programs'
// own files go to %APPDATA%\Tovik\ and %APPDATA%\Kalvo\, and the files
// shipped with them stay beside the program.

// windows.h first: the other system headers build on it.
#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <cwctype>

#include "common/ini/ProgramPathsOs.h"
#include "common/ini/win32/WidePath.h"

namespace common {

using paths::withSlash;

namespace {

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

std::string lower(const std::string& s) {
    std::wstring w = widePath(s);
    for (wchar_t& c : w) {
        c = static_cast<wchar_t>(std::towlower(c));
    }
    return utf8Path(w);
}

}  // namespace

// Whether a file can be made in the folder: the one reliable test, since the
// access rights of Program Files are lists that a permission bit cannot show.
bool paths::writableDir(const std::string& dir) {
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

// "tovik" -> "Tovik": the folder names Windows users see.
std::string paths::appFolderName(const std::string& app) {
    std::string name = app;
    if (!name.empty() && name[0] >= 'a' && name[0] <= 'z') {
        name[0] = static_cast<char>(name[0] - 'a' + 'A');
    }
    return name;
}

// Settings and data share one folder, as Windows programs keep them.
paths::UserDirs paths::makeUserDirs(const std::string& appFolder) {
    const std::string dir = withSlash(appDataDir()) + appFolder + "/";
    std::error_code ec;
    std::filesystem::create_directories(fsPath(dir), ec);
    return {dir, dir};
}

// The shipped files and libraries stay beside the installed program.
void paths::placeInstalledFiles(ProgramPaths&, const std::string&) {}

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

}  // namespace common
