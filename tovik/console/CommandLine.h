#pragma once
// Tovik's command line. To add an option: a field here, one row in the table
// of ParseCommandLine and its line in HelpText.

#include <string>
#include <vector>

#include "common/ini/ProgramPaths.h"
#include "common/platform/InputBackend.h"

namespace tovik {

struct CommandLine {
    std::string camera = "v4l2";     // --camera SPEC
    std::string screen;              // --screen NAME|INDEX
    bool listCameras = false;        // --list-cameras
    bool printSettings = false;      // --print-settings
    bool help = false;               // --help, -h
    bool version = false;            // --version
    std::string calibrationFile;     // --calibration-file PATH
    bool run = false;                // --run: press Run once the console is up
    bool printMessages = false;      // --print-messages: messages to stderr, answered OK
    bool commandsFromStdin = false;  // --commands-from-stdin
    common::InputBackend input = common::InputBackend::Automatic;  // --input xtest|uinput
    std::string error;  // set when the arguments are not understood
};

[[nodiscard]] CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The --version text: program name and the project's version.
[[nodiscard]] std::string VersionText();

// The --help text, naming where the settings and calibration files live.
[[nodiscard]] std::string HelpText(const common::ProgramPaths& paths);

// A line of --commands-from-stdin: a command number, or run, pause, show,
// hide, exit; 0 when the line is none of them.
[[nodiscard]] int ParseConsoleCommand(const std::string& line);

}  // namespace tovik
