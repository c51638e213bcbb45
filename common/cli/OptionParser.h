#pragma once
// Command-line options of both programs, parsed by QCommandLineParser from a
// table, with errors worded the same way in both.

#include <QString>
#include <QStringList>

#include <functional>
#include <string>
#include <vector>

#include "common/platform/InputBackend.h"

namespace common {

// One option: its names without dashes ({"help", "h"}), the name of its value
// (empty for a switch) and what it does when given. For an option given more
// than once, the last value counts. An option that refuses its value records
// the error in the caller's own result (see tovik's --screen).
struct CliOption {
    QStringList names;
    QString valueName;
    std::function<void(const QString& value)> apply;
};

// --input of both programs: xtest or uinput into `backend`; another value
// records the error.
[[nodiscard]] CliOption inputOption(InputBackend& backend, std::string& error);

// Parses the arguments (without the program name) and applies every option
// given, in the order of the table. Both "--name" and "-name" are accepted,
// values as "--name VALUE" or "--name=VALUE". Returns an empty string on
// success; otherwise nothing is applied and the result is the error:
// "unknown option: ARG (see --help)" or "ARG needs a value".
[[nodiscard]] std::string parseOptions(const std::vector<CliOption>& options,
                                       const std::vector<std::string>& args);

}  // namespace common
