#include "tovik/console/CommandLine.h"

#include <cctype>
#include <charconv>
#include <sstream>

#include "tovik/console/ControlIds.h"

namespace tovik {

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine cl;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            const std::string prefix = a.substr(0, a.find('=')) + "=";
            if (a.find('=') != std::string::npos) {
                out = a.substr(prefix.size());
                return true;
            }
            if (i + 1 >= args.size()) {
                cl.error = a + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        const std::string name = a.substr(0, a.find('='));
        if (name == "--camera") {
            if (!value(cl.camera)) {
                return cl;
            }
        } else if (name == "--screen") {
            if (!value(cl.screen)) {
                return cl;
            }
            if (cl.screen.empty()) {
                cl.error = "--screen needs a monitor name or index";
                return cl;
            }
        } else if (name == "--calibration-file") {
            if (!value(cl.calibrationFile)) {
                return cl;
            }
        } else if (a == "--list-cameras") {
            cl.listCameras = true;
        } else if (a == "--print-settings") {
            cl.printSettings = true;
        } else if (a == "--help" || a == "-h") {
            cl.help = true;
        } else if (a == "--run") {
            cl.run = true;
        } else if (a == "--print-messages") {
            cl.printMessages = true;
        } else if (a == "--commands-from-stdin") {
            cl.commandsFromStdin = true;
        } else {
            cl.error = "unknown option: " + a + " (see --help)";
            return cl;
        }
    }
    return cl;
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
           "  --list-cameras           print one line per device: INDEX, NAME, SIZES\n"
           "                           (tab-separated) and exit\n"
           "  --screen NAME|INDEX      the projected monitor for this run (an RandR name\n"
           "                           such as HDMI-1, or 0, 1, ...); default: the\n"
           "                           settings file's \"Screen\", else the primary\n"
           "  --print-settings         print the settings file's path and values and exit\n"
           "  --help                   print this text and exit\n"
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
           "there too; when the program's folder is not writable they go to the per-user\n"
           "folders instead: $XDG_CONFIG_HOME/tovik/ (default ~/.config/tovik/) for the\n"
           "settings and $XDG_DATA_HOME/tovik/ (default ~/.local/share/tovik/) for the\n"
           "calibration files.\n";
    if (paths.userFolders) {
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
