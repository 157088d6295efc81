#include "CommandLine.h"

#include "DiskSlimService.h"
#include "InstalledAppDetector.h"
#include "JsonFileDefaultsStore.h"
#include "Scheduler.h"
#include "SlimCommands.h"
#include "TrashCommands.h"
#include "TrashService.h"
#include "UpdateCommands.h"
#include "UpdateService.h"
#include "XdgPaths.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QNetworkAccessManager>
#include <QProcessEnvironment>
#include <QTextStream>

namespace rubbly {

namespace {

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream& err()
{
    static QTextStream stream(stderr);
    return stream;
}

const char* const kCommandsHelp =
    "Commands:\n"
    "  (none)                          start the tray application\n"
    "  trash status [--json]           size and contents of every trash folder\n"
    "  trash empty [--older-than DAYS] delete everything, or what was trashed more than DAYS days ago\n"
    "  trash put PATH...               move files or folders to the Trash of their volume\n"
    "  slim scan [--json]              what caches, logs and build output occupy, by category\n"
    "  slim purge [CATEGORY...]        delete what the named categories (all found ones) hold\n"
    "  update check                    is a newer version available?\n"
    "  update download                 download and unpack a newer version; prints its folder\n";

int usage(const QString& message)
{
    err() << "rubbly: " << message << "; see rubbly --help\n" << Qt::flush;
    return ExitUsage;
}

int runTrash(const QStringList& words, bool json, const QString& olderThan)
{
    const QString sub = words.value(1);
    const QStringList rest = words.mid(2);
    TrashLocations locations = TrashLocations::fromEnvironment();
    QByteArrayList folders;
    for (const TrashDirectory& folder : locations.trashDirectories())
        folders.append(folder.path);
    TrashService service(Scheduler::system(), std::move(locations));
    int status = ExitUsage;
    if (sub == QLatin1String("status")) {
        if (!rest.isEmpty() || !olderThan.isEmpty())
            return usage(QStringLiteral("trash status takes no arguments but --json"));
        status = trashStatusCommand(service, json, folders, out(), err());
    } else if (sub == QLatin1String("empty")) {
        if (!rest.isEmpty() || json)
            return usage(QStringLiteral("trash empty takes only --older-than DAYS"));
        std::optional<int> days;
        if (!olderThan.isEmpty()) {
            bool ok = false;
            days = olderThan.toInt(&ok);
            if (!ok || *days < 0)
                return usage(QStringLiteral("--older-than needs a whole number of days"));
        }
        status = trashEmptyCommand(service, days, out(), err());
    } else if (sub == QLatin1String("put")) {
        if (rest.isEmpty() || json || !olderThan.isEmpty())
            return usage(QStringLiteral("trash put needs at least one path"));
        QByteArrayList paths;
        for (const QString& path : rest)
            paths.append(QFile::encodeName(path));
        status = trashPutCommand(service, paths, err());
    } else {
        return usage(sub.isEmpty() ? QStringLiteral("trash needs a command: status, empty or put")
                                   : QStringLiteral("unknown trash command '%1'").arg(sub));
    }
    out() << Qt::flush;
    err() << Qt::flush;
    return status;
}

int runSlim(const QStringList& words, bool json, const QString& olderThan)
{
    const QString sub = words.value(1);
    const QStringList rest = words.mid(2);
    if (!olderThan.isEmpty())
        return usage(QStringLiteral("--older-than is for trash empty"));
    DiskSlimService slim(xdg::home());
    InstalledAppDetector apps;
    JsonFileDefaultsStore defaults(JsonFileDefaultsStore::defaultFilePath());
    int status = ExitUsage;
    if (sub == QLatin1String("scan")) {
        if (!rest.isEmpty())
            return usage(QStringLiteral("slim scan takes no arguments but --json"));
        status = slimScanCommand(slim, apps, defaults, json, out());
    } else if (sub == QLatin1String("purge")) {
        if (json)
            return usage(QStringLiteral("slim purge takes no --json"));
        status = slimPurgeCommand(slim, apps, defaults, rest, out(), err());
    } else {
        return usage(sub.isEmpty() ? QStringLiteral("slim needs a command: scan or purge")
                                   : QStringLiteral("unknown slim command '%1'").arg(sub));
    }
    out() << Qt::flush;
    err() << Qt::flush;
    return status;
}

int runUpdate(const QStringList& words, bool json, const QString& olderThan)
{
    const QString sub = words.value(1);
    if (words.size() > 2 || json || !olderThan.isEmpty())
        return usage(QStringLiteral("update %1 takes no arguments").arg(sub));
    JsonFileDefaultsStore defaults(JsonFileDefaultsStore::defaultFilePath());
    QNetworkAccessManager network;
    UpdateService updates(defaults, *Scheduler::system(), network, UpdateService::Config::defaults());
    int status = ExitUsage;
    if (sub == QLatin1String("check"))
        status = updateCheckCommand(updates, out(), err());
    else if (sub == QLatin1String("download"))
        status = updateDownloadCommand(updates, out(), err());
    else
        return usage(sub.isEmpty() ? QStringLiteral("update needs a command: check or download")
                                   : QStringLiteral("unknown update command '%1'").arg(sub));
    out() << Qt::flush;
    err() << Qt::flush;
    return status;
}

} // namespace

int runCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Rubbly looks after your Trash and your caches.\n\n") +
                                     QLatin1String(kCommandsHelp));
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("What to do; see Commands."),
                                 QStringLiteral("[command]"));
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("Print JSON instead of text."));
    const QCommandLineOption olderThan(QStringLiteral("older-than"),
                                       QStringLiteral("Only entries trashed more than DAYS days ago."),
                                       QStringLiteral("DAYS"));
    parser.addOption(json);
    parser.addOption(olderThan);

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
    if (positional.value(0) == QLatin1String("trash"))
        return runTrash(positional, parser.isSet(json), parser.value(olderThan));
    if (positional.value(0) == QLatin1String("update"))
        return runUpdate(positional, parser.isSet(json), parser.value(olderThan));
    if (positional.value(0) == QLatin1String("slim"))
        return runSlim(positional, parser.isSet(json), parser.value(olderThan));
    if (!positional.isEmpty()) {
        err() << "rubbly: unknown command '" << positional.first() << "'; see rubbly --help\n" << Qt::flush;
        return ExitUsage;
    }
    err() << "rubbly: the tray interface is not part of this build yet; see rubbly --help\n" << Qt::flush;
    return ExitFailure;
}

} // namespace rubbly
