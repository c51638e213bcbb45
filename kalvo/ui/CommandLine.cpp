#include "kalvo/ui/CommandLine.h"

#include <utility>

#include "common/BuildInfo.h"
#include "common/cli/OptionParser.h"
#include "kalvo/core/BoardSaver.h"
#include "kalvo/core/DocumentDump.h"
#include "kalvo/core/ExternalTools.h"

namespace kalvo {

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine cl;
    auto flag = [](bool& field) { return [&field](const QString&) { field = true; }; };
    const std::vector<common::CliOption> options = {
        {{"help", "h"}, {}, flag(cl.help)},
        {{"version"}, {}, flag(cl.version)},
        common::inputOption(cl.input, cl.error),
    };
    // An option may refuse its value by setting cl.error; a line QCommandLineParser
    // refuses applies nothing.
    if (std::string error = common::parseOptions(options, args); !error.empty()) {
        cl.error = std::move(error);
    }
    return cl;
}

std::string HelpText(const common::ProgramPaths& paths) {
    const std::string shipped = paths.shareDir.empty() ? paths.programDir : paths.shareDir;
    const std::string libs = paths.libDir.empty() ? paths.programDir : paths.libDir;
    return "Usage: kalvo [--input xtest|uinput] [--help] [--version]\n"
           "Draw over the screen or on a whiteboard from a floating toolbar.\n\n"
           "  --input xtest|uinput  how page keys reach a presentation: XTest (X11\n"
           "                        sessions) or the kernel's uinput device (the\n"
           "                        default in a Wayland session; see the README)\n\n"
           "Preferences: " +
           paths.iniPath + "\nHelp page:   " + shipped + ExternalTools::kHelpPage +
           "\nConverter:   " + libs + BoardSaver::kConverterLibrary +
           "\nEnvironment: " + kDumpDocumentVariable +
           "=PATH rewrites PATH with the document's segments\n"
           "             (24 bytes each, in screen pixels) after every change.\n";
}

std::string VersionText() {
    return std::string("kalvo ") + common::kVersion + "\n";
}

}  // namespace kalvo
