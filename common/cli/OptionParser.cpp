#include "common/cli/OptionParser.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

namespace common {
namespace {

// The option name an argument spells: dashes and "=VALUE" stripped.
QString nameOf(const QString& arg) {
    QString name = arg;
    while (name.startsWith(QLatin1Char('-'))) {
        name.remove(0, 1);
    }
    return name.section(QLatin1Char('='), 0, 0);
}

const CliOption* find(const std::vector<CliOption>& options, const QString& name) {
    for (const CliOption& o : options) {
        if (o.names.contains(name)) {
            return &o;
        }
    }
    return nullptr;
}

std::string unknown(const QString& arg) {
    return "unknown option: " + arg.toStdString() + " (see --help)";
}

// Words QCommandLineParser's failure as the programs always have.
std::string explainFailure(const QCommandLineParser& parser, const std::vector<CliOption>& options,
                           const QStringList& args) {
    const QStringList unknownNames = parser.unknownOptionNames();
    for (const QString& arg : args) {
        if (arg.startsWith(QLatin1Char('-')) && unknownNames.contains(nameOf(arg))) {
            return unknown(arg);
        }
    }
    // A value option as the last argument, without "=VALUE".
    if (!args.isEmpty()) {
        const QString& last = args.back();
        const CliOption* o = find(options, nameOf(last));
        if (o != nullptr && !o->valueName.isEmpty() && !last.contains(QLatin1Char('='))) {
            return last.toStdString() + " needs a value";
        }
    }
    // A switch given a value ("--run=1").
    for (const QString& arg : args) {
        const CliOption* o = find(options, nameOf(arg));
        if (o != nullptr && o->valueName.isEmpty() && arg.contains(QLatin1Char('='))) {
            return unknown(arg);
        }
    }
    return parser.errorText().toStdString() + " (see --help)";
}

}  // namespace

std::string parseOptions(const std::vector<CliOption>& options,
                         const std::vector<std::string>& args) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const CliOption& o : options) {
        QCommandLineOption option(o.names);
        if (!o.valueName.isEmpty()) {
            option.setValueName(o.valueName);
        }
        parser.addOption(option);
    }
    // QCommandLineParser takes the program name first.
    QStringList argv{QStringLiteral("program")};
    for (const std::string& a : args) {
        argv << QString::fromLocal8Bit(a.c_str());
    }
    if (!parser.parse(argv)) {
        return explainFailure(parser, options, argv.mid(1));
    }
    if (!parser.positionalArguments().isEmpty()) {
        return unknown(parser.positionalArguments().front());
    }
    for (const CliOption& o : options) {
        if (parser.isSet(o.names.front())) {
            o.apply(o.valueName.isEmpty() ? QString() : parser.value(o.names.front()));
        }
    }
    return {};
}

CliOption inputOption(InputBackend& backend, std::string& error) {
    return {{"input"}, "xtest|uinput", [&backend, &error](const QString& v) {
                if (const auto parsed = parseInputBackend(v.toStdString())) {
                    backend = *parsed;
                } else {
                    error = "--input must be xtest or uinput, not " + v.toStdString();
                }
            }};
}

}  // namespace common
