#pragma once
// Where a program keeps its settings file and writes its own files: beside
// the program, or in the per-user folders when the program's folder is not
// writable.

#include <string>

namespace common {

struct ProgramPaths {
    std::string programPath;   // absolute path of the running program file
    std::string programDir;    // its folder, with a trailing '/'
    std::string iniPath;       // settings file (beside the program or in the user's config folder)
    std::string dataDir;       // where the program writes its files, with a trailing '/'
    bool userFolders = false;  // true when the per-user folders are used
};

// The running program file (/proc/self/exe); empty when it cannot be read.
[[nodiscard]] std::string currentProgramPath();

// The settings file named after the program: its extension replaced by "ini",
// or ".ini" appended when the file name has none.
[[nodiscard]] std::string iniPathBeside(const std::string& programPath);

// Beside the program when its folder is writable; otherwise
// $XDG_CONFIG_HOME/<appName>/ (default ~/.config) for the settings file and
// $XDG_DATA_HOME/<appName>/ (default ~/.local/share) for the data, both
// created. A settings file shipped beside the program is copied to the user
// folder the first time, so its values are not lost.
[[nodiscard]] ProgramPaths resolveProgramPaths(const std::string& programPath,
                                               const std::string& appName);

// The same with the writability of the program's folder given, not tested.
[[nodiscard]] ProgramPaths resolveProgramPaths(const std::string& programPath,
                                               const std::string& appName, bool programDirWritable);

}  // namespace common
