#pragma once
// Where a program keeps its settings file, writes its own files and finds the
// files shipped with it. Run from a build tree or any plain folder, it keeps
// everything beside itself (the per-user folders when that folder is not
// writable); installed under a prefix, it never writes beside itself.
// The rules are common; the system's folders are asked for in
// ProgramPathsPosix.cpp and, on Windows (%APPDATA%, Program Files), in
// win32/ProgramPathsWin32.cpp.

#include <string>

namespace common {

struct ProgramPaths {
    std::string programPath;   // absolute path of the running program file
    std::string programDir;    // its folder, with a trailing '/'
    std::string iniPath;       // settings file (beside the program or in the user's config folder)
    std::string dataDir;       // where the program writes its files, with a trailing '/'
    bool userFolders = false;  // true when the per-user folders are used
    bool installed = false;    // runs from <prefix>/bin of an installation
    std::string libDir;        // its private libraries, with a trailing '/'
    std::string shareDir;      // read-only files shipped with it, with a trailing '/'
    std::string picturesDir;   // per-user pictures folder of the program, trailing '/'
};

// The running program file (/proc/self/exe, the module file on Windows); empty when it cannot be
// read.
[[nodiscard]] std::string currentProgramPath();

// The settings file named after the program: its extension replaced by "ini",
// or ".ini" appended when the file name has none.
[[nodiscard]] std::string iniPathBeside(const std::string& programPath);

// An installation: the program's folder is the bin folder of a prefix that
// also holds the data folder (<prefix>/share). A build tree has no such
// sibling, and a program copied into a plain folder does not sit in "bin".
[[nodiscard]] bool isInstalledLayout(const std::string& programDir);

// The user's pictures folder: $XDG_PICTURES_DIR, else the entry of
// $XDG_CONFIG_HOME/user-dirs.dirs, else ~/Pictures; no trailing '/'.
[[nodiscard]] std::string userPicturesDir();

// Installed: the settings file is $XDG_CONFIG_HOME/<appName>/<appName>.ini,
// the data folder $XDG_DATA_HOME/<appName>/, whoever runs the program; the
// shipped files are in <prefix>/share/<appName>/ and the private libraries in
// <prefix>/lib/<appName>/ (the configured library folder). Otherwise:
// beside the program when its folder is writable; otherwise
// $XDG_CONFIG_HOME/<appName>/ (default ~/.config) for the settings file and
// $XDG_DATA_HOME/<appName>/ (default ~/.local/share) for the data, both
// created. A settings file shipped beside the program is copied to the user
// folder the first time, so its values are not lost. Shipped files and
// libraries are then looked up beside the program.
[[nodiscard]] ProgramPaths resolveProgramPaths(const std::string& programPath,
                                               const std::string& appName);

// The same with the writability of the program's folder given, not tested
// (the layout still is).
[[nodiscard]] ProgramPaths resolveProgramPaths(const std::string& programPath,
                                               const std::string& appName, bool programDirWritable);

}  // namespace common
