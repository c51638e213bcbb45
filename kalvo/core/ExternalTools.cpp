#include "kalvo/core/ExternalTools.h"

namespace kalvo {

std::vector<std::string> splitCommandLine(std::string_view line) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    enum class Quote { None, Single, Double } quote = Quote::None;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quote == Quote::Single) {
            if (c == '\'') {
                quote = Quote::None;
            } else {
                word += c;
            }
            continue;
        }
        if (quote == Quote::Double) {
            if (c == '"') {
                quote = Quote::None;
            } else if (c == '\\' && i + 1 < line.size() &&
                       (line[i + 1] == '"' || line[i + 1] == '\\' || line[i + 1] == '$' ||
                        line[i + 1] == '`')) {
                word += line[++i];
            } else {
                word += c;
            }
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            if (inWord) {
                words.push_back(std::move(word));
                word.clear();
                inWord = false;
            }
            continue;
        }
        inWord = true;
        if (c == '\'') {
            quote = Quote::Single;
        } else if (c == '"') {
            quote = Quote::Double;
        } else if (c == '\\' && i + 1 < line.size()) {
            word += line[++i];
        } else {
            word += c;
        }
    }
    if (inWord) {
        words.push_back(std::move(word));
    }
    return words;
}

ExternalTools::ExternalTools(common::ShellLauncher& shell, std::string programFolder,
                             std::vector<std::string> keyboardCommand)
    : shell_(shell),
      programFolder_(std::move(programFolder)),
      keyboard_(std::move(keyboardCommand)) {
    if (!programFolder_.empty() && programFolder_.back() != '/') {
        programFolder_ += '/';
    }
}

ExternalTools::~ExternalTools() {
    stopKeyboard();
}

std::vector<std::string> ExternalTools::keyboardCommandFromIni(const common::IniFile& ini) {
    std::vector<std::string> words =
        splitCommandLine(ini.getString("TOOLS", "KEYBOARD", kDefaultKeyboard));
    if (words.empty()) {
        words.emplace_back(kDefaultKeyboard);
    }
    return words;
}

bool ExternalTools::startKeyboard() {
    if (keyboard_.empty()) {
        return false;
    }
    const long pid = shell_.start(keyboard_);
    if (pid < 0) {
        return false;
    }
    started_.push_back(pid);
    return true;
}

void ExternalTools::stopKeyboard() {
    for (const long pid : started_) {
        shell_.stop(pid);
    }
    started_.clear();
}

bool ExternalTools::openHelp() {
    return shell_.openDocument(helpPath());
}

}  // namespace kalvo
