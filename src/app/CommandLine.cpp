#include "CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

namespace rubbly {

namespace {

QTextStream& out() {
    static QTextStream stream(stdout);
    return stream;
}

QTextStream& err() {
    static QTextStream stream(stderr);
    return stream;
}

const char* const kCommandsHelp = "Commands:\n"
                                  "  (none)                       start the tray application\n";

} // namespace

int runCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Rubbly looks after your Trash and your caches.\n\n") +
                                     QLatin1String(kCommandsHelp));
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("What to do; see Commands."),
                                 QStringLiteral("[command]"));

    if (!parser.parse(arguments)) {
        err() << parser.errorText() << "\n" << Qt::flush;
        return ExitUsage;
    }
    if (parser.isSet(help)) {
        out() << parser.helpText() << Qt::flush;
        return ExitSuccess;
    }
    if (parser.isSet(version)) {
        out() << QCoreApplication::applicationName() << ' ' << QCoreApplication::applicationVersion() << "\n"
              << Qt::flush;
        return ExitSuccess;
    }

    const QStringList positional = parser.positionalArguments();
    if (!positional.isEmpty()) {
        err() << "rubbly: unknown command '" << positional.first() << "'; see rubbly --help\n" << Qt::flush;
        return ExitUsage;
    }
    err() << "rubbly: the tray interface is not part of this build yet; see rubbly --help\n" << Qt::flush;
    return ExitFailure;
}

} // namespace rubbly
