#pragma once
// The on-screen keyboard and the help page, started through the platform's
// launcher. Failures are silent: callers get a result and may ignore it.

#include <string>
#include <string_view>
#include <vector>

#include "common/ini/IniFile.h"
#include "common/platform/ShellLauncher.h"

namespace kalvo {

// Splits a command line into words without a shell: blanks separate words,
// single quotes keep everything literal, double quotes and backslashes work
// as in a POSIX shell. An unterminated quote runs to the end of the text.
[[nodiscard]] std::vector<std::string> splitCommandLine(std::string_view line);

class ExternalTools {
public:
#ifdef _WIN32
    // The system's on-screen keyboard and the help file beside the program,
    // both through the shell.
    static constexpr const char* kDefaultKeyboard = "osk.exe";
    static constexpr const char* kHelpPage = "help.mht";
#else
    static constexpr const char* kDefaultKeyboard = "onboard";
    static constexpr const char* kHelpPage = "help/help.html";
#endif

    // programFolder: where the help folder is shipped (with or without '/'):
    // the program's folder, or the shared data folder of an installed program.
    ExternalTools(common::ShellLauncher& shell, std::string programFolder,
                  std::vector<std::string> keyboardCommand = {kDefaultKeyboard});
    ~ExternalTools();  // stops the keyboards it started
    ExternalTools(const ExternalTools&) = delete;
    ExternalTools& operator=(const ExternalTools&) = delete;

    // Section "TOOLS", key "KEYBOARD"; "onboard" when missing or blank.
    [[nodiscard]] static std::vector<std::string> keyboardCommandFromIni(
        const common::IniFile& ini);

    // Starts the keyboard program; false when it could not be started.
    bool startKeyboard();
    // Stops every keyboard process started here (also done at destruction).
    void stopKeyboard();
    // Opens the help page with the desktop's viewer.
    bool openHelp();

    [[nodiscard]] std::string helpPath() const {
        return programFolder_ + kHelpPage;
    }
    [[nodiscard]] const std::vector<std::string>& keyboardCommand() const {
        return keyboard_;
    }

private:
    common::ShellLauncher& shell_;
    std::string programFolder_;
    std::vector<std::string> keyboard_;
    std::vector<long> started_;
};

}  // namespace kalvo
