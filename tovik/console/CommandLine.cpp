#include "tovik/console/CommandLine.h"

#include <cctype>
#include <charconv>
#include <sstream>
#include <utility>

#include "common/BuildInfo.h"
#include "common/cli/OptionParser.h"
#include "tovik/console/ControlIds.h"

namespace tovik {

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine cl;
    auto text = [](std::string& field) {
        return [&field](const QString& v) { field = v.toStdString(); };
    };
    auto flag = [](bool& field) { return [&field](const QString&) { field = true; }; };
    const std::vector<common::CliOption> options = {
        {{"camera"}, "SPEC", text(cl.camera)},
        {{"screen"},
         "NAME|INDEX",
         [&](const QString& v) {
             cl.screen = v.toStdString();
             // An empty name would silently mean the default monitor.
             if (cl.screen.empty()) {
                 cl.error = "--screen needs a monitor name or index";
             }
         }},
        {{"calibration-file"}, "PATH", text(cl.calibrationFile)},
        common::inputOption(cl.input, cl.error),
        {{"list-cameras"}, {}, flag(cl.listCameras)},
        {{"print-settings"}, {}, flag(cl.printSettings)},
        {{"help", "h"}, {}, flag(cl.help)},
        {{"version"}, {}, flag(cl.version)},
        {{"run"}, {}, flag(cl.run)},
        {{"print-messages"}, {}, flag(cl.printMessages)},
        {{"commands-from-stdin"}, {}, flag(cl.commandsFromStdin)},
    };
    // An option may refuse its value by setting cl.error (see --screen); a line
    // QCommandLineParser refuses applies nothing.
    if (std::string error = common::parseOptions(options, args); !error.empty()) {
        cl.error = std::move(error);
    }
    return cl;
}

std::string VersionText() {
    return std::string("tovik ") + common::kVersion + "\n";
}

std::string HelpText(const common::ProgramPaths& paths) {
    std::ostringstream out;
    out << "Usage: tovik [options]\n"
           "\n"
           "Makes a light pen seen by a camera act as the mouse.\n"
           "\n"
           "Options:\n"
           "  --camera SPEC            capture back end: v4l2 (default) or sim:OPTIONS\n"
           "                           (the simulated camera and pen)\n"
           "  --list-cameras           print one line per device: INDEX, NAME, SIZES@FPS\n"
           "                           (tab-separated) and exit\n"
           "  --screen NAME|INDEX      the projected monitor for this run (an RandR name\n"
           "                           such as HDMI-1, or 0, 1, ...); default: the\n"
           "                           settings file's \"Screen\", else the primary\n"
           "  --print-settings         print the settings file's path and values and exit\n"
           "  --input xtest|uinput     how the pen drives the pointer: XTest (X11\n"
           "                           sessions) or the kernel's uinput device (the\n"
           "                           default in a Wayland session; see the README)\n"
           "  --help                   print this text and exit\n"
           "  --version                print the version and exit\n"
           "\n"
           "Developer and test options:\n"
           "  --calibration-file PATH  start calibrated from an OpenCV YAML file:\n"
           "                             homography: 3x3 matrix, camera pixel to screen pixel\n"
           "                             window: [left, right, top, bottom] camera pixels\n"
           "                             auto_threshold: integer\n"
           "                             background: image file (relative to the YAML), or\n"
           "                             background_grey: 0..255 with optional\n"
           "                             frame_size: [width, height] (default: the camera's)\n"
           "  --run                    press Run as soon as the console is up\n"
           "  --print-messages         write message boxes to stderr, answered with OK\n"
           "  --commands-from-stdin    read console commands from stdin, one per line:\n"
           "                           a command number, or run, pause, show, hide, exit\n"
           "\n"
           "Environment:\n"
           "  TOVIK_EVENT_LOG=PATH     record each tracked frame, pointer event and\n"
           "                           completed calibration in PATH (one line each)\n"
           "\n"
           "Files:\n"
           "  settings file:      "
        << paths.iniPath
        << "\n"
           "  calibration files:  "
        << paths.dataDir
        << " (Gg.bmp, calibTouch*.bmp, ManCalib.bmp, HomographyMat.txt)\n"
           "The settings file lies beside the program and calibration files are written\n"
           "there too; when the program is installed (in <prefix>/bin) or its folder is\n"
           "not writable they go to the per-user folders instead:\n"
           "$XDG_CONFIG_HOME/tovik/ (default ~/.config/tovik/) for the\n"
           "settings and $XDG_DATA_HOME/tovik/ (default ~/.local/share/tovik/) for the\n"
           "calibration files.\n";
    if (paths.installed) {
        out << "(An installed program never writes beside itself: the per-user folders are in "
               "use.)\n";
    } else if (paths.userFolders) {
        out << "(The program's folder is not writable: the per-user folders are in use.)\n";
    }
    return out.str();
}

int ParseConsoleCommand(const std::string& line) {
    std::string t;
    for (const char c : line) {
        if (!std::isspace(static_cast<unsigned char>(c))) {
            t += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    if (t == "run") {
        return ids::Run;
    }
    if (t == "pause" || t == "continue") {
        return ids::Pause;
    }
    if (t == "show") {
        return ids::ShowConsole;
    }
    if (t == "hide") {
        return ids::Minimize;
    }
    if (t == "exit") {
        return ids::Exit;
    }
    int n = 0;
    const auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), n);
    if (t.empty() || ec != std::errc() || p != t.data() + t.size() || n <= 0) {
        return 0;
    }
    return n;
}

}  // namespace tovik
