#pragma once
// Kalvo's command line. To add an option: a field here, one row in the table
// of ParseCommandLine and its line in HelpText.

#include <string>
#include <vector>

#include "common/ini/ProgramPaths.h"
#include "common/platform/InputBackend.h"

namespace kalvo {

struct CommandLine {
    bool help = false;                                             // --help, -h
    bool version = false;                                          // --version
    common::InputBackend input = common::InputBackend::Automatic;  // --input xtest|uinput
    std::string error;  // set when the arguments are not understood
};

[[nodiscard]] CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The --help text, naming the preferences file and the files Kalvo uses.
[[nodiscard]] std::string HelpText(const common::ProgramPaths& paths);

// The --version text: program name and the project's version.
[[nodiscard]] std::string VersionText();

}  // namespace kalvo
