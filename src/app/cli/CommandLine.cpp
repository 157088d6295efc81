#include "CommandLine.h"

#include "AppIdentity.h"
#include "ApplicationBus.h"
#include "BuildInfo.h"
#include "DiskSlimService.h"
#include "InstalledAppDetector.h"
#include "JsonFileDefaultsStore.h"
#include "LosslessText.h"
#include "ProgramFiles.h"
#include "Scheduler.h"
#include "SlimCommands.h"
#include "TrashCommands.h"
#include "TrashService.h"
#include "TrayCommands.h"
#include "XdgPaths.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
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
    "  (none)                          start the tray application (or toggle the panel of the running one)\n"
    "  trash status [--json]           size and contents of every trash folder\n"
    "  trash list [PATH...] [--json]   every entry, newest first: date, size, original path, trash folder;\n"
    "                                  with PATHs, only what was trashed from them or from below them\n"
    "  trash empty [--older-than DAYS] delete everything, or what was trashed more than DAYS days ago\n"
    "  trash put PATH...               move files or folders to the Trash of their volume\n"
    "  trash restore PATH... [--all] [--rename]\n"
    "                                  put back what was trashed from PATH (or the entry named PATH):\n"
    "                                  the newest such entry, or --all of them; --rename puts an entry\n"
    "                                  whose place is taken beside it as \"name (2).ext\"\n"
    "  trash restore PATH... --to FOLDER [--rename]\n"
    "                                  put the entries back into FOLDER under their own names\n"
    "  trash restore --last [--rename] put back what the last trash put (or drop on the panel) moved\n"
    "  trash rm PATTERN...             delete for good what was trashed from a path that matches\n"
    "                                  PATTERN: a path or a shell glob of the whole path (with a '/')\n"
    "                                  or of the name (\"*.o\"); exits 2 when nothing matches\n"
    "  slim scan [--json]              what caches, logs and build output occupy, by category\n"
    "  slim purge [CATEGORY...]        delete what the named categories (all found ones) hold\n"
    "  tray add-to-panel               show the Trash's size in the panel of KDE Plasma or XFCE, whose\n"
    "                                  trays draw only the icon (remove it as any panel item)\n"
    "  tray label [--wait LAST] [--genmon]\n"
    "                                  the size the running tray application shows (for panel items);\n"
    "                                  --wait: once it differs from LAST; --genmon: for XFCE's monitor\n"
    "  update check                    is a newer version available?\n"
    "  update download                 download and unpack a newer version; prints its folder\n"
    "  update install                  download a newer version, replace this Rubbly.app with it and\n"
    "                                  start it (application folders only, never a package install)\n"
    "\n"
    "Without a command, these options act on the running tray application (starting it if none runs):\n"
    "  --toggle-panel                  open or close the panel\n"
    "  --settings                      open the settings window\n"
    "  --empty-trash                   empty the Trash as the tray menu does, asking first when the\n"
    "                                  confirmation setting is on (bind this to a key where no global\n"
    "                                  shortcut can be grabbed)\n"
    "  --verbose                       with a command: print the engine's diagnostics to standard error\n"
    "                                  (QT_LOGGING_RULES works too)\n";

// The parser and its options, shared by the command front end and the tray-request check.
struct Parser {
    QCommandLineParser parser;
    QCommandLineOption help = parser.addHelpOption();
    QCommandLineOption version = parser.addVersionOption();
    QCommandLineOption json{QStringLiteral("json"), QStringLiteral("Print JSON instead of text.")};
    QCommandLineOption olderThan{QStringLiteral("older-than"),
                                 QStringLiteral("Only entries trashed more than DAYS days ago."),
                                 QStringLiteral("DAYS")};
    QCommandLineOption all{QStringLiteral("all"),
                           QStringLiteral("trash restore: every entry that PATH names, not only the newest.")};
    QCommandLineOption rename{QStringLiteral("rename"),
                              QStringLiteral("trash restore: put an entry whose place is taken beside it.")};
    QCommandLineOption last{QStringLiteral("last"),
                            QStringLiteral("trash restore: what the last trash put or drop on the panel moved.")};
    QCommandLineOption to{QStringLiteral("to"), QStringLiteral("trash restore: into FOLDER, under their own names."),
                          QStringLiteral("FOLDER")};
    // The shells' completion scripts ask for the original paths this way: from the info files alone.
    QCommandLineOption paths0{QStringLiteral("paths0"),
                              QStringLiteral("trash list: every original path, each ended by a NUL.")};
    QCommandLineOption wait{QStringLiteral("wait"),
                            QStringLiteral("tray label: wait until the label differs from LAST."),
                            QStringLiteral("LAST")};
    QCommandLineOption genmon{QStringLiteral("genmon"),
                              QStringLiteral("tray label: print it for XFCE's Generic Monitor.")};
    QCommandLineOption togglePanel{QStringLiteral("toggle-panel"),
                                   QStringLiteral("Open or close the panel of the tray application.")};
    QCommandLineOption settings{QStringLiteral("settings"),
                                QStringLiteral("Open the settings window of the tray application.")};
    QCommandLineOption emptyTrash{QStringLiteral("empty-trash"),
                                  QStringLiteral("Empty the Trash through the tray application, as its menu does.")};
    QCommandLineOption verbose{QStringLiteral("verbose"),
                               QStringLiteral("Print the engine's diagnostics to standard error.")};

    Parser()
    {
        parser.setApplicationDescription(QStringLiteral("Rubbly looks after your Trash and your caches.\n\n") +
                                         QLatin1String(kCommandsHelp));
        parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
        parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("What to do; see Commands."),
                                     QStringLiteral("[command]"));
        paths0.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOptions(
            {json, olderThan, all, rename, last, to, paths0, wait, genmon, togglePanel, settings, emptyTrash, verbose});
    }

    // How many of the tray options are set.
    int trayOptionCount() const
    {
        return int(parser.isSet(togglePanel)) + int(parser.isSet(settings)) + int(parser.isSet(emptyTrash));
    }
};

// The message may quote an argument: shown as printableText() shows it, as every other output line.
int usage(const QString& message)
{
    err() << "rubbly: " << printableText(message) << "; see rubbly --help\n" << Qt::flush;
    return ExitUsage;
}

// The arguments as the bytes the program was given: a name that is not UTF-8 stays that name.
QByteArrayList exactBytes(const QStringList& arguments)
{
    QByteArrayList bytes;
    for (const QString& argument : arguments)
        bytes.append(encodeLossless(argument));
    return bytes;
}

int runTrash(const QStringList& words, const Parser& p)
{
    const bool json = p.parser.isSet(p.json);
    const std::optional<QString> olderThan =
        p.parser.isSet(p.olderThan) ? std::optional<QString>(p.parser.value(p.olderThan)) : std::nullopt;
    const bool all = p.parser.isSet(p.all);
    const bool rename = p.parser.isSet(p.rename);
    const bool last = p.parser.isSet(p.last);
    const bool paths0 = p.parser.isSet(p.paths0);
    const std::optional<QByteArray> to =
        p.parser.isSet(p.to) ? std::optional<QByteArray>(encodeLossless(p.parser.value(p.to))) : std::nullopt;
    const QString sub = words.value(1);
    const QStringList rest = words.mid(2);
    TrashService service(Scheduler::system(), TrashLocations::fromEnvironment());
    if ((all || rename || last || to) && sub != QLatin1String("restore"))
        return usage(QStringLiteral("--all, --rename, --last and --to are for trash restore"));
    if (paths0 && (sub != QLatin1String("list") || !rest.isEmpty() || json))
        return usage(QStringLiteral("--paths0 is for trash list alone"));
    int status = ExitUsage;
    if (sub == QLatin1String("status")) {
        if (!rest.isEmpty() || olderThan)
            return usage(QStringLiteral("trash status takes no arguments but --json"));
        status = trashStatusCommand(service, json, out(), err());
    } else if (sub == QLatin1String("empty")) {
        if (!rest.isEmpty() || json)
            return usage(QStringLiteral("trash empty takes only --older-than DAYS"));
        std::optional<int> days;
        if (olderThan) {
            // Set means an age, whatever its text: an empty one is an error, never a full emptying.
            days = parseDays(*olderThan);
            if (!days)
                return usage(QStringLiteral("--older-than needs a whole number of days (digits only)"));
        }
        status = trashEmptyCommand(service, days, out(), err());
    } else if (sub == QLatin1String("put")) {
        if (rest.isEmpty() || json || olderThan)
            return usage(QStringLiteral("trash put needs at least one path"));
        status = trashPutCommand(service, exactBytes(rest), err());
    } else if (sub == QLatin1String("list")) {
        if (olderThan)
            return usage(QStringLiteral("trash list takes paths and --json"));
        status = paths0 ? trashPathsCommand(service, out())
                        : trashListCommand(service, json, out(), err(), exactBytes(rest));
    } else if (sub == QLatin1String("restore")) {
        if (json || olderThan)
            return usage(QStringLiteral("trash restore takes only --all, --rename, --last and --to"));
        if (last && (!rest.isEmpty() || all || to))
            return usage(QStringLiteral("trash restore --last takes no paths, and only --rename"));
        if (!last && rest.isEmpty())
            return usage(QStringLiteral("trash restore needs at least one path, or --last"));
        if (to && to->isEmpty())
            return usage(QStringLiteral("--to needs a folder"));
        status =
            last ? trashRestoreLastCommand(service, rename, out(), err())
                 : trashRestoreCommand(service, exactBytes(rest), all, rename, out(), err(), to.value_or(QByteArray()));
    } else if (sub == QLatin1String("rm")) {
        if (rest.isEmpty() || json || olderThan)
            return usage(QStringLiteral("trash rm needs at least one pattern, and takes no options"));
        status = trashRemoveCommand(service, exactBytes(rest), out(), err());
    } else {
        return usage(sub.isEmpty() ? QStringLiteral("trash needs a command: status, list, empty, put, restore or rm")
                                   : QStringLiteral("unknown trash command '%1'").arg(sub));
    }
    out() << Qt::flush;
    err() << Qt::flush;
    if (sub != QLatin1String("status") && sub != QLatin1String("list"))
        ApplicationBus::announceTrashChange();
    return status;
}

int runSlim(const QStringList& words, bool json, const std::optional<QString>& olderThan)
{
    const QString sub = words.value(1);
    const QStringList rest = words.mid(2);
    if (olderThan)
        return usage(QStringLiteral("--older-than is for trash empty"));
    DiskSlimService slim;
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

int runUpdate(const QStringList& words, bool json, const std::optional<QString>& olderThan, UpdateCommand update)
{
    const QString sub = words.value(1);
    if (words.size() > 2 || json || olderThan)
        return usage(QStringLiteral("update %1 takes no arguments").arg(sub));
    if (sub != QLatin1String("check") && sub != QLatin1String("download") && sub != QLatin1String("install"))
        return usage(sub.isEmpty() ? QStringLiteral("update needs a command: check, download or install")
                                   : QStringLiteral("unknown update command '%1'").arg(sub));
    if (!update) {
        err() << "rubbly: the update commands run in " << kTrayProgramName << "\n" << Qt::flush;
        return ExitFailure;
    }
    const int status = update(sub, out(), err());
    out() << Qt::flush;
    err() << Qt::flush;
    return status;
}

int runTray(const QStringList& words, const std::optional<QString>& waitPast, bool genmon)
{
    const QString sub = words.value(1);
    if (words.size() > 2)
        return usage(QStringLiteral("tray %1 takes no arguments").arg(sub));
    const PanelItems::Config config = PanelItems::Config::forThisProgram();
    if (sub == QLatin1String("label"))
        return trayLabelCommand(waitPast, genmon, config.program, out(), err());
    if (waitPast || genmon)
        return usage(QStringLiteral("--wait and --genmon are for tray label"));
    if (sub == QLatin1String("add-to-panel")) {
        JsonFileDefaultsStore settings(JsonFileDefaultsStore::defaultFilePath());
        return trayAddToPanelCommand(PanelItems(config), panelDesktop(DesktopSession::detect()), settings, out(),
                                     err());
    }
    return usage(sub.isEmpty() ? QStringLiteral("tray needs a command: add-to-panel or label")
                               : QStringLiteral("unknown tray command '%1'").arg(sub));
}

} // namespace

QStringList startProgram(int argc, char* argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("rubbly"));
    QCoreApplication::setApplicationVersion(versionDisplayString());
    QCoreApplication::setOrganizationDomain(QStringLiteral("tolvik.com"));
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(decodeLossless(argv[i]));
    return arguments;
}

int runCommandLine(const QStringList& arguments, UpdateCommand update)
{
    Parser p;
    QCommandLineParser& parser = p.parser;
    if (!parser.parse(arguments)) {
        err() << printableText(parser.errorText()) << "\n" << Qt::flush;
        return ExitUsage;
    }
    if (parser.isSet(p.help)) {
        out() << parser.helpText() << Qt::flush;
        return ExitSuccess;
    }
    if (parser.isSet(p.version)) {
        out() << QCoreApplication::applicationName() << ' ' << QCoreApplication::applicationVersion() << "\n"
              << Qt::flush;
        return ExitSuccess;
    }

    // A command answers on its own lines; the engine's log would repeat its failures and bury its answer.
    // QT_LOGGING_RULES and QT_LOGGING_CONF still override these rules, as in every Qt program.
    QLoggingCategory::setFilterRules(parser.isSet(p.verbose)
                                         ? QStringLiteral(RUBBLY_APP_ID ".*=true")
                                         : QStringLiteral(RUBBLY_APP_ID ".*=false\n"
                                                                        "*.debug=false\n*.info=false"));
    const QStringList positional = parser.positionalArguments();
    if (p.trayOptionCount() > 0) {
        if (!positional.isEmpty())
            return usage(QStringLiteral("--toggle-panel, --settings and --empty-trash take no command"));
        if (p.trayOptionCount() > 1)
            return usage(QStringLiteral("give only one of --toggle-panel, --settings and --empty-trash"));
    }
    const bool json = parser.isSet(p.json);
    const std::optional<QString> olderThan =
        parser.isSet(p.olderThan) ? std::optional<QString>(parser.value(p.olderThan)) : std::nullopt;
    const bool trashOnly = parser.isSet(p.all) || parser.isSet(p.rename) || parser.isSet(p.last) ||
                           parser.isSet(p.to) || parser.isSet(p.paths0);
    if (trashOnly && positional.value(0) != QLatin1String("trash") && !positional.isEmpty())
        return usage(QStringLiteral("--all, --rename, --last and --to are for trash restore"));
    if (positional.value(0) == QLatin1String("trash"))
        return runTrash(positional, p);
    if (positional.value(0) == QLatin1String("update"))
        return runUpdate(positional, json, olderThan, update);
    if (positional.value(0) == QLatin1String("slim"))
        return runSlim(positional, json, olderThan);
    const bool trayLabelOptions = parser.isSet(p.wait) || parser.isSet(p.genmon);
    if (positional.value(0) == QLatin1String("tray") && !json && !olderThan)
        return runTray(positional, parser.isSet(p.wait) ? std::optional(parser.value(p.wait)) : std::nullopt,
                       parser.isSet(p.genmon));
    if (trayLabelOptions)
        return usage(QStringLiteral("--wait and --genmon are for tray label"));
    if (!positional.isEmpty()) {
        return usage(QStringLiteral("unknown command '%1'").arg(positional.first()));
    }
    if (json || olderThan || trashOnly)
        return usage(QStringLiteral("--json, --older-than, --all, --rename, --last and --to belong to a command"));
    err() << "rubbly: the tray application is started by the program itself, not here; see rubbly --help\n"
          << Qt::flush;
    return ExitUsage;
}

bool isUpdateCommand(const QStringList& arguments)
{
    Parser p;
    return p.parser.parse(arguments) && !p.parser.isSet(p.help) && !p.parser.isSet(p.version) &&
           p.parser.positionalArguments().value(0) == QLatin1String("update");
}

std::optional<ApplicationAction> trayActionFromArguments(const QStringList& arguments)
{
    Parser p;
    const QCommandLineParser& parser = p.parser;
    if (!p.parser.parse(arguments) || parser.isSet(p.help) || parser.isSet(p.version) ||
        !parser.positionalArguments().isEmpty() || parser.isSet(p.json) || parser.isSet(p.olderThan) ||
        parser.isSet(p.all) || parser.isSet(p.rename) || parser.isSet(p.last) || parser.isSet(p.to) ||
        parser.isSet(p.paths0) || parser.isSet(p.wait) || parser.isSet(p.genmon) || p.trayOptionCount() > 1)
        return std::nullopt;
    if (parser.isSet(p.togglePanel))
        return ApplicationAction::TogglePanel;
    if (parser.isSet(p.settings))
        return ApplicationAction::Settings;
    if (parser.isSet(p.emptyTrash))
        return ApplicationAction::EmptyTrash;
    return ApplicationAction::Activate;
}

} // namespace rubbly
