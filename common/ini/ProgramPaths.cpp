#include "common/ini/ProgramPaths.h"

#include <fstream>
#include <sstream>
#include <system_error>

#include "common/ini/ProgramPathsOs.h"
#include "common/ini/SafeWrite.h"

namespace common {

using paths::fileNameOf;
using paths::folderOf;

namespace {

void copyIfMissing(const std::string& from, const std::string& to) {
    std::error_code ec;
    if (std::filesystem::exists(paths::fsPath(to), ec)) {
        return;
    }
    std::ifstream in(paths::fsPath(from), std::ios::binary);
    std::ostringstream bytes;
    if (in && bytes << in.rdbuf()) {
        (void)writeFileSafely(to, bytes.str());
    }
}

}  // namespace

std::string iniPathBeside(const std::string& programPath) {
    const std::string name = fileNameOf(programPath);
    const std::size_t dot = name.rfind('.');
    // A leading dot names a hidden file, not an extension.
    if (dot == std::string::npos || dot == 0) {
        return programPath + ".ini";
    }
    return programPath.substr(0, programPath.size() - (name.size() - dot - 1)) + "ini";
}

ProgramPaths resolveProgramPaths(const std::string& programPath, const std::string& appName) {
    return resolveProgramPaths(programPath, appName, paths::writableDir(folderOf(programPath)));
}

ProgramPaths resolveProgramPaths(const std::string& programPath, const std::string& appName,
                                 bool programDirWritable) {
    ProgramPaths p;
    p.programPath = programPath;
    p.programDir = folderOf(programPath);
    p.iniPath = iniPathBeside(programPath);
    p.dataDir = p.programDir;
    p.libDir = p.programDir;
    p.shareDir = p.programDir;
    const std::string app =
        paths::appFolderName(appName.empty() ? fileNameOf(programPath) : appName);
    p.picturesDir = userPicturesDir() + "/" + app + "/";
    p.installed = isInstalledLayout(p.programDir);
    if (p.installed) {
        paths::placeInstalledFiles(p, app);
    } else if (programDirWritable) {
        return p;
    }

    p.userFolders = true;
    const paths::UserDirs user = paths::makeUserDirs(app);
    p.dataDir = user.data;
    const std::string besideIni = p.iniPath;
    p.iniPath = user.config + fileNameOf(besideIni);
    if (!p.installed) {
        copyIfMissing(besideIni, p.iniPath);
    }
    return p;
}

}  // namespace common
